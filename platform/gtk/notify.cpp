// Desktop notifications: org.freedesktop.Notifications on the session bus.
// The hard part is never waiting: the bus and the call are both asynchronous,
// so a desktop without a notification service costs nothing but a failed
// call, dropped.

#include "platform/gtk/internal.h"

namespace {

struct Note {
    std::string summary, body;
};

// Servers may read the body as markup; the server's and the user's texts are plain.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

void on_notified(GObject* source, GAsyncResult* result, gpointer) {
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
    if (reply) g_variant_unref(reply);
}

void on_bus(GObject*, GAsyncResult* result, gpointer data) {
    Note* note = static_cast<Note*>(data);
    GDBusConnection* bus = g_bus_get_finish(result, nullptr);
    if (bus) {
        GVariantBuilder actions;
        g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
        GVariantBuilder hints;
        g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
        g_dbus_connection_call(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", "Notify",
                               g_variant_new("(susssasa{sv}i)", "VYX Client", 0u, "vyx-client",
                                             note->summary.c_str(), note->body.c_str(), &actions, &hints, -1),
                               G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, on_notified,
                               nullptr);
        g_object_unref(bus);
    }
    delete note;
}

}  // namespace

void notify_user(const std::string& title, const std::string& text) {
    // The session bus is one shared connection: once open, getting it completes at once.
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus,
              new Note{gtkp::to_utf8(title), escaped(gtkp::to_utf8(text))});
}
