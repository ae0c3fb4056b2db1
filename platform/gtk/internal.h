// What the GTK files share: the top-level windows, the control records, the
// event queue, the tray's parts and the text conversion at the boundary.
// The core speaks 8-bit text and numbers; GTK speaks UTF-8 and widgets. Every
// string that enters a widget goes through to_utf8, every widget lives in a
// Control record found by id, and every signal becomes one queued event.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "platform/enter_shortcut.h"
#include "platform/event_queue.h"
#include "platform/platform.h"

namespace gtkp {

// Plain window-system messages, numbered as on Windows: network activity
// arrives as the null message, a window's size or state change as WM_SIZE.
constexpr int MESSAGE_NULL = 0;
constexpr int MESSAGE_SIZE = 5;

// Windows are numbered by the core, from 0 up; each table grows to the highest number used.
constexpr int WINDOW_LIMIT = 64;  // numbers at or beyond it are refused

GtkWidget* window_widget(int window);  // the GtkWindow, nullptr when it does not exist
GtkWidget* window_fixed(int window);   // the fixed container its controls sit on
int window_number(GtkWidget* widget);  // top-level window of a widget, or WINDOW_NONE

struct Control {
    int id = 0;
    int window = 0;
    ControlKind kind = KIND_LABEL;
    GtkWidget* outer = nullptr;          // what sits on the fixed container (positioned, sized)
    GtkWidget* inner = nullptr;          // what holds the text or state (entry, label, text view...)
    GtkWidget* page = nullptr;           // panels only: the fixed container of the tab page
    bool hot = false;                    // links only: the mouse is over it
    bool scroll_pending = false;         // rich edits only: the cursor is to be brought into view
    DrawList drawing;                    // canvases only: what the core last asked to be shown
    int pointer_x = -1, pointer_y = -1;  // canvases only: the point last reported
    // The core's last text and what the widget was given for it: while the
    // widget still shows that, reading it gives the core's bytes back, so a
    // text in an 8-bit code page goes back to the server or file unchanged.
    std::string bytes, shown;
};

Control* find_control(int id);
void forget_window_controls(int window);  // the window is going, and its controls with it

// events.cpp: timers and the network's source; signal handlers feed event_queue.
void stop_window_timers(int window);
void release_timers();

// controls.cpp: a new widget of GTK's kind that asks for exactly its size
// request, whatever its children ask, and draws nothing outside its allocation.
GtkWidget* sized_new(GType gtk_type);

// canvas.cpp, paint.cpp: a canvas' drawing area, and the painting of a list (also off screen).
GtkWidget* canvas_new(int id);
void paint_list(cairo_t* cr, const DrawList& list, int width, int height);

// text.cpp: core text to UTF-8; bytes that are not UTF-8 are read as Windows-1252.
std::string to_utf8(const std::string& text);

// styles.cpp: the theme tightened to the layout's sizes, and the fonts as classes.
void install_styles();
void apply_font(GtkWidget* widget, int font);  // 0: the default GUI font
// The same font for Pango; 0 or an unknown handle: the default GUI font. Caller frees.
PangoFontDescription* font_description(int font);
void release_fonts();

// pictures.cpp
GdkPixbuf* picture_pixbuf(int picture);  // nullptr for unknown handles; not a new reference
void release_pictures();

// menus.cpp; each menu is also kept as entries, which the tray's D-Bus menu reads.
struct MenuEntry {
    int id;             // 0 for a separator
    std::string label;  // UTF-8
    bool enabled;
    int picture;  // 0 for none
};
void release_menus();
const std::vector<MenuEntry>* popup_menu_entries();  // the tray's menu (the first made); nullptr before
void set_menu_anchor(int x, int y);                  // the next menu opens there rather than at the pointer
void clear_menu_anchor();

// dbus_menu.cpp: that menu over D-Bus, while the tray's item is on the bus.
constexpr char DBUS_MENU_PATH[] = "/MenuBar";
void dbus_menu_export(GDBusConnection* connection, int window);  // chosen items reported for window
void dbus_menu_unexport();
void dbus_menu_release();
void dbus_menu_item_changed(int item);  // its text, state or picture changed
void dbus_menu_layout_changed();        // items came or went

// sni.cpp: the tray icon as a StatusNotifierItem. changed() runs when the
// desktop's watcher comes or goes, or refuses the item.
void sni_start(void (*changed)());
void sni_stop();
bool sni_watcher_present();
void sni_show(int window);  // on the bus, registered with the watcher whenever there is one
void sni_hide();
void sni_set_icon(GdkPixbuf* pixbuf);
void sni_set_tooltip(const std::string& utf8);

// tray.cpp
void start_tray();
bool tray_present();  // some tray shows icons now
void release_tray();

// windows.cpp: a tray came (windows hidden into it may go) or went (they come back, minimised).
void windows_tray_changed(bool present);

}  // namespace gtkp
