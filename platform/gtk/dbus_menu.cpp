// The popup menu exported as a D-Bus menu (com.canonical.dbusmenu), beside
// the tray's item: many hosts show only a menu they draw themselves from
// it, and on Wayland a program cannot place a popup of its own at a tray.
// The hard parts: ids must be unique, separators included, so separators get
// ids of their own far above any item's; labels are read with mnemonics, so
// an underscore in a text must be doubled; and a host learns of changes only
// from signals, so every change of a text or of an item's state is announced.
#include <cstring>
#include <map>
#include <string>

#include "platform/gtk/internal.h"

namespace gtkp {
namespace {

constexpr int SEPARATOR_IDS = 1000000;  // separator n has id SEPARATOR_IDS + n

const char MENU_XML[] =
    "<node><interface name='com.canonical.dbusmenu'>"
    "<property name='Version' type='u' access='read'/>"
    "<property name='TextDirection' type='s' access='read'/>"
    "<property name='Status' type='s' access='read'/>"
    "<property name='IconThemePath' type='as' access='read'/>"
    "<method name='GetLayout'><arg type='i' name='parentId' direction='in'/>"
    "<arg type='i' name='recursionDepth' direction='in'/><arg type='as' name='propertyNames' direction='in'/>"
    "<arg type='u' name='revision' direction='out'/><arg type='(ia{sv}av)' name='layout' direction='out'/>"
    "</method>"
    "<method name='GetGroupProperties'><arg type='ai' name='ids' direction='in'/>"
    "<arg type='as' name='propertyNames' direction='in'/>"
    "<arg type='a(ia{sv})' name='properties' direction='out'/></method>"
    "<method name='GetProperty'><arg type='i' name='id' direction='in'/><arg type='s' name='name' "
    "direction='in'/><arg type='v' name='value' direction='out'/></method>"
    "<method name='Event'><arg type='i' name='id' direction='in'/><arg type='s' name='eventId' "
    "direction='in'/><arg type='v' name='data' direction='in'/><arg type='u' name='timestamp' "
    "direction='in'/></method>"
    "<method name='EventGroup'><arg type='a(isvu)' name='events' direction='in'/>"
    "<arg type='ai' name='idErrors' direction='out'/></method>"
    "<method name='AboutToShow'><arg type='i' name='id' direction='in'/>"
    "<arg type='b' name='needUpdate' direction='out'/></method>"
    "<method name='AboutToShowGroup'><arg type='ai' name='ids' direction='in'/>"
    "<arg type='ai' name='updatesNeeded' direction='out'/><arg type='ai' name='idErrors' direction='out'/>"
    "</method>"
    "<signal name='ItemsPropertiesUpdated'><arg type='a(ia{sv})' name='updatedProps'/>"
    "<arg type='a(ias)' name='removedProps'/></signal>"
    "<signal name='LayoutUpdated'><arg type='u' name='revision'/><arg type='i' name='parent'/></signal>"
    "<signal name='ItemActivationRequested'><arg type='i' name='id'/><arg type='u' name='timestamp'/>"
    "</signal>"
    "</interface></node>";

struct Export {
    GDBusConnection* connection = nullptr;
    GDBusNodeInfo* info = nullptr;
    guint object_id = 0;
    int window = WINDOW_NONE;  // where chosen items are reported
    guint revision = 1;
    // A picture's PNG, made once; the picture is held so its address names no other.
    std::map<GdkPixbuf*, GBytes*> png;
};

Export g_export;

std::string mnemonic_free(const std::string& label) {
    std::string out;
    for (char c : label) {
        out += c;
        if (c == '_') out += '_';
    }
    return out;
}

int dbus_id(const MenuEntry& e, int index) { return e.id ? e.id : SEPARATOR_IDS + index; }

const MenuEntry* find_entry(int id, int* index = nullptr) {
    const std::vector<MenuEntry>* entries = popup_menu_entries();
    if (!entries) return nullptr;
    for (std::size_t i = 0; i < entries->size(); ++i)
        if (dbus_id((*entries)[i], static_cast<int>(i)) == id) {
            if (index) *index = static_cast<int>(i);
            return &(*entries)[i];
        }
    return nullptr;
}

GBytes* png_of(int picture) {
    GdkPixbuf* pixbuf = picture_pixbuf(picture);
    if (!pixbuf) return nullptr;
    auto found = g_export.png.find(pixbuf);
    if (found != g_export.png.end()) return found->second;
    gchar* data = nullptr;
    gsize size = 0;
    GBytes* bytes = nullptr;
    if (gdk_pixbuf_save_to_buffer(pixbuf, &data, &size, "png", nullptr, nullptr))
        bytes = g_bytes_new_take(data, size);
    g_export.png[GDK_PIXBUF(g_object_ref(pixbuf))] = bytes;
    return bytes;
}

bool wanted(GVariant* names, const char* name) {
    if (!names || g_variant_n_children(names) == 0) return true;
    for (gsize i = 0; i < g_variant_n_children(names); ++i) {
        const gchar* n = nullptr;
        g_variant_get_child(names, i, "&s", &n);
        if (!std::strcmp(n, name)) return true;
    }
    return false;
}

// An item's properties; defaults (enabled, visible, standard type) are left out, as hosts
// expect, unless a change must say the item is enabled again.
GVariant* properties(const MenuEntry& e, GVariant* names, bool say_enabled = false) {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    if (!e.id) {
        if (wanted(names, "type"))
            g_variant_builder_add(&b, "{sv}", "type", g_variant_new_string("separator"));
        return g_variant_builder_end(&b);
    }
    if (wanted(names, "label"))
        g_variant_builder_add(&b, "{sv}", "label", g_variant_new_string(mnemonic_free(e.label).c_str()));
    if ((!e.enabled || say_enabled) && wanted(names, "enabled"))
        g_variant_builder_add(&b, "{sv}", "enabled", g_variant_new_boolean(e.enabled));
    if (GBytes* png = e.picture ? png_of(e.picture) : nullptr; png && wanted(names, "icon-data"))
        g_variant_builder_add(&b, "{sv}", "icon-data",
                              g_variant_new_from_bytes(G_VARIANT_TYPE_BYTESTRING, png, TRUE));
    return g_variant_builder_end(&b);
}

GVariant* root_layout(int depth, GVariant* names) {
    GVariantBuilder props, children;
    g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&props, "{sv}", "children-display", g_variant_new_string("submenu"));
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    const std::vector<MenuEntry>* entries = popup_menu_entries();
    if (entries && depth != 0)
        for (std::size_t i = 0; i < entries->size(); ++i) {
            const MenuEntry& e = (*entries)[i];
            GVariant* child =
                g_variant_new("(i@a{sv}@av)", dbus_id(e, static_cast<int>(i)), properties(e, names),
                              g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0));
            g_variant_builder_add(&children, "v", child);
        }
    return g_variant_new("(i@a{sv}@av)", 0, g_variant_builder_end(&props), g_variant_builder_end(&children));
}

void choose(int id, const char* event) {
    const MenuEntry* e = find_entry(id);
    if (e && e->id && e->enabled && !std::strcmp(event, "clicked"))
        event_queue::push(EVENT_MENU, g_export.window, e->id);
}

void error(GDBusMethodInvocation* invocation, const char* text) {
    g_dbus_method_invocation_return_dbus_error(invocation, "com.canonical.dbusmenu.Error", text);
}

void call_method(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                 GVariant* args, GDBusMethodInvocation* invocation, gpointer) {
    if (!std::strcmp(method, "GetLayout")) {
        gint parent = 0, depth = -1;
        GVariant* names = nullptr;
        g_variant_get(args, "(ii@as)", &parent, &depth, &names);
        GVariant* layout = nullptr;
        if (parent == 0) {
            layout = root_layout(depth, names);
        } else if (const MenuEntry* e = find_entry(parent)) {
            layout = g_variant_new("(i@a{sv}@av)", parent, properties(*e, names),
                                   g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0));
        }
        if (layout)
            g_dbus_method_invocation_return_value(invocation,
                                                  g_variant_new("(u@(ia{sv}av))", g_export.revision, layout));
        else
            error(invocation, "no such item");
        g_variant_unref(names);
    } else if (!std::strcmp(method, "GetGroupProperties")) {
        GVariant *ids = nullptr, *names = nullptr;
        g_variant_get(args, "(@ai@as)", &ids, &names);
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE("a(ia{sv})"));
        const std::vector<MenuEntry>* entries = popup_menu_entries();
        for (std::size_t i = 0; entries && i < entries->size(); ++i) {
            const int id = dbus_id((*entries)[i], static_cast<int>(i));
            bool asked = g_variant_n_children(ids) == 0;
            for (gsize k = 0; !asked && k < g_variant_n_children(ids); ++k) {
                gint32 want = 0;
                g_variant_get_child(ids, k, "i", &want);
                asked = want == id;
            }
            if (asked) g_variant_builder_add(&b, "(i@a{sv})", id, properties((*entries)[i], names));
        }
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(@a(ia{sv}))", g_variant_builder_end(&b)));
        g_variant_unref(ids);
        g_variant_unref(names);
    } else if (!std::strcmp(method, "GetProperty")) {
        gint id = 0;
        const gchar* name = nullptr;
        g_variant_get(args, "(i&s)", &id, &name);
        const MenuEntry* e = find_entry(id);
        GVariant* all = e ? g_variant_ref_sink(properties(*e, nullptr)) : nullptr;
        GVariant* value = all ? g_variant_lookup_value(all, name, nullptr) : nullptr;
        if (value)
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
        else
            error(invocation, "no such property");
        if (value) g_variant_unref(value);
        if (all) g_variant_unref(all);
    } else if (!std::strcmp(method, "Event")) {
        gint id = 0;
        const gchar* event = nullptr;
        g_variant_get(args, "(i&svu)", &id, &event, nullptr, nullptr);
        choose(id, event);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else if (!std::strcmp(method, "EventGroup")) {
        GVariantIter* events = nullptr;
        g_variant_get(args, "(a(isvu))", &events);
        GVariantBuilder missing;
        g_variant_builder_init(&missing, G_VARIANT_TYPE("ai"));
        gint id = 0;
        const gchar* event = nullptr;
        while (g_variant_iter_loop(events, "(i&svu)", &id, &event, nullptr, nullptr)) {
            if (find_entry(id))
                choose(id, event);
            else
                g_variant_builder_add(&missing, "i", id);
        }
        g_variant_iter_free(events);
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(@ai)", g_variant_builder_end(&missing)));
    } else if (!std::strcmp(method, "AboutToShow")) {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
    } else if (!std::strcmp(method, "AboutToShowGroup")) {
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(@ai@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0),
                                      g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0)));
    } else {
        error(invocation, "unknown method");
    }
}

GVariant* get_property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                       GError**, gpointer) {
    if (!std::strcmp(name, "Version")) return g_variant_new_uint32(3);
    if (!std::strcmp(name, "TextDirection")) return g_variant_new_string("ltr");
    if (!std::strcmp(name, "Status")) return g_variant_new_string("normal");
    return g_variant_new_strv(nullptr, 0);  // IconThemePath: the pictures travel as data
}

const GDBusInterfaceVTable MENU_VTABLE = {call_method, get_property, nullptr, {}};

void emit(const char* signal, GVariant* args) {
    if (!g_export.object_id) {
        g_variant_unref(g_variant_ref_sink(args));
        return;
    }
    g_dbus_connection_emit_signal(g_export.connection, nullptr, DBUS_MENU_PATH, "com.canonical.dbusmenu",
                                  signal, args, nullptr);
}

}  // namespace

void dbus_menu_export(GDBusConnection* connection, int window) {
    if (g_export.object_id) return;
    if (!g_export.info) g_export.info = g_dbus_node_info_new_for_xml(MENU_XML, nullptr);
    g_export.connection = connection;
    g_export.window = window;
    g_export.object_id = g_dbus_connection_register_object(
        connection, DBUS_MENU_PATH, g_export.info->interfaces[0], &MENU_VTABLE, nullptr, nullptr, nullptr);
}

void dbus_menu_unexport() {
    if (g_export.object_id) g_dbus_connection_unregister_object(g_export.connection, g_export.object_id);
    g_export.object_id = 0;
}

void dbus_menu_release() {
    dbus_menu_unexport();
    for (auto& [pixbuf, bytes] : g_export.png) {
        if (bytes) g_bytes_unref(bytes);
        g_object_unref(pixbuf);
    }
    if (g_export.info) g_dbus_node_info_unref(g_export.info);
    g_export = Export{};
}

void dbus_menu_item_changed(int item) {
    int index = 0;
    const MenuEntry* e = find_entry(item, &index);
    if (!e) return;
    GVariantBuilder updated;
    g_variant_builder_init(&updated, G_VARIANT_TYPE("a(ia{sv})"));
    g_variant_builder_add(&updated, "(i@a{sv})", dbus_id(*e, index), properties(*e, nullptr, true));
    emit("ItemsPropertiesUpdated", g_variant_new("(@a(ia{sv})@a(ias))", g_variant_builder_end(&updated),
                                                 g_variant_new_array(G_VARIANT_TYPE("(ias)"), nullptr, 0)));
}

void dbus_menu_layout_changed() {
    ++g_export.revision;
    emit("LayoutUpdated", g_variant_new("(ui)", g_export.revision, 0));
}

}  // namespace gtkp
