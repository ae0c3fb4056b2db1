// Moving between the main window and the tray; closing the log viewer.
#include "app/tray.h"

#include "app/ids.h"
#include "app/state.h"
#include "platform/platform.h"

// Hiding to and restoring from the tray come with the tray icon itself.
void hide_to_tray() {}
void restore_from_tray() {}
void show_tray_menu() {}

void close_log_viewer() {
    destroy_window(LOG_WINDOW);
    state.log_window_open = 0;
    if (state.connected == 1 && state.auto_config_pending == 0) enable_control(ID_SHOW_LOG, 1);
}
