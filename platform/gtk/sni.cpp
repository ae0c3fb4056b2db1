// The tray icon as a StatusNotifierItem: the D-Bus tray of today's desktops.
// The hard parts: the watcher (the desktop's tray) may be missing, come
// later or go away, and all of it is learnt asynchronously, while the core
// asks "did the tray take the icon?" at once: so the watcher's presence is
// asked once, synchronously, when the program starts, and followed after
// that. And the item must never block the program: every call it makes is
// asynchronous, and the host's calls are answered from the main loop.
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gtk/internal.h"

namespace gtkp {
namespace {

constexpr char WATCHER[] = "org.kde.StatusNotifierWatcher";
constexpr char ITEM_PATH[] = "/StatusNotifierItem";
constexpr int START_CHECK_MS = 1000;  // the synchronous look for a watcher at start

const char ITEM_XML[] =
    "<node><interface name='org.kde.StatusNotifierItem'>"
    "<property name='Category' type='s' access='read'/>"
    "<property name='Id' type='s' access='read'/>"
    "<property name='Title' type='s' access='read'/>"
    "<property name='Status' type='s' access='read'/>"
    "<property name='WindowId' type='i' access='read'/>"
    "<property name='IconThemePath' type='s' access='read'/>"
    "<property name='Menu' type='o' access='read'/>"
    "<property name='ItemIsMenu' type='b' access='read'/>"
    "<property name='IconName' type='s' access='read'/>"
    "<property name='IconPixmap' type='a(iiay)' access='read'/>"
    "<property name='OverlayIconName' type='s' access='read'/>"
    "<property name='OverlayIconPixmap' type='a(iiay)' access='read'/>"
    "<property name='AttentionIconName' type='s' access='read'/>"
    "<property name='AttentionIconPixmap' type='a(iiay)' access='read'/>"
    "<property name='AttentionMovieName' type='s' access='read'/>"
    "<property name='ToolTip' type='(sa(iiay)ss)' access='read'/>"
    "<method name='ContextMenu'><arg name='x' type='i' direction='in'/><arg name='y' type='i' "
    "direction='in'/></method>"
    "<method name='Activate'><arg name='x' type='i' direction='in'/><arg name='y' type='i' "
    "direction='in'/></method>"
    "<method name='SecondaryActivate'><arg name='x' type='i' direction='in'/><arg name='y' type='i' "
    "direction='in'/></method>"
    "<method name='Scroll'><arg name='delta' type='i' direction='in'/><arg name='orientation' type='s' "
    "direction='in'/></method>"
    "<signal name='NewTitle'/><signal name='NewIcon'/><signal name='NewAttentionIcon'/>"
    "<signal name='NewOverlayIcon'/><signal name='NewToolTip'/>"
    "<signal name='NewStatus'><arg name='status' type='s'/></signal>"
    "</interface></node>";

struct Item {
    int window = WINDOW_NONE;
    GVariant* pixmaps = nullptr;  // a(iiay), floating reference sunk
    std::string title, text;      // the tooltip: its first line, and the rest
    std::string name;             // the bus name owned while shown
    guint owner_id = 0, object_id = 0;
};

struct Bus {
    GDBusConnection* connection = nullptr;
    GDBusNodeInfo* info = nullptr;
    guint watch_id = 0;
    bool watcher = false;  // someone owns the watcher's name
    bool refused = false;  // ... and it refused our item
    Item item;
    void (*changed)() = nullptr;
};

Bus g_bus;

GVariant* empty_pixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0); }

// ARGB32 in network byte order, as the item's pixmaps are defined.
GVariant* pixmaps_of(GdkPixbuf* pixbuf) {
    if (!pixbuf) return empty_pixmaps();
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    std::vector<guchar> argb(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            guchar* q = &argb[(static_cast<std::size_t>(y) * w + x) * 4];
            q[0] = channels == 4 ? p[3] : 255;
            q[1] = p[0];
            q[2] = p[1];
            q[3] = p[2];
        }
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1);
    GVariant* one = g_variant_new("(ii@ay)", w, h, bytes);
    return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), &one, 1);
}

void emit(const char* signal, GVariant* args = nullptr) {
    if (!g_bus.item.object_id) return;
    g_dbus_connection_emit_signal(g_bus.connection, nullptr, ITEM_PATH, "org.kde.StatusNotifierItem", signal,
                                  args, nullptr);
}

GVariant* get_property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                       GError**, gpointer) {
    const Item& item = g_bus.item;
    if (!std::strcmp(name, "Category")) return g_variant_new_string("Communications");
    if (!std::strcmp(name, "Id")) return g_variant_new_string("vyx-client");
    if (!std::strcmp(name, "Title")) return g_variant_new_string("VYX Client");
    if (!std::strcmp(name, "Status")) return g_variant_new_string("Active");
    if (!std::strcmp(name, "WindowId")) return g_variant_new_int32(0);
    if (!std::strcmp(name, "Menu")) return g_variant_new_object_path(DBUS_MENU_PATH);
    if (!std::strcmp(name, "ItemIsMenu")) return g_variant_new_boolean(FALSE);
    if (!std::strcmp(name, "IconPixmap")) return item.pixmaps ? g_variant_ref(item.pixmaps) : empty_pixmaps();
    if (!std::strcmp(name, "ToolTip"))
        return g_variant_new("(s@a(iiay)ss)", "", empty_pixmaps(), item.title.c_str(), item.text.c_str());
    if (std::strstr(name, "Pixmap")) return empty_pixmaps();
    return g_variant_new_string("");  // the icon names and paths: we send pixmaps
}

void call_method(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                 GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    const int window = g_bus.item.window;
    if (!std::strcmp(method, "Activate")) {
        // A click on the icon: what the double click does on a Windows tray icon.
        event_queue::push(EVENT_TRAY, window, TRAY_LEFT_DOUBLE);
    } else if (!std::strcmp(method, "ContextMenu") || !std::strcmp(method, "SecondaryActivate")) {
        gint x = 0, y = 0;
        g_variant_get(parameters, "(ii)", &x, &y);
        set_menu_anchor(x, y);
        event_queue::push(EVENT_TRAY, window, TRAY_RIGHT_CLICK);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

const GDBusInterfaceVTable ITEM_VTABLE = {call_method, get_property, nullptr, {}};

void on_registered(GObject* source, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply) g_variant_unref(reply);
    if (error) g_error_free(error);
    // A watcher that refuses the item is no tray for it: the program then behaves as without one.
    const bool refused = reply == nullptr;
    if (refused == g_bus.refused) return;
    g_bus.refused = refused;
    if (g_bus.changed) g_bus.changed();
}

void register_item() {
    if (!g_bus.watcher || g_bus.item.name.empty()) return;
    g_dbus_connection_call(g_bus.connection, WATCHER, "/StatusNotifierWatcher", WATCHER,
                           "RegisterStatusNotifierItem", g_variant_new("(s)", g_bus.item.name.c_str()),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, on_registered, nullptr);
}

void on_name_acquired(GDBusConnection*, const gchar*, gpointer) { register_item(); }

void show_item() {
    Item& item = g_bus.item;
    if (item.object_id || !g_bus.connection) return;
    item.object_id = g_dbus_connection_register_object(g_bus.connection, ITEM_PATH, g_bus.info->interfaces[0],
                                                       &ITEM_VTABLE, nullptr, nullptr, nullptr);
    if (!item.object_id) return;
    dbus_menu_export(g_bus.connection, item.window);
    item.name = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1";
    item.owner_id =
        g_bus_own_name_on_connection(g_bus.connection, item.name.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                     on_name_acquired, nullptr, nullptr, nullptr);
}

void hide_item() {
    Item& item = g_bus.item;
    if (!item.object_id) return;
    // Giving the name up is what tells the watcher the item has gone.
    g_bus_unown_name(item.owner_id);
    g_dbus_connection_unregister_object(g_bus.connection, item.object_id);
    dbus_menu_unexport();
    item.owner_id = item.object_id = 0;
    item.name.clear();
}

void on_watcher(bool present) {
    if (present == g_bus.watcher) return;
    g_bus.watcher = present;
    g_bus.refused = false;
    if (present && g_bus.item.object_id) register_item();
    if (g_bus.changed) g_bus.changed();
}

void on_watcher_appeared(GDBusConnection*, const gchar*, const gchar*, gpointer) { on_watcher(true); }
void on_watcher_vanished(GDBusConnection*, const gchar*, gpointer) { on_watcher(false); }

bool watcher_owned_now() {
    GVariant* reply = g_dbus_connection_call_sync(
        g_bus.connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", WATCHER), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        START_CHECK_MS, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

}  // namespace

void sni_start(void (*changed)()) {
    if (g_bus.connection) return;
    g_bus.changed = changed;
    // No session bus, no D-Bus tray: the XEmbed one or none remains.
    g_bus.connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!g_bus.connection) return;
    g_bus.info = g_dbus_node_info_new_for_xml(ITEM_XML, nullptr);
    g_bus.watcher = watcher_owned_now();
    g_bus.watch_id =
        g_bus_watch_name_on_connection(g_bus.connection, WATCHER, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                       on_watcher_appeared, on_watcher_vanished, nullptr, nullptr);
}

void sni_stop() {
    sni_hide();
    if (g_bus.watch_id) g_bus_unwatch_name(g_bus.watch_id);
    if (g_bus.info) g_dbus_node_info_unref(g_bus.info);
    if (g_bus.item.pixmaps) g_variant_unref(g_bus.item.pixmaps);
    if (g_bus.connection) {
        // What we emitted and gave up reaches the bus before the process ends.
        g_dbus_connection_flush_sync(g_bus.connection, nullptr, nullptr);
        g_object_unref(g_bus.connection);
    }
    g_bus = Bus{};
}

bool sni_watcher_present() { return g_bus.connection && g_bus.watcher && !g_bus.refused; }

void sni_show(int window) {
    g_bus.item.window = window;
    show_item();
}

void sni_hide() { hide_item(); }

void sni_set_icon(GdkPixbuf* pixbuf) {
    if (g_bus.item.pixmaps) g_variant_unref(g_bus.item.pixmaps);
    g_bus.item.pixmaps = g_variant_ref_sink(pixmaps_of(pixbuf));
    emit("NewIcon");
}

void sni_set_tooltip(const std::string& utf8) {
    // The first line is the tooltip's title, the others its text, which hosts read as markup.
    std::string title = utf8, rest;
    const std::size_t end = utf8.find_first_of("\r\n");
    if (end != std::string::npos) {
        title = utf8.substr(0, end);
        const std::size_t next = utf8.find_first_not_of("\r\n", end);
        if (next != std::string::npos) rest = utf8.substr(next);
    }
    std::string text;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '\r') continue;
        text += rest[i];
    }
    gchar* escaped = g_markup_escape_text(text.c_str(), -1);
    if (title == g_bus.item.title && escaped == g_bus.item.text) {
        g_free(escaped);
        return;
    }
    g_bus.item.title = title;
    g_bus.item.text = escaped;
    g_free(escaped);
    emit("NewToolTip");
}

}  // namespace gtkp
