// The canvas: a drawing area that paints the core's last DrawList (paint.cpp)
// whenever GTK asks, and reports where the pointer is over it.
// The hard part: a moving pointer sends many motions per frame, so only a
// point that differs is pushed, and the queue merges it into one waiting.
#include "platform/gtk/internal.h"

namespace gtkp {
namespace {

gboolean on_draw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    const Control* c = find_control(GPOINTER_TO_INT(data));
    const int w = gtk_widget_get_allocated_width(widget), h = gtk_widget_get_allocated_height(widget);
    if (c)
        paint_list(cr, c->drawing, w, h);
    else
        paint_list(cr, DrawList{}, w, h);
    return TRUE;
}

void report_point(gpointer data, int x, int y) {
    Control* c = find_control(GPOINTER_TO_INT(data));
    if (!c || (c->pointer_x == x && c->pointer_y == y)) return;
    c->pointer_x = x;
    c->pointer_y = y;
    event_queue::push(EVENT_POINTER, c->window, c->id, x, y);
}

gboolean on_motion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    report_point(data, static_cast<int>(event->x), static_cast<int>(event->y));
    return FALSE;
}

gboolean on_leave(GtkWidget*, GdkEventCrossing* event, gpointer data) {
    if (event->detail != GDK_NOTIFY_INFERIOR) report_point(data, -1, -1);
    return FALSE;
}

}  // namespace

GtkWidget* canvas_new(int id) {
    GtkWidget* area = gtk_drawing_area_new();
    const gpointer data = GINT_TO_POINTER(id);
    gtk_widget_add_events(area, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(area, "draw", G_CALLBACK(on_draw), data);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(on_motion), data);
    g_signal_connect(area, "leave-notify-event", G_CALLBACK(on_leave), data);
    return area;
}

}  // namespace gtkp

using namespace gtkp;

void canvas_draw(int id, const DrawList& list) {
    Control* c = find_control(id);
    if (!c || c->kind != KIND_CANVAS) return;
    c->drawing = list;
    gtk_widget_queue_draw(c->inner);
}
