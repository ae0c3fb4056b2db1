// Window and tray: the ways into the tray and back, what the tray icon's
// clicks and the popup items do there, and what start-up in the tray skips.
#include "app/tray.h"

#include "link/connection.h"
#include "tests/unit/fixture.h"
#include "tests/unit/scripted_server.h"
#include "ui/status.h"

namespace {

class TrayTest : public StartedTest {
   protected:
    static void expect_in_tray() {
        EXPECT_EQ(state.window_shown, 0);
        EXPECT_FALSE(window_visible(MAIN_WINDOW));
        ASSERT_EQ(headless::world().tray.size(), 1u);
        EXPECT_EQ(headless::world().tray.at(1).picture, state.pictures[TRAY_PIC_NOT_CONNECTED])
            << "not connected";
        EXPECT_EQ(headless::world().tray.at(1).tooltip,
                  get_control_text(ID_PREFIX) + "\r\nVYX-Client not connected.");
    }
    static void expect_shown() {
        EXPECT_EQ(state.window_shown, 1);
        EXPECT_TRUE(window_visible(MAIN_WINDOW));
        EXPECT_FALSE(window_minimized(MAIN_WINDOW)) << "comes back in its normal size";
        EXPECT_TRUE(headless::world().tray.empty());
    }
    // Minimised by the user, as the main loop sees it; the event after the
    // minimising (at the latest the next tick) moves it to the tray.
    void to_tray() {
        headless::user_minimize(MAIN_WINDOW);
        drain();
        ASSERT_EQ(state.window_shown, 0);
    }
};

TEST_F(TrayTest, MinimisingGoesToTheTrayAndSavesTheSettings) {
    struct {
        const char* what;
        void (*minimise)();
    } cases[] = {
        {"title-bar button", [] { headless::user_minimize(MAIN_WINDOW); }},
        {"Minimize button", [] { headless::push_control(ID_MINIMIZE); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("vyxC_0.78_cfg.ini");
        set_control_text(ID_PREFIX, std::string("saved by ") + c.what);
        c.minimise();
        for (int turn = 0; turn < 2 && state.window_shown == 1; ++turn) main_loop_turn();
        expect_in_tray();
        EXPECT_NE(settings_file().find(std::string("saved by ") + c.what), std::string::npos);
        restore_from_tray();
        set_control_text(ID_PREFIX, "DSL-Modem 1");
    }
}

TEST_F(TrayTest, HidingOrRestoringTwiceDoesNothingTheSecondTime) {
    hide_to_tray();
    tray_set_tooltip(1, "untouched");
    hide_to_tray();
    EXPECT_EQ(headless::world().tray.size(), 1u);
    EXPECT_EQ(headless::world().tray.at(1).tooltip, "untouched");

    restore_from_tray();
    const int picture_order = headless::find_control(ID_STATUS_PICTURE)->order;
    show_window(MAIN_WINDOW, SHOW_MAXIMIZED);
    restore_from_tray();
    EXPECT_TRUE(window_maximized(MAIN_WINDOW));
    EXPECT_EQ(headless::find_control(ID_STATUS_PICTURE)->order, picture_order) << "no status update";
}

TEST_F(TrayTest, WhatEachTrayEventDoes) {
    struct {
        const char* what;
        void (*push)();
        bool restores;
        std::vector<int> popups;
    } cases[] = {
        {"left double click", [] { headless::push_tray(TRAY_LEFT_DOUBLE); }, true, {}},
        {"Maximize Window", [] { headless::push_menu(MENU_MAXIMIZE); }, true, {}},
        {"data line 1", [] { headless::push_menu(MENU_LINE1); }, true, {}},
        {"data line 2", [] { headless::push_menu(MENU_LINE2); }, true, {}},
        {"data line 3", [] { headless::push_menu(MENU_LINE3); }, true, {}},
        {"left click", [] { headless::push_tray(TRAY_LEFT_CLICK); }, false, {}},
        {"right double click", [] { headless::push_tray(TRAY_RIGHT_DOUBLE); }, false, {}},
        {"right click", [] { headless::push_tray(TRAY_RIGHT_CLICK); }, false, {MENU_TRAY}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        to_tray();
        headless::world().popup_shown.clear();
        c.push();
        main_loop_turn();
        if (c.restores)
            expect_shown();
        else
            expect_in_tray();
        EXPECT_EQ(headless::world().popup_shown, c.popups);
        restore_from_tray();
    }
}

TEST_F(TrayTest, PopupCommandsWhileNotConnected) {
    struct {
        const char* what;
        int item;
        int pending;
        const char* sent;  // nullptr: no connection at all
    } cases[] = {
        {"Update/Refresh Data", MENU_REFRESH, 0, "refresh\r\n"},
        {"View Logfile", MENU_VIEW_LOG, 0, "get logfile\r\n"},
        {"View Logfile while pending", MENU_VIEW_LOG, 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        loopback::ScriptedServer server(
            {.script = {{0, "Welcome to VYX Mini-Server v1.3\r\nVYX>"}}, .accept_ms = c.sent ? 3000 : 300});
        set_control_text(ID_PORT, std::to_string(server.port()));
        set_control_text(ID_HOST, "localhost");
        to_tray();
        state.auto_config_pending = c.pending;
        enable_control(ID_SHOW_LOG, 1);
        headless::push_menu(c.item);
        main_loop_turn();
        EXPECT_EQ(server.accepted(), c.sent != nullptr);
        if (c.sent) {
            EXPECT_EQ(server.received(), c.sent) << "no \"get all\" from the popup menu";
        }
        EXPECT_EQ(state.suppress_get_all, 0);
        EXPECT_EQ(state.window_shown, 0) << "stays in the tray";
        if (!c.sent) {
            EXPECT_TRUE(control_enabled(ID_SHOW_LOG)) << "does nothing at all";
        }
        if (state.connected == 1) disconnect_server();
        restore_from_tray();
    }
}

TEST_F(TrayTest, TooltipAndPopupFollowTheStateOnlyInTheTray) {
    const std::string line1_before = tray_item(MENU_LINE1);
    state.connected = 1;
    state.update_in_progress = 1;
    update_status_display();
    EXPECT_TRUE(headless::world().tray.empty());
    EXPECT_EQ(tray_item(MENU_LINE1), line1_before) << "the window shown leaves the popup alone";

    hide_to_tray();
    EXPECT_EQ(headless::world().tray.at(1).picture, state.pictures[TRAY_PIC_REFRESH]);
    EXPECT_EQ(tray_item(MENU_LINE1), "please wait...");
    state.update_in_progress = 0;
    state.md_bitdn = 6016;
    update_status_display();
    EXPECT_EQ(headless::world().tray.at(1).picture, state.pictures[TRAY_PIC_DATA]);
    EXPECT_EQ(tray_item(MENU_LINE1), "Ds Rate : 6016 kbps");
    EXPECT_NE(headless::world().tray.at(1).tooltip.find("DN: 6016 kbit/s"), std::string::npos);

    restore_from_tray();
    state.connected = 0;
    update_status_display();
    EXPECT_EQ(tray_item(MENU_LINE1), "Ds Rate : 6016 kbps") << "kept from the tray";
    EXPECT_EQ(headless::find_control(ID_STATUS_PICTURE)->picture, state.pictures[PIC_NOT_CONNECTED]);
}

class TrayStartupTest : public ProgramTest {};

TEST_F(TrayStartupTest, StartIconicGoesStraightToTheTrayWithoutSaving) {
    const std::string settings = "[CLIENT]\r\nAutoConnect=0\r\nstartVYXCiconic=1\r\n";
    write_settings(settings);
    start();
    EXPECT_EQ(state.window_shown, 0);
    EXPECT_FALSE(window_visible(MAIN_WINDOW));
    ASSERT_EQ(headless::world().tray.size(), 1u);
    EXPECT_EQ(headless::world().tray.at(1).picture, state.pictures[TRAY_PIC_NOT_CONNECTED]);
    EXPECT_EQ(settings_file(), settings);
}

}  // namespace
