// Start-up, shut-down and the top-level windows.
// The hard parts: the layout places controls in client coordinates, so each
// window's client area is a fixed container of exactly the asked size (a
// resizable one asks only for its minimum, whatever its controls cover, so
// the user can shrink it before the program has moved them); and minimising
// is the window manager's business, reported later or not at all, while the
// core asks "is it minimised?" right after asking for it, as Windows answers
// at once. So the state asked for is kept at once and the manager's reports
// only bring it up to date.
// A window hidden into the tray must never vanish where no tray shows an
// icon: it is then kept minimised instead ("parked"), where the taskbar,
// dock or overview shows it; a tray that comes later takes it, and a restore
// from the taskbar counts as the restore a tray click asks for.
#include <gdk/gdkx.h>

#include "platform/gtk/internal.h"
#include "platform/posix/net.h"
#include "platform/program_icon.h"
#include "resources/pictures.h"

namespace gtkp {
namespace {

struct TopWindow {
    GtkWidget* widget = nullptr;
    GtkWidget* fixed = nullptr;
    int client_w = 0, client_h = 0;
    bool minimize_box = false;
    bool resizable = false;
    int reported_w = 0, reported_h = 0;  // resizable: the client size the program last heard of
    bool iconified = false;
    bool maximized = false;
    bool in_tray = false;  // hidden by the program, to come back from the tray
    bool parked = false;   // ... but minimised instead, for want of a tray
    bool placed = false;   // shown once: where it stands is the user's
    int x = 0, y = 0;      // where it stood when last hidden
};

// Indexed by window number; grows as windows are made, never shrinks.
std::vector<TopWindow> g_windows;
bool g_ready = false;

bool valid_window(int window) { return window >= 0 && window < static_cast<int>(g_windows.size()); }

gboolean on_delete(GtkWidget* widget, GdkEvent*, gpointer) {
    // Closing is the program's decision; the window stays.
    event_queue::push(EVENT_CLOSE_WINDOW, window_number(widget), 0);
    return TRUE;
}

// The user brought a parked window back (the taskbar, a dock): as a tray click would.
void unpark(int window) {
    TopWindow& w = g_windows[window];
    w.parked = false;
    w.iconified = false;
    event_queue::push(EVENT_TRAY, window, TRAY_LEFT_DOUBLE);
}

gboolean on_state(GtkWidget* widget, GdkEventWindowState* event, gpointer) {
    const int window = window_number(widget);
    if (window == WINDOW_NONE) return FALSE;
    TopWindow& w = g_windows[window];
    const bool iconified = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    // Wayland never tells a window it was minimised or restored; being made the active one tells the latter.
    const bool restored = GDK_IS_X11_WINDOW(event->window)
                              ? (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) && !iconified
                              : (event->changed_mask & GDK_WINDOW_STATE_FOCUSED) &&
                                    (event->new_window_state & GDK_WINDOW_STATE_FOCUSED);
    if (w.parked && restored) {
        unpark(window);
        return FALSE;
    }
    if (event->changed_mask & GDK_WINDOW_STATE_MAXIMIZED)
        w.maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
    w.iconified = iconified;
    event_queue::push(MESSAGE_SIZE, window, 0);
    return FALSE;
}

gboolean on_key(GtkWidget* widget, GdkEventKey* event, gpointer) {
    const bool enter = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter;
    const auto modifiers = event->state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_MOD1_MASK);
    const int window = window_number(widget);
    if (!enter || modifiers) return FALSE;
    int item = 0;
    if (enter_shortcut_item(window, &item)) {
        event_queue::push(EVENT_MENU, window, item);
        return TRUE;
    }
    // Enter goes to the focused control as on Windows, where a button does nothing with it
    // (GTK would press it); a text field still takes its line break.
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
    return focus && GTK_IS_BUTTON(focus);
}

// Minimised where the window manager shows it, since no tray would show an icon.
void park(TopWindow& w) {
    w.parked = true;
    w.iconified = true;
    gtk_window_iconify(GTK_WINDOW(w.widget));
    gtk_widget_show(w.widget);
}

void remember_place(TopWindow& w) {
    if (!gtk_widget_get_visible(w.widget) || w.iconified) return;
    gtk_window_get_position(GTK_WINDOW(w.widget), &w.x, &w.y);
    w.placed = true;
}

void on_realize(GtkWidget* widget, gpointer) {
    // Move and close, plus minimise where the window has the box: what the
    // Windows caption offers, told to the window manager.
    const int window = window_number(widget);
    if (window == WINDOW_NONE) return;
    const TopWindow& w = g_windows[window];
    int functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE;
    if (w.minimize_box) functions |= GDK_FUNC_MINIMIZE;
    if (w.resizable) functions |= GDK_FUNC_RESIZE | GDK_FUNC_MAXIMIZE;
    gdk_window_set_functions(gtk_widget_get_window(widget), static_cast<GdkWMFunction>(functions));
}

// The client area of a resizable window was given a size: the program hears
// of it once per size, not on every layout pass.
void on_client_allocate(GtkWidget* fixed, GdkRectangle* area, gpointer) {
    const int window = window_number(fixed);
    if (window == WINDOW_NONE) return;
    TopWindow& w = g_windows[window];
    if (area->width == w.reported_w && area->height == w.reported_h) return;
    w.reported_w = area->width;
    w.reported_h = area->height;
    event_queue::push(EVENT_RESIZE, window, 0, area->width, area->height);
}

// The program's own icon (the connected router) for its windows.
void set_default_icon() {
    // Both sizes, so the window manager and taskbar need not scale one.
    GList* icons = nullptr;
    for (int id : {PROGRAM_ICON, PROGRAM_ICON_SMALL}) {
        const EmbeddedPicture* p = find_embedded_picture(id);
        const int picture = p ? load_picture(p->data, p->size, PICTURE_ICON) : 0;
        if (GdkPixbuf* pixbuf = picture_pixbuf(picture)) icons = g_list_append(icons, g_object_ref(pixbuf));
        if (picture) free_picture(picture);
    }
    gtk_window_set_default_icon_list(icons);
    g_list_free_full(icons, g_object_unref);
}

}  // namespace

GtkWidget* window_widget(int window) { return valid_window(window) ? g_windows[window].widget : nullptr; }

GtkWidget* window_fixed(int window) { return valid_window(window) ? g_windows[window].fixed : nullptr; }

int window_number(GtkWidget* widget) {
    GtkWidget* top = widget ? gtk_widget_get_toplevel(widget) : nullptr;
    for (std::size_t i = 0; top && i < g_windows.size(); ++i)
        if (g_windows[i].widget == top) return static_cast<int>(i);
    return WINDOW_NONE;
}

}  // namespace gtkp

using namespace gtkp;

int platform_init() {
    if (g_ready) return 1;
    // Named as the desktop entry and the accessibility bus know the program.
    g_set_prgname("vyx_client");
    g_set_application_name("VYX Client");
    // A Wayland session gets a Wayland window (the tray is the D-Bus one there), else X.
    gdk_set_allowed_backends("wayland,x11");
    if (!gtk_init_check(nullptr, nullptr)) {
        // Nothing can be shown, not even a message box: said where X programs say it.
        const char* wayland = g_getenv("WAYLAND_DISPLAY");
        const char* display = g_getenv("DISPLAY");
        g_printerr("vyx_client: cannot open display %s\n",
                   wayland   ? wayland
                   : display ? display
                             : "(neither WAYLAND_DISPLAY nor DISPLAY is set)");
        exit_process(1);
    }
    install_styles();
    set_default_icon();
    start_tray();
    g_ready = true;
    return 1;
}

void platform_release() {
    release_tray();
    release_timers();
    for (std::size_t i = 0; i < g_windows.size(); ++i) destroy_window(static_cast<int>(i));
    release_menus();
    release_fonts();
    release_pictures();
    posix::close_all_sockets();
    // Let the display see the windows go before the process ends.
    if (g_ready) gdk_display_flush(gdk_display_get_default());
}

int create_window(const WindowArgs& args) {
    if (!g_ready || args.window < 0 || args.window >= WINDOW_LIMIT || window_widget(args.window)) return 0;
    if (!valid_window(args.window)) g_windows.resize(static_cast<std::size_t>(args.window) + 1);
    TopWindow& w = g_windows[static_cast<std::size_t>(args.window)];
    w = TopWindow{};
    w.widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    w.client_w = w.reported_w = args.client_w;
    w.client_h = w.reported_h = args.client_h;
    w.minimize_box = args.minimize_box;
    w.resizable = args.resizable;
    GtkWindow* gw = GTK_WINDOW(w.widget);
    gtk_style_context_add_class(gtk_widget_get_style_context(w.widget), "vyx");
    gtk_window_set_title(gw, to_utf8(args.title ? args.title : "").c_str());
    if (w.resizable) {
        const int min_w = args.min_w > 0 ? args.min_w : 1, min_h = args.min_h > 0 ? args.min_h : 1;
        w.fixed = sized_new(GTK_TYPE_FIXED);
        gtk_widget_set_size_request(w.fixed, min_w, min_h);
        GdkGeometry hints{};
        hints.min_width = min_w;
        hints.min_height = min_h;
        gtk_window_set_geometry_hints(gw, nullptr, &hints, GDK_HINT_MIN_SIZE);
        gtk_window_set_default_size(gw, args.client_w, args.client_h);
        g_signal_connect(w.fixed, "size-allocate", G_CALLBACK(on_client_allocate), nullptr);
    } else {
        w.fixed = gtk_fixed_new();
        gtk_window_set_resizable(gw, FALSE);
        gtk_widget_set_size_request(w.fixed, args.client_w, args.client_h);
    }
    gtk_container_add(GTK_CONTAINER(w.widget), w.fixed);
    gtk_widget_show(w.fixed);
    if (args.centred)
        gtk_window_set_position(GTK_WINDOW(w.widget), GTK_WIN_POS_CENTER);
    else
        gtk_window_move(GTK_WINDOW(w.widget), args.x, args.y);
    g_signal_connect(w.widget, "delete-event", G_CALLBACK(on_delete), nullptr);
    g_signal_connect(w.widget, "window-state-event", G_CALLBACK(on_state), nullptr);
    g_signal_connect(w.widget, "key-press-event", G_CALLBACK(on_key), nullptr);
    g_signal_connect(w.widget, "realize", G_CALLBACK(on_realize), nullptr);
    return 1;
}

void destroy_window(int window) {
    if (!valid_window(window) || !g_windows[window].widget) return;
    forget_window_controls(window);
    stop_window_timers(window);
    GtkWidget* widget = g_windows[window].widget;
    // Cleared first so nothing the destruction emits is taken for this window.
    g_windows[window] = TopWindow{};
    gtk_widget_destroy(widget);
}

int window_exists(int window) { return window_widget(window) ? 1 : 0; }

void show_window(int window, int mode) {
    if (!window_widget(window)) return;
    TopWindow& w = g_windows[window];
    GtkWindow* gw = GTK_WINDOW(w.widget);
    switch (mode) {
        case SHOW_HIDE:
            remember_place(w);
            w.in_tray = true;
            if (tray_present())
                gtk_widget_hide(w.widget);
            else
                park(w);
            break;
        case SHOW_MINIMIZE:
            w.iconified = true;
            gtk_window_iconify(gw);
            gtk_widget_show(w.widget);
            break;
        default:
            w.in_tray = w.parked = w.iconified = false;
            // Back where the user left it, not centred anew.
            if (w.placed && !gtk_widget_get_visible(w.widget)) gtk_window_move(gw, w.x, w.y);
            gtk_window_deiconify(gw);
            if (w.resizable) {
                // Maximised as asked; any other show restores, as on Windows.
                w.maximized = mode == SHOW_MAXIMIZED;
                if (w.maximized)
                    gtk_window_maximize(gw);
                else
                    gtk_window_unmaximize(gw);
            }
            gtk_widget_show(w.widget);
            gtk_window_set_position(gw, GTK_WIN_POS_NONE);
            break;
    }
}

int window_visible(int window) {
    GtkWidget* widget = window_widget(window);
    return widget && gtk_widget_get_visible(widget) ? 1 : 0;
}

int window_minimized(int window) { return window_widget(window) && g_windows[window].iconified ? 1 : 0; }

// Only a resizable window can be maximised.
int window_maximized(int window) {
    return window_widget(window) && g_windows[window].resizable && g_windows[window].maximized ? 1 : 0;
}

void set_foreground_window(int window) {
    if (GtkWidget* widget = window_widget(window)) {
        if (!gtk_widget_get_visible(widget)) return;
        guint32 time = GDK_CURRENT_TIME;
        if (GdkWindow* gdk = gtk_widget_get_window(widget))
            if (GDK_IS_X11_WINDOW(gdk)) time = gdk_x11_get_server_time(gdk);
        gtk_window_present_with_time(GTK_WINDOW(widget), time);
    }
}

void repaint_window(int window) {
    GtkWidget* widget = window_widget(window);
    GdkWindow* gdk = widget ? gtk_widget_get_window(widget) : nullptr;
    if (!gdk || !gtk_widget_get_visible(widget) || !gdk_window_is_viewable(gdk)) return;
    // GTK lays out and paints on its frame clock, later, and a blocking wait
    // is about to begin: so what is pending runs, then the layout and the
    // painting are done now. Bounded, so a flood cannot hold us here.
    for (int i = 0; i < 50 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    gtk_container_check_resize(GTK_CONTAINER(widget));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gdk_window_process_updates(gdk, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    // The drawing has reached the display before the program blocks.
    gdk_display_sync(gtk_widget_get_display(widget));
}

namespace gtkp {

void windows_tray_changed(bool present) {
    for (TopWindow& w : g_windows) {
        if (!w.widget || !w.in_tray) continue;
        if (present && w.parked) {
            w.parked = false;
            gtk_widget_hide(w.widget);
        } else if (!present && !w.parked) {
            park(w);
        }
    }
}

}  // namespace gtkp

void get_client_size(int window, int* w, int* h) {
    int width = 0, height = 0;
    if (GtkWidget* fixed = window_fixed(window)) {
        if (gtk_widget_get_realized(fixed)) {
            width = gtk_widget_get_allocated_width(fixed);
            height = gtk_widget_get_allocated_height(fixed);
        } else {
            width = g_windows[window].client_w;
            height = g_windows[window].client_h;
        }
    }
    if (w) *w = width;
    if (h) *h = height;
}
