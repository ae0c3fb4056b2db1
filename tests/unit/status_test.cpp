// The status presentation: the state table in the window and in the tray,
// the tooltip's length rule, the one-shot refresh notice, the enabling after
// each fixed calling sequence, and no growth over many updates.
#include "ui/status.h"

#include <string>

#include "app/tray.h"
#include "tests/unit/fixture.h"

namespace {

class StatusTest : public StartedTest {
   protected:
    void SetUp() override {
        StartedTest::SetUp();
        state.md_bitdn = 8000;
        state.md_bitup = 1024;
        state.md_snrdn = "6.5";
    }
    void flags(int connected, int busy_update, int busy, int warning) {
        state.connected = connected;
        state.update_in_progress = busy_update;
        state.server_busy = busy;
        state.warning = warning;
    }
    int shown_picture() { return headless::find_control(ID_STATUS_PICTURE)->picture; }
    const headless::TrayIcon& tray() { return headless::world().tray.at(1); }
};

const std::string DATA_TIP = "DSL-Modem 1\r\nDN: 8000 kbit/s\r\nUP: 1024 kbit/s\r\nSNRM: 6.5 dB";
const std::string REFRESH_TIP = "DSL-Modem 1\r\nplease wait...\r\nData update/refresh in progress.";
const std::string BUSY_TIP = "DSL-Modem 1\r\nplease wait...\r\nVYX-Server is busy !";

struct Row {
    int connected, update, busy, warning;
    int picture, icon;
    std::string tip, line1, line2, line3;
};

const Row rows[] = {
    {0, 0, 0, 0, 10, 15, "DSL-Modem 1\r\nVYX-Client not connected.", "VYX-Client not connected.", " ", ""},
    {1, 0, 0, 0, 11, 16, DATA_TIP, "Ds Rate : 8000 kbps", "Us Rate : 1024 kbps", "Ds snrM : 6.5 dB"},
    {1, 1, 0, 0, 12, 17, REFRESH_TIP, "please wait...", "Data update/refresh in progress.", ""},
    {1, 1, 1, 0, 13, 18, BUSY_TIP, "please wait...", "VYX-Server is busy !", ""},
    {1, 0, 1, 0, 13, 18, BUSY_TIP, "please wait...", "VYX-Server is busy !", ""},
    {1, 1, 1, 1, 13, 18, BUSY_TIP, "please wait...", "VYX-Server is busy !", ""},
    {1, 1, 0, 1, 12, 17, REFRESH_TIP, "please wait...", "Data update/refresh in progress.", ""},
    {1, 0, 0, 1, 14, 19, DATA_TIP, "Ds Rate : 8000 kbps", "Us Rate : 1024 kbps", "Ds snrM : 6.5 dB"},
    {0, 1, 0, 0, 12, 17, REFRESH_TIP, "please wait...", "Data update/refresh in progress.", ""},
    {0, 0, 0, 1, 14, 19, "DSL-Modem 1\r\nERROR\r\nConnection establishment failed.", "ERROR",
     "Connection establishment failed.", ""},
};

// Every row in the window, then every row again in the tray, one after the other.
TEST_F(StatusTest, EachRowInTheWindowAndInTheTray) {
    for (bool in_tray : {false, true}) {
        if (in_tray) hide_to_tray();
        for (const Row& r : rows) {
            SCOPED_TRACE(::testing::Message()
                         << in_tray << ": " << r.connected << r.update << r.busy << r.warning);
            flags(r.connected, r.update, r.busy, r.warning);
            update_status_display();
            EXPECT_EQ(window_visible(MAIN_WINDOW), !in_tray);
            if (!in_tray) {
                EXPECT_EQ(shown_picture(), state.pictures[r.picture]);
                EXPECT_TRUE(headless::world().tray.empty()) << "no tray icon while the window is shown";
                continue;
            }
            EXPECT_EQ(tray().picture, state.pictures[r.icon]);
            EXPECT_EQ(tray().tooltip, r.tip);
            EXPECT_EQ(tray_item(MENU_TITLE), "DSL-Modem 1");
            EXPECT_EQ(tray_item(MENU_LINE1), r.line1);
            EXPECT_EQ(tray_item(MENU_LINE2), r.line2);
            EXPECT_EQ(tray_item(MENU_LINE3), r.line3);
        }
    }
}

TEST_F(StatusTest, CombinationsWithoutARowKeepTheTrayAndEmptyThePicture) {
    flags(1, 0, 0, 0);
    update_status_display();
    flags(1, 0, 1, 1);  // busy and warning, nothing in progress: no row
    update_status_display();
    EXPECT_EQ(shown_picture(), 0);
    flags(1, 0, 0, 0);
    hide_to_tray();  // shows the data row's content
    for (int warning : {1, 2}) {
        flags(1, 0, 1, warning);
        update_status_display();
        EXPECT_EQ(tray().picture, state.pictures[TRAY_PIC_DATA]);
        EXPECT_EQ(tray().tooltip, DATA_TIP);
    }
}

TEST_F(StatusTest, PrefixIsTakenAtTheNextUpdateAndAnEmptyMarginShowsAsZero) {
    hide_to_tray();
    flags(1, 0, 0, 0);
    update_status_display();
    EXPECT_EQ(tray().tooltip, DATA_TIP);

    const std::string prefix(25, 'P');
    set_control_text(ID_PREFIX, prefix);
    update_status_display();
    EXPECT_EQ(tray_item(MENU_TITLE), prefix);

    state.md_snrdn.clear();
    update_status_display();
    EXPECT_EQ(state.md_snrdn, "0");
    EXPECT_EQ(tray_item(MENU_LINE3), "Ds snrM : 0 dB");
}

TEST_F(StatusTest, RefreshNoticeShowsOnce) {
    flags(1, 0, 0, 0);
    state.refresh_notice = 1;
    update_status_display();
    EXPECT_EQ(shown_picture(), state.pictures[PIC_REFRESH_NOTICE]);
    EXPECT_EQ(state.refresh_notice, 0);
    update_status_display();
    EXPECT_EQ(shown_picture(), state.pictures[PIC_DATA]);

    hide_to_tray();
    state.refresh_notice = 1;
    update_status_display();
    EXPECT_EQ(tray().picture, state.pictures[TRAY_PIC_REFRESH]);
    EXPECT_EQ(tray().tooltip, REFRESH_TIP);
}

TEST_F(StatusTest, ManyUpdatesLeaveNothingBehind) {
    update_status_display();
    const int controls = headless::live_controls(), pictures = headless::live_pictures(),
              fonts = headless::live_fonts();
    for (int i = 0; i < 10000; ++i) {
        flags(i % 2, (i / 2) % 2, 0, (i / 4) % 2);
        update_status_display();
    }
    EXPECT_EQ(headless::live_controls(), controls);
    EXPECT_EQ(headless::live_pictures(), pictures);
    EXPECT_EQ(headless::live_fonts(), fonts);
}

// The enabled state after each fixed calling sequence of the flow code.
TEST_F(StatusTest, EnablingAfterEachSequence) {
    const std::vector<int> connection = {28, 31, 32, 37}, actions = {38, 40, 41, 42, 43},
                           panel = {14, 19, 70, 2, 3, 1, 4, 9, 10, 8, 68, 20, 23, 21, 22, 25, 26, 24, 59};
    auto expect = [](const std::vector<int>& ids, bool on) {
        for (int id : ids) EXPECT_EQ(control_enabled(id), on) << id;
    };
    set_checked(ID_TRY_CONNECT, 1);

    // Greeting accepted / report parsed, configuration known.
    state.auto_config_pending = 0;
    enable_action_controls(1);
    enable_connection_controls(1);
    expect(actions, true);
    expect(connection, false);
    expect({33, 34}, false);
    expect(panel, true);

    // The log viewer open keeps "show Logfile" off.
    state.log_window_open = 1;
    enable_action_controls(1);
    expect({59}, false);
    state.log_window_open = 0;

    // "busy": only the monitoring panel goes off.
    state.server_busy = state.auto_config_pending = 1;
    enable_action_controls(0);
    expect(actions, true);
    expect(panel, false);
    state.server_busy = 0;

    // "ok. please wait ...": everything off but the prefix and Minimize.
    clear_data_display();
    enable_action_controls(0);
    enable_connection_controls(1);
    for (const auto& [id, c] : headless::world().controls) {
        if (c.kind == KIND_EDIT || c.kind == KIND_BUTTON || c.kind == KIND_CHECKBOX) {
            EXPECT_EQ(c.enabled, id == ID_PREFIX || id == ID_MINIMIZE) << id;
        }
    }

    // Disconnect: as at start-up, with 33 checked so 34 is on.
    state.auto_config_pending = 0;
    enable_action_controls(0);
    enable_connection_controls(0);
    expect(connection, true);
    expect({33, 34}, true);
    expect(actions, false);
    expect(panel, false);
}

TEST_F(StatusTest, ClearDataDisplayBlanksPanelAndModemData) {
    for (int id : {55, 56, 57, 14, 9, 10, 8, 68, 22}) set_control_text(id, "42");
    for (int id : {2, 3, 1, 4, 19, 70, 20, 23, 21}) set_checked(id, 1);
    state.auto_interval = state.auto_bitdn = state.auto_switch_snrdn = state.auto_action_netsend = 5;
    state.auto_action_netsendadd = "host";
    state.auto_status = state.auto_config_pending = 1;
    clear_data_display();
    for (int id : {55, 56, 57, 14, 9, 10, 8, 68, 22}) EXPECT_EQ(get_control_text(id), "") << id;
    for (int id : {2, 3, 1, 4, 19, 70, 20, 23, 21}) EXPECT_FALSE(is_checked(id)) << id;
    EXPECT_EQ(state.md_bitdn, 0);
    EXPECT_EQ(state.md_snrdn, "0");
    EXPECT_EQ(state.auto_interval + state.auto_bitdn + state.auto_switch_snrdn + state.auto_action_netsend,
              0);
    EXPECT_EQ(state.auto_action_netsendadd, "");
    EXPECT_EQ(state.auto_status, 1) << "left alone";
    EXPECT_EQ(state.auto_config_pending, 1) << "left alone";
}

}  // namespace
