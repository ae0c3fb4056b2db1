// One turn of the main loop and its two dispatch tables.
//
// Each turn runs every step in a fixed order, whatever the event: the
// connection is polled first, so server data is handled on any wake-up
// (timer tick, network null message, mouse move), and a close request only
// sets a flag so the rest of the turn still runs before the loop ends.
#include "app/main_loop.h"

#include "app/ids.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/supervision.h"
#include "app/tray.h"
#include "link/connection.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "monitor/config_sender.h"
#include "monitor/history_recorder.h"
#include "monitor/logfile.h"
#include "platform/platform.h"
#include "ui/settings.h"
#include "ui/history_window.h"
#include "ui/log_window.h"
#include "ui/main_window.h"
#include "ui/status.h"

namespace {

void disable_and_send(int id, const char* command) {
    enable_control(id, 0);
    send_command(command);
}

void open_home_page() { shell_open(HOME_PAGE_ADDRESS); }

void minimize_main_window() { show_window(MAIN_WINDOW, SHOW_MINIMIZE); }

void activate_monitoring() {
    enable_control(ID_ACTIVATE, 0);
    state.auto_status = 1;
    state.auto_status_changed = 1;
    send_monitoring_config();
    history_note(HK_MONITORING_ACTIVATED);
}

void deactivate_monitoring() {
    enable_control(ID_DEACTIVATE, 0);
    state.auto_status = 0;
    state.auto_status_changed = 1;
    send_monitoring_config();
    history_note(HK_MONITORING_DEACTIVATED);
}

void apply_monitoring() {
    enable_control(ID_APPLY, 0);
    state.commit_pending = 1;
    send_monitoring_config();
    history_note(HK_MONITORING_APPLIED);
}

void view_log_from_menu() {
    if (state.auto_config_pending != 0) return;
    enable_control(ID_SHOW_LOG, 0);
    run_menu_command("get logfile");
}

void connect_if_disconnected() {
    if (state.connected == 0) connect_server();
}

void quit() { state.quit_requested = 1; }

struct ControlAction {
    int id;
    void (*run)();
};

const ControlAction control_actions[] = {
    {ID_CONNECT, [] { connect_server(); }},
    {ID_DISCONNECT,
     [] {
         history_set_drop_reason("disconnect");
         disconnect_server();
     }},
    {ID_REFRESH, [] { disable_and_send(ID_REFRESH, "refresh"); }},
    {ID_RESYNC, [] { disable_and_send(ID_RESYNC, "resync"); }},
    {ID_REBOOT, [] { disable_and_send(ID_REBOOT, "reboot"); }},
    {ID_SHUTDOWN, [] { disable_and_send(ID_SHUTDOWN, "shutdown"); }},
    {ID_SHOW_LOG, [] { disable_and_send(ID_SHOW_LOG, "get logfile"); }},
    {ID_ACTIVATE, activate_monitoring},
    {ID_DEACTIVATE, deactivate_monitoring},
    {ID_APPLY, apply_monitoring},
    {ID_HOME_LINK, open_home_page},
    {ID_TRY_CONNECT, update_interval_controls},
    {ID_LOG_CLOSE, close_log_viewer},
    {ID_LOG_REFRESH, [] { send_command("get logfile"); }},
    {ID_LOG_DELETE, delete_server_log},
    {ID_MINIMIZE, minimize_main_window},
    {ID_STATUS_PICTURE, open_history_window},
};

const ControlAction menu_actions[] = {
    {MENU_TITLE, [] {}},
    {MENU_REBOOT, [] { run_menu_command("reboot"); }},
    {MENU_RESYNC, [] { run_menu_command("resync"); }},
    {MENU_REFRESH, [] { run_menu_command("refresh"); }},
    {MENU_VIEW_LOG, view_log_from_menu},
    {MENU_HISTORY, open_history_window},
    {MENU_MAXIMIZE, restore_from_tray},
    {MENU_LINE1, restore_from_tray},
    {MENU_LINE2, restore_from_tray},
    {MENU_LINE3, restore_from_tray},
    {MENU_QUIT, quit},
    {MENU_ENTER_KEY, connect_if_disconnected},
};

template <std::size_t N>
void dispatch(const ControlAction (&table)[N], int id) {
    for (const ControlAction& a : table)
        if (a.id == id) return a.run();
}

}  // namespace

void dispatch_control(int id) { dispatch(control_actions, id); }

void dispatch_menu(int item) { dispatch(menu_actions, item); }

void run_menu_command(const char* command) {
    state.suppress_get_all = 1;
    if (state.connection == 0) connect_server();
    if (state.connection > 0) send_command(command);
    state.suppress_get_all = 0;
}

int main_loop_turn() {
    state.event = wait_next_event();
    state.event_window = get_event_window();
    if (state.connected == 1) {
        state.net_event = poll_connection(state.connection);
        if (state.net_event == NET_EVENT_DATA)
            handle_server_data();
        else if (state.net_event == NET_EVENT_FILE)
            receive_log_file();
    }
    if (state.connected == 0) enable_log_viewer_buttons(0);
    if (state.event == EVENT_TIMER && get_event_timer() == TIMER_SUPERVISION) {
        supervision_tick();
        history_second();
        history_window_tick();
    }
    if (state.event == EVENT_TIMER && get_event_timer() == TIMER_HISTORY) history_tick();
    if (state.event_window == HISTORY_WINDOW) history_window_event(state.event);
    if (state.event_window == MAIN_WINDOW && state.event == EVENT_CLOSE_WINDOW) state.quit_requested = 1;
    if (state.event_window == LOG_WINDOW && state.event == EVENT_CLOSE_WINDOW) close_log_viewer();
    if (state.event_window == MAIN_WINDOW && window_minimized(MAIN_WINDOW) && state.window_shown == 1) {
        hide_to_tray();
        save_settings();
    }
    if (state.event == EVENT_TRAY && get_event_type() == TRAY_RIGHT_CLICK) show_tray_menu();
    if (state.event == EVENT_TRAY && get_event_type() == TRAY_LEFT_DOUBLE) restore_from_tray();
    if (state.event == EVENT_CONTROL) dispatch_control(get_event_control());
    if (state.event == EVENT_MENU) dispatch_menu(get_event_menu());
    return state.quit_requested == 1 ? 0 : 1;
}
