// Popup menus (the tray menu); the Enter shortcut is kept in platform/enter_shortcut.
// The hard parts: items are addressed by item id alone, without saying which
// menu holds them, so every change is applied by id to all our menus. The
// menu is opened from a tray click that has long been queued and handed
// out, so there is no current event for GTK to take the grab from; we hand
// it one made for the purpose, on the pointer, at the current time. And a
// popup chooses asynchronously: the pick is queued while the nested loop
// runs and arrives once track_popup_menu has returned, like any other event.
// Each menu is also kept as a list of entries, which the tray's D-Bus menu
// reads; changes to it are announced there.

#include <utility>

#include "platform/gtk/internal.h"

namespace gtkp {
namespace {

struct Menu {
    int id;
    GtkWidget* menu;
    GtkSizeGroup* pictures;  // every item's picture slot is as wide as the widest picture
};

struct Item {
    int menu;
    int id;
    GtkWidget* widget;
    GtkWidget* picture;
    GtkWidget* label;
};

// What each menu holds, in order, as the D-Bus menu reads it; the first menu is the tray's.
struct Entries {
    int menu;
    std::vector<MenuEntry> entries;
};
std::vector<Entries> g_entries;

// Where the next menu opens, when a tray host said so rather than the pointer.
bool g_anchor_set = false;
int g_anchor_x = 0, g_anchor_y = 0;

std::vector<MenuEntry>* entries_of(int menu) {
    for (Entries& e : g_entries)
        if (e.menu == menu) return &e.entries;
    return nullptr;
}

// Applies a change to every entry with the item's id, and tells the D-Bus menu once.
template <class Change>
void change_entries(int item, Change change) {
    bool changed = false;
    for (Entries& list : g_entries)
        for (MenuEntry& e : list.entries)
            if (e.id == item) changed = change(e) || changed;
    if (changed) dbus_menu_item_changed(item);
}

std::vector<Menu> g_menus;
std::vector<Item> g_items;
int g_popup_window = WINDOW_NONE;  // the window the open popup reports to

Menu* find_menu(int menu) {
    for (Menu& m : g_menus)
        if (m.id == menu) return &m;
    return nullptr;
}

void on_activate(GtkMenuItem*, gpointer item) {
    event_queue::push(EVENT_MENU, g_popup_window, GPOINTER_TO_INT(item));
}

void on_deactivate(GtkMenuShell*, gpointer loop) { g_main_loop_quit(static_cast<GMainLoop*>(loop)); }

// The items go with the menu widget; the records go with them.
void destroy_menu(const Menu& m) {
    std::erase_if(g_items, [&](const Item& i) { return i.menu == m.id; });
    gtk_widget_destroy(m.menu);
    g_object_unref(m.menu);
    g_object_unref(m.pictures);
}

// A button release of the pointer at the current time: what GTK grabs the pointer
// and keyboard with, so that a click elsewhere or Escape closes the menu.
GdkEvent* trigger_event(GdkDisplay* display) {
    GdkEvent* event = gdk_event_new(GDK_BUTTON_RELEASE);
    event->button.window = GDK_WINDOW(g_object_ref(gdk_get_default_root_window()));
    event->button.time = GDK_CURRENT_TIME;
    gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(display)));
    return event;
}

}  // namespace

void release_menus() {
    for (const Menu& m : g_menus) destroy_menu(m);
    g_menus.clear();
    g_entries.clear();
}

const std::vector<MenuEntry>* popup_menu_entries() {
    return g_entries.empty() ? nullptr : &g_entries.front().entries;
}

void set_menu_anchor(int x, int y) {
    g_anchor_set = true;
    g_anchor_x = x;
    g_anchor_y = y;
}

void clear_menu_anchor() { g_anchor_set = false; }

}  // namespace gtkp

using namespace gtkp;

int create_popup_menu(int menu) {
    if (find_menu(menu)) return 0;
    GtkWidget* widget = gtk_menu_new();
    g_object_ref_sink(widget);
    g_menus.push_back(Menu{menu, widget, gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL)});
    g_entries.push_back(Entries{menu, {}});
    return 1;
}

void append_menu_item(int menu, int item, const std::string& text) {
    Menu* m = find_menu(menu);
    if (!m) return;
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    GtkWidget* picture = gtk_image_new();
    GtkWidget* label = gtk_label_new(to_utf8(text).c_str());
    gtk_size_group_add_widget(m->pictures, picture);
    gtk_box_pack_start(GTK_BOX(box), picture, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    GtkWidget* widget = gtk_menu_item_new();
    gtk_container_add(GTK_CONTAINER(widget), box);
    g_signal_connect(widget, "activate", G_CALLBACK(on_activate), GINT_TO_POINTER(item));
    gtk_widget_show_all(widget);
    gtk_menu_shell_append(GTK_MENU_SHELL(m->menu), widget);
    g_items.push_back(Item{menu, item, widget, picture, label});
    entries_of(menu)->push_back(MenuEntry{item, to_utf8(text), true, 0});
    if (entries_of(menu) == popup_menu_entries()) dbus_menu_layout_changed();
}

void append_menu_separator(int menu) {
    Menu* m = find_menu(menu);
    if (!m) return;
    GtkWidget* separator = gtk_separator_menu_item_new();
    gtk_widget_show(separator);
    gtk_menu_shell_append(GTK_MENU_SHELL(m->menu), separator);
    entries_of(menu)->push_back(MenuEntry{0, {}, true, 0});
    if (entries_of(menu) == popup_menu_entries()) dbus_menu_layout_changed();
}

void enable_menu_item(int item, int enabled) {
    for (const Item& i : g_items)
        if (i.id == item) gtk_widget_set_sensitive(i.widget, enabled != 0);
    change_entries(item,
                   [&](MenuEntry& e) { return std::exchange(e.enabled, enabled != 0) != (enabled != 0); });
}

void set_menu_item_text(int item, const std::string& text) {
    const std::string utf8 = to_utf8(text);
    for (const Item& i : g_items)
        if (i.id == item) gtk_label_set_text(GTK_LABEL(i.label), utf8.c_str());
    change_entries(item, [&](MenuEntry& e) { return std::exchange(e.label, utf8) != utf8; });
}

void set_menu_item_bitmap(int item, int picture) {
    GdkPixbuf* pixbuf = picture ? picture_pixbuf(picture) : nullptr;
    if (picture && !pixbuf) return;
    for (const Item& i : g_items)
        if (i.id == item) gtk_image_set_from_pixbuf(GTK_IMAGE(i.picture), pixbuf);
    change_entries(item, [&](MenuEntry& e) { return std::exchange(e.picture, picture) != picture; });
}

void destroy_popup_menu(int menu) {
    for (std::size_t i = 0; i < g_menus.size(); ++i)
        if (g_menus[i].id == menu) {
            destroy_menu(g_menus[i]);
            g_menus.erase(g_menus.begin() + static_cast<std::ptrdiff_t>(i));
            std::erase_if(g_entries, [menu](const Entries& e) { return e.menu == menu; });
            dbus_menu_layout_changed();
            return;
        }
}

void get_mouse_position(int* x, int* y) {
    int px = 0, py = 0;
    if (g_anchor_set) {
        // The tray host gave the menu's place with the click; the pointer may be elsewhere (a keyboard).
        g_anchor_set = false;
        if (x) *x = g_anchor_x;
        if (y) *y = g_anchor_y;
        return;
    }
    if (GdkDisplay* display = gdk_display_get_default())
        gdk_device_get_position(gdk_seat_get_pointer(gdk_display_get_default_seat(display)), nullptr, &px,
                                &py);
    if (x) *x = px;
    if (y) *y = py;
}

void track_popup_menu(int menu, int window, int x, int y) {
    Menu* m = find_menu(menu);
    GdkDisplay* display = gdk_display_get_default();
    if (!m || !window_widget(window) || !display) return;
    GtkWidget* widget = m->menu;
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    const gulong handler = g_signal_connect(widget, "deactivate", G_CALLBACK(on_deactivate), loop);
    g_popup_window = window;
    GdkEvent* trigger = trigger_event(display);
    const GdkRectangle at{x, y, 1, 1};
    gtk_menu_popup_at_rect(GTK_MENU(widget), gdk_get_default_root_window(), &at, GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, trigger);
    gdk_event_free(trigger);
    // Without its grab the menu does not open; then there is nothing to wait for.
    if (gtk_widget_get_visible(widget)) g_main_loop_run(loop);
    g_signal_handler_disconnect(widget, handler);
    g_main_loop_unref(loop);
}
