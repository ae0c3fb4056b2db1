// Start-up and shutdown in their fixed orders.
//
// The order matters to the user: the settings are loaded before the window
// is built, the window is shown (or sent to the tray) before the first
// connection attempt, and the supervision timer only starts once that
// attempt has finished, so a slow first connect never stacks checks.
#include "app/startup.h"

#include "app/ids.h"
#include "app/main_loop.h"
#include "app/program.h"
#include "app/state.h"
#include "app/supervision.h"
#include "app/tray.h"
#include "link/connection.h"
#include "link/transport.h"
#include "monitor/history_recorder.h"
#include "platform/platform.h"
#include "resources/pictures.h"
#include "ui/history_window.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/settings.h"
#include "ui/status.h"

namespace {

void load_picture_ids(int first, int last, PictureKind kind) {
    for (int id = first; id <= last; ++id) {
        const EmbeddedPicture* p = find_embedded_picture(id);
        state.pictures[id] = p ? load_picture(p->data, p->size, kind) : 0;
    }
}

void load_fonts() {
    const int dpi = screen_dpi_y();
    for (const FontSpec& f : font_specs()) {
        // Points to pixels, rounded to the nearest integer (all values positive).
        const int height = -((f.points * dpi + 36) / 72);
        state.fonts[f.number] = create_font(f.face, height, f.weight);
    }
}

void build_tray_menu() {
    create_popup_menu(MENU_TRAY);
    for (const MenuItemSpec& m : tray_menu_layout()) {
        if (m.item == 0)
            append_menu_separator(MENU_TRAY);
        else
            append_menu_item(MENU_TRAY, m.item, m.text ? m.text : state.systray_icon_prefix);
    }
    enable_menu_item(MENU_TITLE, 0);
    for (const MenuItemSpec& m : tray_menu_layout())
        if (m.picture) set_menu_item_bitmap(m.item, state.pictures[m.picture]);
}

void free_pictures() {
    for (int& handle : state.pictures) {
        if (handle) free_picture(handle);
        handle = 0;
    }
}

void free_fonts() {
    for (int& handle : state.fonts) {
        if (handle) free_font(handle);
        handle = 0;
    }
}

}  // namespace

int start_program() {
    state = ProgramState{};
    platform_init();
    state.line_break = "\r\n";
    load_picture_ids(PIC_NOT_CONNECTED, PIC_REFRESH_NOTICE, PICTURE_ICON);
    load_fonts();
    load_picture_ids(MENU_PIC_REBOOT, MENU_PIC_VIEW_LOG, PICTURE_BITMAP);
    build_tray_menu();
    if (!start_network()) {
        message_box(WINDOW_NONE, "Error", "Can't initialize the network. TCP/IP-Stack !", MB_BUTTONS_OK);
        release_everything();
        return 0;
    }
    load_settings();
    if (!build_main_window()) {
        // Without its window the program could be neither seen nor ended.
        message_box(WINDOW_NONE, "Error", "Can't create the main window.", MB_BUTTONS_OK);
        release_everything();
        return 0;
    }
    state.window_shown = 1;
    settings_to_controls();
    if (state.start_iconic == 1) {
        hide_to_tray();
    } else {
        show_window(MAIN_WINDOW, SHOW_NORMAL);
        update_status_display();
    }
    set_control_text(ID_VERSION, VERSION_TEXT);
    add_home_link();
    update_interval_controls();
    enable_action_controls(0);
    enable_connection_controls(0);
    history_start();
    if (state.auto_connect == 1) connect_server();
    register_enter_shortcut(MAIN_WINDOW, MENU_ENTER_KEY);
    start_supervision_timer(1000);
    return 1;
}

void release_everything() {
    tray_remove_all();
    if (state.connection > 0) close_connection(state.connection);
    history_end();
    state.connection = 0;
    stop_network();
    free_pictures();
    destroy_popup_menu(MENU_TRAY);
    close_history_window();
    destroy_window(LOG_WINDOW);
    destroy_window(MAIN_WINDOW);
    free_fonts();
    platform_release();
}

void shutdown_program() {
    save_settings();
    release_everything();
}

int program_main() {
    if (start_program()) {
        while (main_loop_turn()) {
        }
        shutdown_program();
    }
    return 0;
}
