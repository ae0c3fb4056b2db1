// The status table in the window and in the tray, the enabling; the tray's ways in, clicks and popup.
#include "ui/status.h"

#include "app/tray.h"
#include "tests/unit/fixture.h"
#include "tests/unit/report_keys.h"

namespace {

using StatusTest = StartedTest;

std::string enabled() {
    std::string ids;
    for (const auto& [id, c] : headless::world().controls)
        if (c.enabled && (c.kind == KIND_EDIT || c.kind == KIND_BUTTON || c.kind == KIND_CHECKBOX))
            ids += std::to_string(id) + " ";
    return ids;
}

// The tray's tooltip after the prefix, and the popup's three lines.
std::string notice(const std::string& l1, const std::string& l2) {
    return "\r\n" + l1 + "\r\n" + l2 + "|" + l1 + "|" + l2 + "|";
}
const std::string NOT_CONNECTED = "\r\nVYX-Client not connected.|VYX-Client not connected.| |",
                  DATA =
                      "\r\nDN: 8000 kbit/s\r\nUP: 1024 kbit/s\r\nSNRM: 6.5 dB|"
                      "Ds Rate : 8000 kbps|Us Rate : 1024 kbps|Ds snrM : 6.5 dB",
                  REFRESH = notice("please wait...", "Data update/refresh in progress."),
                  BUSY = notice("please wait...", "VYX-Server is busy !"),
                  FAILED = notice("ERROR", "Connection establishment failed.");

// Flags: connected, update in progress, server busy, warning, refresh notice. In
// order: the notice row is followed by one that shows the notice is gone.
const struct Row {
    const char* flags;
    std::vector<int> pictures;  // the window's, in order; none: emptied, and the tray is left as it was
    int icon;
    const std::string* tray;
} rows[] = {
    {"00000", {10}, 15, &NOT_CONNECTED}, {"10000", {11}, 16, &DATA},    {"11000", {12}, 17, &REFRESH},
    {"11100", {13}, 18, &BUSY},          {"10110", {}, 0, nullptr},     {"10100", {13}, 18, &BUSY},
    {"11110", {13}, 18, &BUSY},          {"11010", {12}, 17, &REFRESH}, {"10001", {11, 20}, 17, &REFRESH},
    {"20000", {}, 0, nullptr},           {"01000", {12}, 17, &REFRESH}, {"00010", {14}, 19, &FAILED},
    {"10010", {14}, 19, &DATA}};

TEST_F(StatusTest, EachRowInTheWindowAndInTheTray) {
    state.md_bitdn = 8000, state.md_bitup = 1024, state.md_snrdn = "6.5";
    std::string prefix = "DSL-Modem 1";
    for (bool in_tray : {false, true}) {
        if (in_tray) hide_to_tray(), set_control_text(ID_PREFIX, prefix = "Modem B");
        for (const Row& r : rows) {
            SCOPED_TRACE(::testing::Message() << in_tray << ": " << r.flags);
            const std::string before = in_tray ? tray_look() : "";
            headless::world().pictures_shown.clear();
            int* const flags[] = {&state.connected, &state.update_in_progress, &state.server_busy,
                                  &state.warning, &state.refresh_notice};
            for (int i = 0; i < 5; ++i) *flags[i] = r.flags[i] - '0';
            update_status_display();
            EXPECT_EQ(state.refresh_notice, 0) << "shown once";
            if (!in_tray) {
                EXPECT_EQ(pictures_seen(), r.pictures);
                EXPECT_EQ(headless::find_control(ID_STATUS_PICTURE)->picture,
                          r.pictures.empty() ? 0 : state.pictures[r.pictures.back()]);
            } else {
                EXPECT_EQ(tray_look(), r.tray ? std::to_string(state.pictures[r.icon]) + "|" + prefix + "|" +
                                                    prefix + *r.tray
                                              : before);
            }
        }
    }
    state.md_snrdn.clear();  // as an empty report value leaves it; the last row shows data
    update_status_display();
    EXPECT_EQ(tray_item(MENU_LINE3), "Ds snrM : 0 dB");
}

// The enabled controls after each fixed calling sequence of the flow code, and what the clearing blanks.
TEST_F(StatusTest, EnablingAfterEachSequence) {
    set_checked(ID_TRY_CONNECT, 1);
    state.auto_config_pending = 0, state.log_window_open = 1;  // online, configuration known
    enable_action_controls(1);
    enable_connection_controls(1);
    EXPECT_EQ(enabled(), "1 2 3 4 8 9 10 14 19 20 21 22 23 24 25 26 38 40 41 42 43 52 67 68 70 ");
    state.log_window_open = 0, state.server_busy = state.auto_config_pending = 1;  // busy
    enable_action_controls(0);
    EXPECT_EQ(enabled(), "38 40 41 42 43 52 67 ") << "only the panel goes off";
    type_into("55=4|56=4|57=4|14=4|9=4|10=4|8=4|68=4|22=4|2=1|3=1|1=1|4=1|19=1|70=1|20=1|23=1|21=1");
    report_keys::set_fields(5, "x");
    clear_data_display();
    EXPECT_EQ(panel_look(), "|||||||||000000000");
    EXPECT_EQ(report_keys::fields() + std::to_string(state.auto_config_pending),
              "0|0|0|5|0|0|0|0|0|0|0|0|0|0|0|0|0|0||5|1")
        << "status, warning and the pending request kept";
    state.server_busy = state.auto_config_pending = 0;  // disconnected
    enable_action_controls(0);
    enable_connection_controls(0);
    EXPECT_EQ(enabled(), "28 31 32 33 34 37 52 67 ");
}

TEST_F(StatusTest, IntoTheTrayAndWhatEachTrayEventDoesThere) {
    enum Into { TITLE_BAR, MINIMIZE_BUTTON, IN_A_SHORT_WAIT, START_ICONIC };
    // The way in, the event there, whether it restores the window, the popups it shows.
    const std::tuple<const char*, Into, void (*)(), bool, std::vector<int>> cases[] = {
        {"Maximize Window", MINIMIZE_BUTTON, [] { headless::push_menu(995); }, true, {}},
        {"data line 1", START_ICONIC, [] { headless::push_menu(970); }, true, {}},
        {"data line 2", TITLE_BAR, [] { headless::push_menu(971); }, true, {}},
        {"data line 3", MINIMIZE_BUTTON, [] { headless::push_menu(972); }, true, {}},
        {"left double click in a short wait", IN_A_SHORT_WAIT, [] { headless::push_tray(2); }, true, {}},
        {"right click", MINIMIZE_BUTTON, [] { headless::push_tray(1); }, false, {900}},
    };
    auto& w = headless::world();
    for (const auto& [what, into, push, restores, popups] : cases) {
        SCOPED_TRACE(what);
        const std::string settings = std::string("[CLIENT]\r\nAutoConnect=0\r\nSysTrayIconPrefix=Dach\r\n") +
                                     "startVYXCiconic=" + (into == START_ICONIC ? "1" : "0") + "\r\n";
        restart(settings);
        if (into == MINIMIZE_BUTTON) headless::push_control(ID_MINIMIZE);
        if (into == TITLE_BAR || into == IN_A_SHORT_WAIT) headless::user_minimize(MAIN_WINDOW);
        if (into == IN_A_SHORT_WAIT) {  // with events it drops
            headless::push_control(ID_HOME_LINK), headless::push_menu(MENU_QUIT), headless::push_tray(1);
            wait_with_events(450);
        }
        for (int turn = 0; turn < 2 && state.window_shown == 1; ++turn) main_loop_turn();
        const headless::TrayIcon icon = w.tray.size() == 1 ? w.tray.at(1) : headless::TrayIcon{};
        EXPECT_EQ(std::tuple(window_visible(MAIN_WINDOW), icon.picture, icon.tooltip, w.shell_opens.size(),
                             state.quit_requested, event_queue::empty(),
                             std::ranges::count(w.timers, 111, &headless::Timer::id)),
                  std::tuple(false, state.pictures[15], "Dach\r\nVYX-Client not connected.", 0u, 0, true, 0))
            << "in the tray; nothing else run, kept for later or left to fire";
        EXPECT_EQ(settings_file() != settings, into == TITLE_BAR || into == MINIMIZE_BUTTON)
            << "saved by the main loop only";

        push();
        into == IN_A_SHORT_WAIT ? wait_with_events(450) : (void)main_loop_turn();
        EXPECT_EQ(std::tuple(window_visible(MAIN_WINDOW), w.tray.size(), w.popup_shown),
                  std::tuple(restores, restores ? 0u : 1u, popups));
        EXPECT_FALSE(window_minimized(MAIN_WINDOW) && restores) << "comes back in its normal size";
    }
}

// Sent on the open connection, or on one opened for them without the usual
// "get all", or dropped when no connection can be had.
TEST_F(StatusTest, PopupCommandsReachTheServer) {
    // Item; connected before; server up; configuration pending; what the server got.
    const std::tuple<const char*, int, bool, bool, bool, const char*> cases[] = {
        {"view logfile while connected", 993, true, true, false, "get all\r\nget logfile\r\n"},
        {"reboot connects first", 984, false, true, false, "reboot\r\n"},
        {"refresh connects first", 990, false, true, false, "refresh\r\n"},
        {"view logfile connects first", 993, false, true, false, "get logfile\r\n"},
        {"view logfile while pending: nothing at all", 993, false, true, true, ""},
        {"resync without a server is dropped", 986, false, false, false, ""},
    };
    for (const auto& [what, item, connected, server_up, pending, received] : cases) {
        SCOPED_TRACE(what);
        const bool reached = server_up && !pending;
        loopback::ScriptedServer server(
            {.script = {{0, loopback::GREETING}}, .accept_ms = reached ? 5000 : 100});
        type_into("28=localhost|31=" +
                  std::to_string(server_up ? server.port() : loopback::Listener().port()));
        if (connected) connect_server();
        ASSERT_EQ(state.connected, connected ? 1 : 0);
        hide_to_tray();
        state.auto_config_pending = pending;
        enable_control(ID_SHOW_LOG, 1);
        headless::push_menu(item);
        main_loop_turn();
        EXPECT_EQ(std::tuple(state.connected, state.suppress_get_all, state.window_shown),
                  std::tuple(reached, 0, 0))
            << "the next connection sends its get all; still in the tray";
        if (item == 993 && (connected || pending)) {
            EXPECT_EQ(control_enabled(ID_SHOW_LOG), pending) << "off while the log is asked for";
        }
        if (state.connected == 1) disconnect_server();
        EXPECT_EQ(server.received(), received);
        restore_from_tray();
    }
}

}  // namespace
