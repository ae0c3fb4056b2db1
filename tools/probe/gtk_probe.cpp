// The bare minimum of the native client's jobs over GTK 3, for the figures
// in tools/probe/measure.py to be measured against.
//   gtk_probe window HOST PORT [settings]
//       the client's main window from the client's own layout data, fonts,
//       pictures and tray menu, shown and painted, then connect, take the
//       greeting and send "get all": the floor of the client's start-up.
//       With "settings", the window shows what the client's shows when it
//       connects at start: host and port in their fields, "automatically
//       connect" checked (GTK draws that check mark from an SVG icon)
//   gtk_probe connect HOST PORT  the same with an empty window of the client's size
//   gtk_probe idle               one hidden window and a one-second timer
// Plain GTK calls straight from the tables: no event queue, no handle tables.
#include <gtk/gtk.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/ids.h"
#include "resources/pictures.h"
#include "ui/layout.h"

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

// The client's theme rules, so each control fits its Windows rectangle as the
// client's does; then one class per font.
const char CSS[] =
    ".vyx { font-family: \"MS Shell Dlg\", \"Liberation Sans\", sans-serif; font-size: 11px; }\n"
    ".vyx entry { min-height: 0; min-width: 0; padding: 0 2px; border-radius: 0; }\n"
    ".vyx button { min-height: 0; min-width: 0; padding: 0 2px; }\n"
    ".vyx checkbutton { min-height: 0; padding: 0; }\n"
    ".vyx checkbutton check { min-width: 11px; min-height: 11px; margin: 0 4px 0 0; padding: 0; }\n"
    ".vyx notebook > header > tabs > tab { min-height: 0; min-width: 0; padding: 2px 8px; }\n"
    ".vyx notebook > header { padding: 0; }\n"
    ".vyx frame > border { border-radius: 0; }\n"
    ".vyx .vyx-link { color: black; }\n";

void load_css(GdkScreen* screen) {
    std::string css = CSS;
    const double dpi = gdk_screen_get_resolution(screen);
    for (const FontSpec& f : font_specs()) {
        const bool verdana = std::strcmp(f.face, "Verdana") == 0;
        char rule[256];
        std::snprintf(
            rule, sizeof rule,
            ".f%d, .f%d * { font-family: \"%s\", \"%s\", sans-serif; font-size: %dpx; font-weight: %d; }\n",
            f.number, f.number, f.face, verdana ? "DejaVu Sans" : "Liberation Sans",
            (f.points * (dpi > 0 ? static_cast<int>(dpi + 0.5) : 96) + 36) / 72, f.weight);
        css += rule;
    }
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

GdkPixbuf* decode(const EmbeddedPicture& p) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(p.data[0] == 'B' ? "bmp" : "ico", nullptr);
    gdk_pixbuf_loader_write(loader, p.data, p.size, nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf) g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

GtkWidget* label(const char* text, int flags) {
    GtkWidget* l = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(l), flags & CTL_ALIGN_RIGHT    ? 1.0f
                                       : flags & CTL_ALIGN_CENTRE ? 0.5f
                                                                  : 0.0f);
    gtk_label_set_yalign(GTK_LABEL(l), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(l), TRUE);
    return l;
}

// The same widgets as the client's controls, without its bookkeeping; a panel gives its page.
GtkWidget* make_control(GtkWidget* parent, const ControlSpec& c, GtkWidget** page) {
    GtkWidget* w = nullptr;
    switch (c.kind) {
        case KIND_FRAME:
            w = gtk_frame_new(c.text);
            break;
        case KIND_EDIT:
            w = gtk_entry_new();
            gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
            if (c.flags & CTL_ALIGN_RIGHT) gtk_entry_set_alignment(GTK_ENTRY(w), 1.0f);
            break;
        case KIND_LABEL:
            w = label(c.text, c.flags);
            break;
        case KIND_CHECKBOX:
            w = gtk_check_button_new_with_label(c.text);
            break;
        case KIND_BUTTON:
            w = gtk_button_new_with_label(c.text);
            break;
        case KIND_PANEL:
            w = gtk_notebook_new();
            *page = gtk_fixed_new();
            gtk_notebook_append_page(GTK_NOTEBOOK(w), *page, gtk_label_new(c.text));
            break;
        case KIND_IMAGE:
            w = gtk_event_box_new();
            gtk_container_add(GTK_CONTAINER(w), gtk_image_new());
            break;
        case KIND_LINK: {
            GtkWidget* text = label(c.text, c.flags);
            gtk_style_context_add_class(gtk_widget_get_style_context(text), "vyx-link");
            w = gtk_event_box_new();
            gtk_container_add(GTK_CONTAINER(w), text);
            break;
        }
        default:
            return nullptr;
    }
    if (c.font) {
        const std::string name = "f" + std::to_string(c.font);
        gtk_style_context_add_class(gtk_widget_get_style_context(w), name.c_str());
    }
    gtk_widget_set_size_request(w, c.w, c.h);
    gtk_fixed_put(GTK_FIXED(parent), w, c.x, c.y);
    gtk_widget_show_all(w);
    return w;
}

// Runs the loop until the window's next frame is painted, and sends the drawing.
void paint(GtkWidget* window) {
    GdkFrameClock* clock = gdk_window_get_frame_clock(gtk_widget_get_window(window));
    bool painted = false;
    const gulong handler = g_signal_connect_swapped(clock, "after-paint",
                                                    G_CALLBACK(+[](bool* done) { *done = true; }), &painted);
    while (!painted) g_main_context_iteration(nullptr, TRUE);
    g_signal_handler_disconnect(clock, handler);
    gdk_display_flush(gtk_widget_get_display(window));
}

// What the client builds before it connects: pictures, fonts, the tray menu and the window.
GtkWidget* make_client_window(const char* host, const char* port, bool settings) {
    GdkPixbuf* pictures[PICTURE_END] = {};
    for (int i = 0; i < embedded_picture_count; ++i)
        pictures[embedded_pictures[i].id] = decode(embedded_pictures[i]);
    load_css(gdk_screen_get_default());
    GtkWidget* menu = gtk_menu_new();
    for (const MenuItemSpec& m : tray_menu_layout()) {
        GtkWidget* item = nullptr;
        if (!m.item) {
            item = gtk_separator_menu_item_new();
        } else if (m.picture) {
            GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
            gtk_box_pack_start(GTK_BOX(box), gtk_image_new_from_pixbuf(pictures[m.picture]), FALSE, FALSE, 0);
            gtk_box_pack_start(GTK_BOX(box), gtk_label_new(m.text), FALSE, FALSE, 0);
            item = gtk_menu_item_new();
            gtk_container_add(GTK_CONTAINER(item), box);
        } else {
            item = gtk_menu_item_new_with_label(m.text ? m.text : "DSL-Modem 1");
        }
        gtk_widget_show_all(item);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    g_object_ref_sink(menu);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(window), "vyx");
    gtk_window_set_title(GTK_WINDOW(window), "probe");
    gtk_window_set_icon(GTK_WINDOW(window), pictures[PIC_DATA]);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, 690, 421);
    gtk_container_add(GTK_CONTAINER(window), fixed);
    GtkWidget* pages[2] = {};
    for (const LayoutPart& part : main_window_layout())
        for (const ControlSpec& c : part.controls) {
            GtkWidget* parent = part.panel < 0 ? fixed : pages[part.panel == ID_DATA_PANEL];
            GtkWidget* w = make_control(parent, c, &pages[c.id == ID_DATA_PANEL]);
            if (!settings) continue;
            if (c.id == ID_HOST || c.id == ID_PORT)
                gtk_entry_set_text(GTK_ENTRY(w), c.id == ID_HOST ? host : port);
            if (c.id == ID_AUTO_CONNECT) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), TRUE);
        }
    const ControlSpec status = {ID_STATUS_PICTURE, KIND_IMAGE, 386, 24, 48, 48, "", 0, 0, 0};
    GtkWidget* image = make_control(fixed, status, nullptr);
    gtk_image_set_from_pixbuf(GTK_IMAGE(gtk_bin_get_child(GTK_BIN(image))), pictures[PIC_NOT_CONNECTED]);
    gtk_widget_show_all(window);
    paint(window);
    make_control(fixed, home_link_spec(), nullptr);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = nullptr;
    const bool settings = argc == 5 && std::strcmp(argv[4], "settings") == 0;
    if ((argc == 4 || settings) && std::strcmp(argv[1], "window") == 0) {
        window = make_client_window(argv[2], argv[3], settings);
        connect_and_ask(argv[2], argv[3]);
    } else if (argc == 4 && std::strcmp(argv[1], "connect") == 0) {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 690, 421);
        gtk_widget_show(window);
        paint(window);
        connect_and_ask(argv[2], argv[3]);
    } else if (argc == 2 && std::strcmp(argv[1], "idle") == 0) {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        g_timeout_add(1000, tick, nullptr);
    } else {
        g_printerr(
            "usage: gtk_probe window HOST PORT [settings] | gtk_probe connect HOST PORT | gtk_probe idle\n");
        return 2;
    }
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_main();
    return 0;
}
