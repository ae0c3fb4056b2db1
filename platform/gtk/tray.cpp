// Notification-area icons, as XEmbed status icons.
// The hard part is that the tray, not we, owns where they show: it may be
// missing when the program starts into it or come and go later. A status
// icon docks itself whenever a tray takes the manager selection, so every
// icon is kept whether or not a tray is there; the calls only report
// whether one is, as the Windows build reports whether the shell took it.
// Clicks are counted as there: a release is a click, a double press a
// double click, so a double click arrives as click, double, click.

#include "platform/gtk/internal.h"

#include <gdk/gdkx.h>

#include <cstdio>

// Status icons are deprecated, but they are what XEmbed trays take.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace gtkp {
namespace {

struct TrayIcon {
    int id;
    GtkStatusIcon* icon;  // its clicks carry the window number
};

std::vector<TrayIcon> g_icons;

TrayIcon* find_icon(int id) {
    for (auto& t : g_icons)
        if (t.id == id) return &t;
    return nullptr;
}

// A tray is there when someone owns the screen's system tray selection.
bool tray_present() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    char name[32];
    std::snprintf(name, sizeof name, "_NET_SYSTEM_TRAY_S%d",
                  gdk_x11_screen_get_screen_number(gdk_display_get_default_screen(display)));
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    return XGetSelectionOwner(x, gdk_x11_get_xatom_by_name_for_display(display, name)) != None;
}

gboolean on_button(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
    const int window = GPOINTER_TO_INT(data);
    const bool left = event->button == GDK_BUTTON_PRIMARY;
    if (!left && event->button != GDK_BUTTON_SECONDARY) return FALSE;
    if (event->type == GDK_BUTTON_RELEASE)
        event_queue::push(EVENT_TRAY, window, left ? TRAY_LEFT_CLICK : TRAY_RIGHT_CLICK);
    else if (event->type == GDK_2BUTTON_PRESS)
        event_queue::push(EVENT_TRAY, window, left ? TRAY_LEFT_DOUBLE : TRAY_RIGHT_DOUBLE);
    return TRUE;
}

GtkStatusIcon* new_icon(int window, GdkPixbuf* pixbuf) {
    GtkStatusIcon* icon = gtk_status_icon_new_from_pixbuf(pixbuf);
    g_signal_connect(icon, "button-press-event", G_CALLBACK(on_button), GINT_TO_POINTER(window));
    g_signal_connect(icon, "button-release-event", G_CALLBACK(on_button), GINT_TO_POINTER(window));
    return icon;
}

}  // namespace
}  // namespace gtkp

using namespace gtkp;

int tray_add(int icon_id, int window, int picture) {
    GdkPixbuf* pixbuf = picture_pixbuf(picture);
    if (!window_widget(window) || !pixbuf) return 0;
    tray_remove(icon_id);
    g_icons.push_back(TrayIcon{icon_id, new_icon(window, pixbuf)});
    return tray_present() ? 1 : 0;
}

int tray_change(int icon_id, int picture) {
    TrayIcon* t = find_icon(icon_id);
    GdkPixbuf* pixbuf = picture_pixbuf(picture);
    if (!t || !pixbuf) return 0;
    gtk_status_icon_set_from_pixbuf(t->icon, pixbuf);
    gtk_status_icon_set_tooltip_text(t->icon, nullptr);
    return tray_present() ? 1 : 0;
}

int tray_set_tooltip(int icon_id, const std::string& text) {
    TrayIcon* t = find_icon(icon_id);
    if (!t) return 0;
    gtk_status_icon_set_tooltip_text(t->icon, to_utf8(text.substr(0, 63)).c_str());
    return tray_present() ? 1 : 0;
}

void tray_remove(int icon_id) {
    for (std::size_t i = 0; i < g_icons.size(); ++i)
        if (g_icons[i].id == icon_id) {
            g_object_unref(g_icons[i].icon);
            g_icons.erase(g_icons.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

void tray_remove_all() {
    while (!g_icons.empty()) tray_remove(g_icons.back().id);
}

G_GNUC_END_IGNORE_DEPRECATIONS
