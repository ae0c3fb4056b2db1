// Moving between the main window and the tray, and the tray popup menu.
// The tray icon exists exactly while the window is hidden.
#include "app/tray.h"

#include "app/ids.h"
#include "app/state.h"
#include "platform/platform.h"
#include "ui/status.h"

void hide_to_tray() {
    if (state.window_shown != 1) return;
    show_window(MAIN_WINDOW, SHOW_HIDE);
    state.window_shown = 0;
    tray_add(TRAY_ICON_ID, MAIN_WINDOW, state.pictures[TRAY_PIC_NOT_CONNECTED]);
    tray_set_tooltip(TRAY_ICON_ID, "VYX Client");
    update_status_display();
}

void restore_from_tray() {
    if (state.window_shown != 0) return;
    // A minimised window comes back in its normal size.
    show_window(MAIN_WINDOW, window_maximized(MAIN_WINDOW) ? SHOW_MAXIMIZED : SHOW_NORMAL);
    state.window_shown = 1;
    set_foreground_window(MAIN_WINDOW);
    tray_remove(TRAY_ICON_ID);
    update_status_display();
}

void show_tray_menu() {
    int x = 0, y = 0;
    get_mouse_position(&x, &y);
    // Without the foreground the menu would not close on a click elsewhere.
    set_foreground_window(MAIN_WINDOW);
    track_popup_menu(MENU_TRAY, MAIN_WINDOW, x - 1, y - 1);
}
