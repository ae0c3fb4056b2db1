// Notification-area icons: a StatusNotifierItem where the desktop's tray
// speaks D-Bus (sni.cpp), else an XEmbed status icon where an X tray owns
// the manager selection, else none.
// The hard part is that the tray, not we, decides whether an icon shows: it
// may be missing when the program starts into it, and may come or go later.
// So every icon is kept whether or not a tray is there, shown the one way a
// tray present now takes, and the windows are told whenever a tray comes or
// goes (windows.cpp keeps a window that has nowhere to go minimised instead
// of hidden). The calls report whether a tray is there, as the Windows build
// reports whether the shell took the icon.
// XEmbed clicks are counted as on Windows: a release is a click, a double
// press a double click, so a double click arrives as click, double, click.

#include "platform/gtk/internal.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cstdio>

// Status icons are deprecated, but they are what XEmbed trays take.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace gtkp {
namespace {

struct TrayIcon {
    int id;
    int window;
    GdkPixbuf* pixbuf;      // our reference
    std::string tooltip;    // UTF-8
    GtkStatusIcon* xembed;  // while no D-Bus tray is there; clicks carry the window number
};

std::vector<TrayIcon> g_icons;  // the first one is the D-Bus tray's item
bool g_present = false;         // what the windows were last told

TrayIcon* find_icon(int id) {
    for (auto& t : g_icons)
        if (t.id == id) return &t;
    return nullptr;
}

bool x11() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display);
}

// An X tray is there when someone owns the screen's system tray selection.
bool xembed_tray_present() {
    if (!x11()) return false;
    GdkDisplay* display = gdk_display_get_default();
    char name[32];
    std::snprintf(name, sizeof name, "_NET_SYSTEM_TRAY_S%d",
                  gdk_x11_screen_get_screen_number(gdk_display_get_default_screen(display)));
    return XGetSelectionOwner(GDK_DISPLAY_XDISPLAY(display),
                              gdk_x11_get_xatom_by_name_for_display(display, name)) != None;
}

bool present_now() { return sni_watcher_present() || xembed_tray_present(); }

gboolean on_button(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
    const int window = GPOINTER_TO_INT(data);
    const bool left = event->button == GDK_BUTTON_PRIMARY;
    if (!left && event->button != GDK_BUTTON_SECONDARY) return FALSE;
    clear_menu_anchor();  // the menu opens at the pointer
    if (event->type == GDK_BUTTON_RELEASE)
        event_queue::push(EVENT_TRAY, window, left ? TRAY_LEFT_CLICK : TRAY_RIGHT_CLICK);
    else if (event->type == GDK_2BUTTON_PRESS)
        event_queue::push(EVENT_TRAY, window, left ? TRAY_LEFT_DOUBLE : TRAY_RIGHT_DOUBLE);
    return TRUE;
}

void tray_changed();

void on_embedded(GObject*, GParamSpec*, gpointer) { tray_changed(); }

void drop_xembed(TrayIcon& t) {
    if (!t.xembed) return;
    g_signal_handlers_disconnect_by_data(t.xembed, GINT_TO_POINTER(t.window));
    g_object_unref(t.xembed);
    t.xembed = nullptr;
}

// Shows the icon the one way the trays present now take it.
void place(TrayIcon& t) {
    if (sni_watcher_present() || !x11()) {
        drop_xembed(t);
        return;
    }
    if (!t.xembed) {
        t.xembed = gtk_status_icon_new_from_pixbuf(t.pixbuf);
        const gpointer data = GINT_TO_POINTER(t.window);
        g_signal_connect(t.xembed, "button-press-event", G_CALLBACK(on_button), data);
        g_signal_connect(t.xembed, "button-release-event", G_CALLBACK(on_button), data);
        g_signal_connect(t.xembed, "notify::embedded", G_CALLBACK(on_embedded), data);
    }
    gtk_status_icon_set_from_pixbuf(t.xembed, t.pixbuf);
    gtk_status_icon_set_tooltip_text(t.xembed, t.tooltip.empty() ? nullptr : t.tooltip.c_str());
}

// The D-Bus item stands for the first icon (the program has one).
void update_item() {
    if (g_icons.empty()) {
        sni_hide();
        return;
    }
    const TrayIcon& t = g_icons.front();
    sni_set_icon(t.pixbuf);
    sni_set_tooltip(t.tooltip);
    sni_show(t.window);
}

// A tray came or went: icons move to the way it takes them, windows learn of it.
void tray_changed() {
    for (TrayIcon& t : g_icons) place(t);
    const bool now = present_now() || std::any_of(g_icons.begin(), g_icons.end(), [](const TrayIcon& t) {
                         return t.xembed && gtk_status_icon_is_embedded(t.xembed);
                     });
    if (now == g_present) return;
    g_present = now;
    windows_tray_changed(now);
}

void forget(TrayIcon& t) {
    drop_xembed(t);
    g_object_unref(t.pixbuf);
}

}  // namespace

void start_tray() {
    sni_start(tray_changed);
    g_present = present_now();
}

bool tray_present() { return g_present; }

void release_tray() {
    tray_remove_all();
    sni_stop();
    dbus_menu_release();
}

}  // namespace gtkp

using namespace gtkp;

int tray_add(int icon_id, int window, int picture) {
    GdkPixbuf* pixbuf = picture_pixbuf(picture);
    if (!window_widget(window) || !pixbuf) return 0;
    tray_remove(icon_id);
    g_icons.push_back(TrayIcon{icon_id, window, GDK_PIXBUF(g_object_ref(pixbuf)), {}, nullptr});
    place(g_icons.back());
    update_item();
    return present_now() ? 1 : 0;
}

int tray_change(int icon_id, int picture) {
    TrayIcon* t = find_icon(icon_id);
    GdkPixbuf* pixbuf = picture_pixbuf(picture);
    if (!t || !pixbuf) return 0;
    g_object_unref(t->pixbuf);
    t->pixbuf = GDK_PIXBUF(g_object_ref(pixbuf));
    t->tooltip.clear();
    place(*t);
    update_item();
    return present_now() ? 1 : 0;
}

int tray_set_tooltip(int icon_id, const std::string& text) {
    TrayIcon* t = find_icon(icon_id);
    if (!t) return 0;
    t->tooltip = to_utf8(text.substr(0, 63));
    place(*t);
    update_item();
    return present_now() ? 1 : 0;
}

void tray_remove(int icon_id) {
    for (std::size_t i = 0; i < g_icons.size(); ++i)
        if (g_icons[i].id == icon_id) {
            forget(g_icons[i]);
            g_icons.erase(g_icons.begin() + static_cast<std::ptrdiff_t>(i));
            update_item();
            return;
        }
}

void tray_remove_all() {
    while (!g_icons.empty()) tray_remove(g_icons.back().id);
}

G_GNUC_END_IGNORE_DEPRECATIONS
