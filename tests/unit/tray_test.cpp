// Window and tray: every way into the tray, what the tray icon's clicks and
// the popup items do there, and the popup's server commands.
#include "app/tray.h"

#include <tuple>

#include "app/short_wait.h"
#include "link/connection.h"
#include "tests/unit/fixture.h"
#include "tests/unit/scripted_server.h"

namespace {

class TrayTest : public StartedTest {};

TEST_F(TrayTest, IntoTheTrayAndWhatEachTrayEventDoesThere) {
    enum Into { TITLE_BAR, MINIMIZE_BUTTON, IN_A_SHORT_WAIT, START_ICONIC };
    // The way in, the event there, whether it restores the window, the popups it shows.
    const std::tuple<const char*, Into, void (*)(), bool, std::vector<int>> cases[] = {
        {"left double click", TITLE_BAR, [] { headless::push_tray(2); }, true, {}},
        {"Maximize Window", MINIMIZE_BUTTON, [] { headless::push_menu(995); }, true, {}},
        {"data line 1", START_ICONIC, [] { headless::push_menu(970); }, true, {}},
        {"data line 2", TITLE_BAR, [] { headless::push_menu(971); }, true, {}},
        {"data line 3", MINIMIZE_BUTTON, [] { headless::push_menu(972); }, true, {}},
        {"left double click in a short wait", IN_A_SHORT_WAIT, [] { headless::push_tray(2); }, true, {}},
        {"left click", TITLE_BAR, [] { headless::push_tray(0); }, false, {}},
        {"right double click", START_ICONIC, [] { headless::push_tray(3); }, false, {}},
        {"right click", MINIMIZE_BUTTON, [] { headless::push_tray(1); }, false, {900}},
    };
    for (const auto& [what, into, push, restores, popups] : cases) {
        SCOPED_TRACE(what);
        headless::reset();
        const std::string settings = std::string("[CLIENT]\r\nAutoConnect=0\r\nSysTrayIconPrefix=Dach\r\n") +
                                     "startVYXCiconic=" + (into == START_ICONIC ? "1" : "0") + "\r\n";
        write_settings(settings);
        start();
        if (into == MINIMIZE_BUTTON) headless::push_control(ID_MINIMIZE);
        if (into == TITLE_BAR || into == IN_A_SHORT_WAIT) headless::user_minimize(MAIN_WINDOW);
        if (into == IN_A_SHORT_WAIT) wait_with_events(450);
        for (int turn = 0; turn < 2 && state.window_shown == 1; ++turn) main_loop_turn();
        EXPECT_FALSE(window_visible(MAIN_WINDOW));
        ASSERT_EQ(headless::world().tray.size(), 1u);
        EXPECT_EQ(headless::world().tray.at(1).picture, state.pictures[15]);
        EXPECT_EQ(headless::world().tray.at(1).tooltip, "Dach\r\nVYX-Client not connected.");
        EXPECT_EQ(settings_file() != settings, into == TITLE_BAR || into == MINIMIZE_BUTTON)
            << "saved by the main loop only";

        push();
        into == IN_A_SHORT_WAIT ? wait_with_events(450) : (void)main_loop_turn();
        EXPECT_EQ(window_visible(MAIN_WINDOW), restores);
        EXPECT_EQ(headless::world().tray.empty(), restores);
        EXPECT_FALSE(window_minimized(MAIN_WINDOW) && restores) << "comes back in its normal size";
        EXPECT_EQ(headless::world().popup_shown, popups);
        release_everything();
    }
}

// Sent on the open connection, or on one opened for them without the usual
// "get all", or dropped when no connection can be had.
TEST_F(TrayTest, PopupCommandsReachTheServer) {
    // Item; connected before; server up; configuration pending; what the server got.
    const std::tuple<const char*, int, bool, bool, bool, const char*> cases[] = {
        {"reboot while connected", 984, true, true, false, "get all\r\nreboot\r\n"},
        {"resync while connected", 986, true, true, false, "get all\r\nresync\r\n"},
        {"view logfile while connected", 993, true, true, false, "get all\r\nget logfile\r\n"},
        {"reboot connects first", 984, false, true, false, "reboot\r\n"},
        {"resync connects first", 986, false, true, false, "resync\r\n"},
        {"refresh connects first", 990, false, true, false, "refresh\r\n"},
        {"view logfile connects first", 993, false, true, false, "get logfile\r\n"},
        {"view logfile while pending: nothing at all", 993, false, true, true, ""},
        {"reboot without a server is dropped", 984, false, false, false, ""},
        {"resync without a server is dropped", 986, false, false, false, ""},
    };
    for (const auto& [what, item, connected, server_up, pending, received] : cases) {
        SCOPED_TRACE(what);
        const bool reached = server_up && !pending;
        loopback::ScriptedServer server(
            {.script = {{0, loopback::GREETING}}, .listen_ms = -1, .accept_ms = reached ? 5000 : 100});
        set_control_text(ID_HOST, "localhost");
        set_control_text(ID_PORT, std::to_string(server_up ? server.port() : loopback::Listener().port()));
        if (connected) connect_server();
        ASSERT_EQ(state.connected, connected ? 1 : 0);
        hide_to_tray();
        state.auto_config_pending = pending;
        enable_control(ID_SHOW_LOG, 1);
        headless::push_menu(item);
        main_loop_turn();
        EXPECT_EQ(state.connected, reached ? 1 : 0);
        EXPECT_EQ(state.suppress_get_all, 0) << "the next connection sends its get all";
        EXPECT_EQ(state.window_shown, 0) << "stays in the tray";
        if (item == 993 && (connected || pending)) {
            EXPECT_EQ(control_enabled(ID_SHOW_LOG), pending) << "off while the log is asked for";
        }
        if (state.connected == 1) disconnect_server();
        EXPECT_EQ(server.received(), received);
        restore_from_tray();
    }
}

}  // namespace
