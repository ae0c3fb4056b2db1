// The bare minimum of the native client's jobs over GTK 3, for the figures
// in tools/probe/measure.py to be measured against.
//   gtk_probe window HOST PORT  show a window the client's size, connect, take
//                               the greeting and send "get all", then wait
//   gtk_probe idle              one hidden window and a one-second timer
#include <gtk/gtk.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// Blocking calls throughout: the least code that gets "get all" on the wire.
void connect_and_ask(const char* host, const char* port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, port, &hints, &found) != 0) return;
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const bool connected = s >= 0 && connect(s, found->ai_addr, found->ai_addrlen) == 0;
    freeaddrinfo(found);
    char greeting[512];
    if (!connected || recv(s, greeting, sizeof greeting, 0) <= 0) return;
    send(s, "get all\r\n", 9, MSG_NOSIGNAL);
}

gboolean tick(gpointer) { return G_SOURCE_CONTINUE; }

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "probe");
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    if (argc == 4 && std::strcmp(argv[1], "window") == 0) {
        gtk_window_set_default_size(GTK_WINDOW(window), 690, 421);
        gtk_widget_show(window);
        // Drawn before the connect, as the client repaints before it connects.
        for (int i = 0; i < 50 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
        gdk_display_flush(gtk_widget_get_display(window));
        connect_and_ask(argv[2], argv[3]);
    } else if (argc == 2 && std::strcmp(argv[1], "idle") == 0) {
        g_timeout_add(1000, tick, nullptr);
    } else {
        g_printerr("usage: gtk_probe window HOST PORT | gtk_probe idle\n");
        return 2;
    }
    gtk_main();
    return 0;
}
