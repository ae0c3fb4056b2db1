// Window and tray: every way into the tray, what the tray icon's clicks and
// the popup items do there, and the popup's server commands.
#include "app/tray.h"

#include <tuple>

#include "app/short_wait.h"
#include "link/connection.h"
#include "tests/unit/fixture.h"
#include "tests/unit/scripted_server.h"

namespace {

using TrayTest = StartedTest;

TEST_F(TrayTest, IntoTheTrayAndWhatEachTrayEventDoesThere) {
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
                             state.quit_requested, w.queue.size(),
                             std::ranges::count(w.timers, 111, &headless::Timer::id)),
                  std::tuple(false, state.pictures[15], "Dach\r\nVYX-Client not connected.", 0u, 0, 0u, 0))
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
TEST_F(TrayTest, PopupCommandsReachTheServer) {
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
