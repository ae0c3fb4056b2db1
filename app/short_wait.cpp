// The short wait: a nested event loop on the one thread that ends when the
// one-shot timer 111 fires. Meanwhile the window stays painted and can go to
// the tray, come back, or be closed; every other event is dropped, so a
// button pressed during a notice is lost rather than run late.
#include "app/short_wait.h"

#include "app/ids.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/tray.h"
#include "link/connection.h"
#include "platform/platform.h"
#include "ui/settings.h"

void wait_with_events(int ms) {
    start_timer(MAIN_WINDOW, TIMER_SHORT_WAIT, ms);
    do {
        state.wait_event = wait_next_event();
        state.wait_timer_id = get_event_timer();
        const int window = get_event_window();
        // Minimised means in the tray; unlike the main loop no save here.
        if (window == MAIN_WINDOW && window_minimized(MAIN_WINDOW) && state.window_shown == 1) hide_to_tray();
        if (state.wait_event == EVENT_TRAY && get_event_type() == TRAY_LEFT_DOUBLE) restore_from_tray();
        if (window == MAIN_WINDOW && state.wait_event == EVENT_CLOSE_WINDOW) {
            disconnect_server();
            save_settings();
            release_everything();
            exit_process(0);
        }
    } while (!(state.wait_event == EVENT_TIMER && state.wait_timer_id == TIMER_SHORT_WAIT));
    stop_timer(MAIN_WINDOW, TIMER_SHORT_WAIT);
}
