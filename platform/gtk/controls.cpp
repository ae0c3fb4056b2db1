// Child controls: one widget (or a small group) per kind, placed on the
// window's fixed container at the layout's rectangle, and the operations on
// them by id.
// The hard parts: Windows reports only what the user did, while GTK signals
// fire for the program's own changes too (setting a check box "clicks" it),
// so those changes run with the control's handlers held; outside tools
// find a control by its id, so each control's accessible id is its id in
// decimal, as GetDlgCtrlID gives it on Windows; a fixed container gives a
// child at least the minimum size it asks for, which a theme or a font can
// make more than the layout's rectangle, so the widgets are of kinds that ask
// for exactly their rectangle and clip the rest; and GTK orders the Tab key
// by position, Windows by creation, so each window walks its controls itself.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/gtk/internal.h"

namespace gtkp {
namespace {

std::vector<Control> g_controls;  // in creation order, which is the Tab key's order
// Set while the program itself changes a control: no event, no typing rules.
bool g_programmatic = false;

struct Programmatic {
    Programmatic() { g_programmatic = true; }
    ~Programmatic() { g_programmatic = false; }
};

// ---- Widgets held to their rectangles ----
// Each GTK kind the controls use gets a derived kind that still measures
// itself as GTK does (so its parts are sized), then asks for exactly its size
// request, the layout's rectangle; one without a request (the text inside a
// button, a frame's caption) asks for no width. Each draws nothing
// outside its allocation: what does not fit is clipped, as on Windows.

GtkWidgetClass* gtk_kind(GtkWidget* widget) {
    return GTK_WIDGET_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(widget)));
}

int requested(GtkWidget* widget, GtkOrientation orientation) {
    int w = -1, h = -1;
    gtk_widget_get_size_request(widget, &w, &h);
    return orientation == GTK_ORIENTATION_HORIZONTAL ? w : h;
}

void fit(GtkWidget* widget, GtkOrientation orientation, gint* minimum, gint* natural) {
    if (const int size = requested(widget, orientation); size > 0)
        *minimum = *natural = size;
    else if (orientation == GTK_ORIENTATION_HORIZONTAL)
        *minimum = 0;  // a caption keeps its height: a frame or button lays its line out by it
}

GtkSizeRequestMode sized_mode(GtkWidget* widget) {
    // With both sizes fixed, no size depends on the other.
    if (requested(widget, GTK_ORIENTATION_HORIZONTAL) > 0 && requested(widget, GTK_ORIENTATION_VERTICAL) > 0)
        return GTK_SIZE_REQUEST_CONSTANT_SIZE;
    return gtk_kind(widget)->get_request_mode(widget);
}

void sized_width(GtkWidget* widget, gint* minimum, gint* natural) {
    gtk_kind(widget)->get_preferred_width(widget, minimum, natural);
    fit(widget, GTK_ORIENTATION_HORIZONTAL, minimum, natural);
}

void sized_height(GtkWidget* widget, gint* minimum, gint* natural) {
    gtk_kind(widget)->get_preferred_height(widget, minimum, natural);
    fit(widget, GTK_ORIENTATION_VERTICAL, minimum, natural);
}

void sized_width_for_height(GtkWidget* widget, gint height, gint* minimum, gint* natural) {
    gtk_kind(widget)->get_preferred_width_for_height(widget, height, minimum, natural);
    fit(widget, GTK_ORIENTATION_HORIZONTAL, minimum, natural);
}

void sized_height_for_width(GtkWidget* widget, gint width, gint* minimum, gint* natural) {
    gtk_kind(widget)->get_preferred_height_for_width(widget, width, minimum, natural);
    fit(widget, GTK_ORIENTATION_VERTICAL, minimum, natural);
}

void sized_height_and_baseline(GtkWidget* widget, gint width, gint* minimum, gint* natural,
                               gint* minimum_baseline, gint* natural_baseline) {
    GtkWidgetClass* kind = gtk_kind(widget);
    if (kind->get_preferred_height_and_baseline_for_width) {
        kind->get_preferred_height_and_baseline_for_width(widget, width, minimum, natural, minimum_baseline,
                                                          natural_baseline);
    } else {
        // What GTK asks a kind without baselines.
        if (width < 0)
            kind->get_preferred_height(widget, minimum, natural);
        else
            kind->get_preferred_height_for_width(widget, width, minimum, natural);
        if (minimum_baseline) *minimum_baseline = -1;
        if (natural_baseline) *natural_baseline = -1;
    }
    fit(widget, GTK_ORIENTATION_VERTICAL, minimum, natural);
}

gboolean sized_draw(GtkWidget* widget, cairo_t* cr) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(widget),
                    gtk_widget_get_allocated_height(widget));
    cairo_clip(cr);
    GtkWidgetClass* kind = gtk_kind(widget);
    const gboolean done = kind->draw ? kind->draw(widget, cr) : FALSE;
    cairo_restore(cr);
    return done;
}

void sized_class_init(gpointer klass, gpointer) {
    GtkWidgetClass* widget = GTK_WIDGET_CLASS(klass);
    widget->get_request_mode = sized_mode;
    widget->get_preferred_width = sized_width;
    widget->get_preferred_height = sized_height;
    widget->get_preferred_width_for_height = sized_width_for_height;
    widget->get_preferred_height_for_width = sized_height_for_width;
    widget->get_preferred_height_and_baseline_for_width = sized_height_and_baseline;
    widget->draw = sized_draw;
}

}  // namespace

// The derived kind keeps the CSS name and accessible of GTK's, so themes and
// screen readers see no difference.
GtkWidget* sized_new(GType gtk_type) {
    static std::vector<std::pair<GType, GType>> made;
    GType type = 0;
    for (const auto& [from, to] : made)
        if (from == gtk_type) type = to;
    if (!type) {
        GTypeQuery query;
        g_type_query(gtk_type, &query);
        const std::string name = std::string("Vyx") + query.type_name;
        type = g_type_register_static_simple(gtk_type, g_intern_string(name.c_str()), query.class_size,
                                             sized_class_init, query.instance_size, nullptr,
                                             static_cast<GTypeFlags>(0));
        made.emplace_back(gtk_type, type);
    }
    return GTK_WIDGET(g_object_new(type, nullptr));
}

namespace {

GtkWidget* text_new(const std::string& text) {
    GtkWidget* label = sized_new(GTK_TYPE_LABEL);
    gtk_label_set_text(GTK_LABEL(label), text.c_str());
    return label;
}

int id_of(gpointer data) { return GPOINTER_TO_INT(data); }

void report(gpointer data) {
    if (g_programmatic) return;
    const Control* c = find_control(id_of(data));
    if (c) event_queue::push(EVENT_CONTROL, c->window, c->id);
}

void on_clicked(GtkWidget*, gpointer data) { report(data); }
void on_changed(GtkEditable*, gpointer data) {
    // An edit reports every change of its text, the program's own too, as EN_CHANGE does.
    const Control* c = find_control(id_of(data));
    if (c) event_queue::push(EVENT_CONTROL, c->window, c->id);
}

gboolean on_release(GtkWidget*, GdkEventButton* event, gpointer data) {
    if (event->button == 1) report(data);
    return FALSE;
}

// Typing rules of an edit: digits only where asked, and the typing limit
// (which, as on Windows, does not bind the program's own texts).
void on_insert(GtkEditable* editable, gchar* text, gint length, gint* position, gpointer data) {
    if (g_programmatic) return;
    Control* c = find_control(id_of(data));
    if (!c) return;
    const int limit = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(editable), "vyx-limit"));
    const bool digits = g_object_get_data(G_OBJECT(editable), "vyx-digits") != nullptr;
    const std::string inserted(text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
    if (digits &&
        !std::all_of(inserted.begin(), inserted.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        g_signal_stop_emission_by_name(editable, "insert-text");
        gtk_widget_error_bell(GTK_WIDGET(editable));
        return;
    }
    if (limit <= 0) return;
    const long have = g_utf8_strlen(gtk_entry_get_text(GTK_ENTRY(editable)), -1);
    const long adding = g_utf8_strlen(inserted.c_str(), -1);
    if (have + adding <= limit) return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    gtk_widget_error_bell(GTK_WIDGET(editable));
    if (have >= limit) return;
    // What fits goes in, as a paste into a limited edit does on Windows.
    const char* cut = g_utf8_offset_to_pointer(inserted.c_str(), limit - have);
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(on_insert), data);
    gtk_editable_insert_text(editable, inserted.c_str(), static_cast<gint>(cut - inserted.c_str()), position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(on_insert), data);
}

gboolean on_link_crossing(GtkWidget*, GdkEventCrossing* event, gpointer data) {
    Control* c = find_control(id_of(data));
    if (!c) return FALSE;
    c->hot = event->type == GDK_ENTER_NOTIFY;
    GtkStyleContext* style = gtk_widget_get_style_context(c->inner);
    if (c->hot)
        gtk_style_context_add_class(style, "hot");
    else
        gtk_style_context_remove_class(style, "hot");
    return FALSE;
}

void on_link_realize(GtkWidget* widget, gpointer) {
    GdkCursor* hand = gdk_cursor_new_from_name(gtk_widget_get_display(widget), "pointer");
    gdk_window_set_cursor(gtk_widget_get_window(widget), hand);
    if (hand) g_object_unref(hand);
}

float x_align(int flags) { return flags & CTL_ALIGN_RIGHT ? 1.0f : flags & CTL_ALIGN_CENTRE ? 0.5f : 0.0f; }

GtkWidget* make_label(const std::string& text, int flags) {
    GtkWidget* label = text_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), x_align(flags));
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);  // statics draw from the top
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    return label;
}

// A widget that reports clicks and holds one child (an image or a link's text).
GtkWidget* make_clickable(GtkWidget* child, gpointer data) {
    GtkWidget* box = sized_new(GTK_TYPE_EVENT_BOX);
    gtk_container_add(GTK_CONTAINER(box), child);
    gtk_widget_add_events(box, GDK_BUTTON_RELEASE_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(box, "button-release-event", G_CALLBACK(on_release), data);
    return box;
}

// A push button or check box with its text, as gtk_button_new_with_label
// makes one, but with a text that asks for no width.
GtkWidget* make_button(GType gtk_type, const std::string& text, gpointer data) {
    GtkWidget* button = sized_new(gtk_type);
    gtk_container_add(GTK_CONTAINER(button), text_new(text));
    gtk_style_context_add_class(gtk_widget_get_style_context(button), "text-button");
    g_signal_connect(button, "clicked", G_CALLBACK(on_clicked), data);
    return button;
}

GtkLabel* caption_of(const Control* c) {
    GtkWidget* label = nullptr;  // ours, or the tab's plain one
    if (c->kind == KIND_FRAME)
        label = gtk_frame_get_label_widget(GTK_FRAME(c->inner));
    else if (c->kind == KIND_CHECKBOX || c->kind == KIND_BUTTON)
        label = gtk_bin_get_child(GTK_BIN(c->inner));
    else if (c->kind == KIND_PANEL)
        label = gtk_notebook_get_tab_label(GTK_NOTEBOOK(c->inner), c->page);
    return label && GTK_IS_LABEL(label) ? GTK_LABEL(label) : nullptr;
}

// A notebook that goes takes its page out first, and the page's accessible
// then asks for the tab of a page the notebook no longer has (a critical
// once an accessibility client has read the window). Without tabs shown it
// asks nothing.
void on_panel_destroy(GtkWidget* notebook, gpointer) {
    gtk_notebook_set_show_tabs(GTK_NOTEBOOK(notebook), FALSE);
}

// Makes the widgets of one control; outer is what is placed, inner what holds the state.
bool build(Control& c, const ControlArgs& a, const std::string& text) {
    const gpointer data = GINT_TO_POINTER(a.id);
    switch (a.kind) {
        case KIND_FRAME:
            c.outer = c.inner = sized_new(GTK_TYPE_FRAME);
            gtk_frame_set_label_widget(GTK_FRAME(c.inner), text_new(text));
            break;
        case KIND_EDIT: {
            c.outer = c.inner = sized_new(GTK_TYPE_ENTRY);
            GtkEntry* entry = GTK_ENTRY(c.inner);
            gtk_entry_set_width_chars(entry, 1);
            gtk_entry_set_alignment(entry, x_align(a.flags));
            gtk_entry_set_text(entry, text.c_str());
            if (a.flags & CTL_DIGITS) {
                g_object_set_data(G_OBJECT(entry), "vyx-digits", GINT_TO_POINTER(1));
                gtk_entry_set_input_purpose(entry, GTK_INPUT_PURPOSE_DIGITS);
            }
            g_signal_connect(entry, "insert-text", G_CALLBACK(on_insert), data);
            g_signal_connect(entry, "changed", G_CALLBACK(on_changed), data);
            break;
        }
        case KIND_LABEL:
            c.outer = c.inner = make_label(text, a.flags);
            break;
        case KIND_CHECKBOX:
            c.outer = c.inner = make_button(GTK_TYPE_CHECK_BUTTON, text, data);
            break;
        case KIND_BUTTON:
            c.outer = c.inner = make_button(GTK_TYPE_BUTTON, text, data);
            break;
        case KIND_PANEL:
            c.outer = c.inner = sized_new(GTK_TYPE_NOTEBOOK);
            // The page takes what the tab leaves and asks for no room, so that no
            // theme's tab leaves too little; its controls stand where the layout says.
            c.page = sized_new(GTK_TYPE_FIXED);
            gtk_widget_set_size_request(c.page, 1, 1);
            // A tab is as wide as its text's minimum: a plain label, which the notebook clips.
            gtk_notebook_append_page(GTK_NOTEBOOK(c.inner), c.page, gtk_label_new(text.c_str()));
            g_signal_connect(c.inner, "destroy", G_CALLBACK(on_panel_destroy), nullptr);
            break;
        case KIND_IMAGE:
            c.inner = gtk_image_new();
            c.outer = make_clickable(c.inner, data);
            break;
        case KIND_LINK:
            c.inner = make_label(text, a.flags);
            gtk_style_context_add_class(gtk_widget_get_style_context(c.inner), "vyx-link");
            c.outer = make_clickable(c.inner, data);
            g_signal_connect(c.outer, "enter-notify-event", G_CALLBACK(on_link_crossing), data);
            g_signal_connect(c.outer, "leave-notify-event", G_CALLBACK(on_link_crossing), data);
            g_signal_connect(c.outer, "realize", G_CALLBACK(on_link_realize), nullptr);
            break;
        case KIND_RICHEDIT: {
            c.outer = sized_new(GTK_TYPE_SCROLLED_WINDOW);
            gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(c.outer), GTK_POLICY_ALWAYS,
                                           GTK_POLICY_ALWAYS);
            gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(c.outer), GTK_SHADOW_IN);
            // Bars that stay, as the rich edit's do, rather than ones that show on hover.
            gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(c.outer), FALSE);
            c.inner = gtk_text_view_new();
            gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(c.inner), GTK_WRAP_NONE);
            gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(c.inner)), text.c_str(), -1);
            gtk_container_add(GTK_CONTAINER(c.outer), c.inner);
            break;
        }
        case KIND_CANVAS:
            c.outer = c.inner = canvas_new(a.id);
            break;
        default:
            return false;
    }
    return true;
}

// ---- The Tab key ----
// On Windows, Tab walks a window's controls in creation order, a panel's
// among them as the siblings they are there, and stops at edits, check
// boxes, buttons and rich edits (WS_TABSTOP) that are shown and enabled; a
// tab control is no stop. GTK would walk a fixed container by position and
// stop at a notebook's tab, so each window's container answers its "focus"
// signal itself, from the control records, which stay in creation order
// whatever is destroyed or made again. Arrow keys keep GTK's own moves.

bool tab_stop(ControlKind kind) {
    return kind == KIND_EDIT || kind == KIND_CHECKBOX || kind == KIND_BUTTON || kind == KIND_RICHEDIT;
}

gboolean on_window_focus(GtkWidget* fixed, GtkDirectionType direction, gpointer data) {
    if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) return FALSE;
    const int window = GPOINTER_TO_INT(data);
    std::vector<const Control*> order;
    for (const Control& c : g_controls)
        if (c.window == window) order.push_back(&c);
    // Where the focus is: the tab stop holding it, else the panel whose tab has it.
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(gtk_widget_get_toplevel(fixed)));
    auto holds = [focus](const Control* c) {
        return focus && (focus == c->outer || gtk_widget_is_ancestor(focus, c->outer));
    };
    const int count = static_cast<int>(order.size());
    int at = -1;
    for (int i = 0; i < count && at < 0; ++i)
        if (tab_stop(order[i]->kind) && holds(order[i])) at = i;
    for (int i = 0; i < count && at < 0; ++i)
        if (holds(order[i])) at = i;
    const int step = direction == GTK_DIR_TAB_FORWARD ? 1 : -1;
    const int from = at >= 0 ? at + step : step > 0 ? 0 : count - 1;
    // gtk_widget_child_focus passes over hidden, disabled and unfocusable widgets.
    for (int i = from; i >= 0 && i < count; i += step)
        if (tab_stop(order[i]->kind) && gtk_widget_child_focus(order[i]->outer, direction)) return TRUE;
    // Past the last one: the window takes the focus away and asks again from the start.
    g_signal_stop_emission_by_name(fixed, "focus");
    return FALSE;
}

gboolean scroll_to_cursor(gpointer data) {
    if (Control* c = find_control(id_of(data)); c && c->kind == KIND_RICHEDIT) {
        c->scroll_pending = false;
        GtkTextView* view = GTK_TEXT_VIEW(c->inner);
        gtk_text_view_scroll_mark_onscreen(view, gtk_text_buffer_get_insert(gtk_text_view_get_buffer(view)));
    }
    return G_SOURCE_REMOVE;
}

GtkTextBuffer* buffer_of(int id) {
    const Control* c = find_control(id);
    return c && c->kind == KIND_RICHEDIT ? gtk_text_view_get_buffer(GTK_TEXT_VIEW(c->inner)) : nullptr;
}

}  // namespace

Control* find_control(int id) {
    for (auto& c : g_controls)
        if (c.id == id) return &c;
    return nullptr;
}

void forget_window_controls(int window) {
    std::erase_if(g_controls, [window](const Control& c) { return c.window == window; });
}

}  // namespace gtkp

using namespace gtkp;

int create_control(const ControlArgs& a) {
    GtkWidget* parent = window_fixed(a.window);
    if (!parent || find_control(a.id)) return 0;
    if (a.panel >= 0) {
        const Control* panel = find_control(a.panel);
        if (!panel || panel->kind != KIND_PANEL || panel->window != a.window) return 0;
        parent = panel->page;
    }
    Control c;
    c.id = a.id;
    c.window = a.window;
    c.kind = a.kind;
    c.bytes = a.text ? a.text : "";
    c.shown = to_utf8(c.bytes);
    const Programmatic quiet;
    if (!build(c, a, c.shown)) return 0;

    apply_font(c.outer, a.font);
    gtk_widget_set_size_request(c.outer, a.w > 0 ? a.w : 1, a.h > 0 ? a.h : 1);
    gtk_widget_set_sensitive(c.outer, (a.flags & CTL_DISABLED) ? FALSE : TRUE);
    const std::string name = std::to_string(a.id);
    atk_object_set_accessible_id(gtk_widget_get_accessible(c.inner), name.c_str());
    gtk_fixed_put(GTK_FIXED(parent), c.outer, a.x, a.y);
    gtk_widget_show_all(c.outer);
    if (a.kind == KIND_BUTTON && (a.flags & CTL_DEFAULT_BUTTON)) {
        gtk_widget_set_can_default(c.outer, TRUE);
        gtk_widget_grab_default(c.outer);
    }
    if (!g_object_get_data(G_OBJECT(window_fixed(a.window)), "vyx-tab-order")) {
        g_object_set_data(G_OBJECT(window_fixed(a.window)), "vyx-tab-order", GINT_TO_POINTER(1));
        g_signal_connect(window_fixed(a.window), "focus", G_CALLBACK(on_window_focus),
                         GINT_TO_POINTER(a.window));
    }
    g_controls.push_back(c);
    return 1;
}

void destroy_control(int id) {
    Control* c = find_control(id);
    if (!c) return;
    GtkWidget* outer = c->outer;
    std::erase_if(g_controls, [id](const Control& k) { return k.id == id; });
    gtk_widget_destroy(outer);
}

int control_exists(int id) { return find_control(id) ? 1 : 0; }

void move_control(int id, int x, int y, int w, int h) {
    const Control* c = find_control(id);
    GtkWidget* parent = c ? gtk_widget_get_parent(c->outer) : nullptr;
    if (!parent || !GTK_IS_FIXED(parent)) return;
    gtk_fixed_move(GTK_FIXED(parent), c->outer, x, y);
    gtk_widget_set_size_request(c->outer, w > 0 ? w : 1, h > 0 ? h : 1);
}

void set_control_text(int id, const std::string& text) {
    Control* c = find_control(id);
    if (!c) return;
    c->bytes = text;
    c->shown = to_utf8(text);
    const std::string& utf8 = c->shown;
    const Programmatic quiet;
    switch (c->kind) {
        case KIND_FRAME:
        case KIND_CHECKBOX:
        case KIND_BUTTON:
        case KIND_PANEL:
            // The caption is set on its label: the widget's own setter would put a new one in its place.
            if (GtkLabel* caption = caption_of(c)) {
                gtk_label_set_text(caption, utf8.c_str());
                if (c->kind != KIND_PANEL)  // whose accessible name is the caption, read anew when told
                    g_object_notify(G_OBJECT(gtk_widget_get_accessible(c->inner)), "accessible-name");
            }
            break;
        case KIND_EDIT:
            gtk_entry_set_text(GTK_ENTRY(c->inner), utf8.c_str());
            break;
        case KIND_LABEL:
        case KIND_LINK:
            gtk_label_set_text(GTK_LABEL(c->inner), utf8.c_str());
            break;
        case KIND_RICHEDIT:
            gtk_text_buffer_set_text(buffer_of(id), utf8.c_str(), static_cast<gint>(utf8.size()));
            break;
        default:
            break;
    }
}

namespace {

std::string widget_text(const Control* c) {
    const char* text = nullptr;
    switch (c->kind) {
        case KIND_FRAME:
        case KIND_CHECKBOX:
        case KIND_BUTTON:
        case KIND_PANEL:
            if (GtkLabel* caption = caption_of(c)) text = gtk_label_get_text(caption);
            break;
        case KIND_EDIT:
            text = gtk_entry_get_text(GTK_ENTRY(c->inner));
            break;
        case KIND_LABEL:
        case KIND_LINK:
            text = gtk_label_get_text(GTK_LABEL(c->inner));
            break;
        case KIND_RICHEDIT: {
            GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(c->inner));
            GtkTextIter start, end;
            gtk_text_buffer_get_bounds(buffer, &start, &end);
            gchar* all = gtk_text_buffer_get_text(buffer, &start, &end, TRUE);
            std::string copy = all ? all : "";
            g_free(all);
            return copy;
        }
        default:
            break;
    }
    return text ? std::string(text) : std::string();
}

}  // namespace

std::string get_control_text(int id) {
    const Control* c = find_control(id);
    if (!c) return {};
    std::string text = widget_text(c);
    return text == c->shown ? c->bytes : text;
}

int get_control_text_length(int id) {
    const Control* c = find_control(id);
    if (!c || c->kind == KIND_PANEL) return 0;
    if (GtkTextBuffer* buffer = buffer_of(id)) return gtk_text_buffer_get_char_count(buffer);
    return static_cast<int>(get_control_text(id).size());
}

void set_text_limit(int id, int max_chars) {
    const Control* c = find_control(id);
    if (c && c->kind == KIND_EDIT)
        g_object_set_data(G_OBJECT(c->inner), "vyx-limit", GINT_TO_POINTER(max_chars > 0 ? max_chars : 0));
}

void enable_control(int id, int enabled) {
    if (const Control* c = find_control(id)) gtk_widget_set_sensitive(c->outer, enabled ? TRUE : FALSE);
}

int control_enabled(int id) {
    const Control* c = find_control(id);
    return c && gtk_widget_get_sensitive(c->outer) ? 1 : 0;
}

void set_checked(int id, int checked) {
    const Control* c = find_control(id);
    if (!c || c->kind != KIND_CHECKBOX) return;
    const Programmatic quiet;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c->inner), checked ? TRUE : FALSE);
}

int is_checked(int id) {
    const Control* c = find_control(id);
    return c && c->kind == KIND_CHECKBOX && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c->inner)) ? 1 : 0;
}

void set_control_picture(int id, int picture) {
    const Control* c = find_control(id);
    if (!c || c->kind != KIND_IMAGE) return;
    GdkPixbuf* pixbuf = picture ? picture_pixbuf(picture) : nullptr;
    if (picture && !pixbuf) return;
    if (pixbuf)
        gtk_image_set_from_pixbuf(GTK_IMAGE(c->inner), pixbuf);
    else
        gtk_image_clear(GTK_IMAGE(c->inner));
}

void set_control_tooltip(int id, const std::string& text) {
    if (const Control* c = find_control(id))
        gtk_widget_set_tooltip_text(c->outer, text.empty() ? nullptr : to_utf8(text).c_str());
}

void set_control_background(int id, int r, int g, int b) {
    const Control* c = find_control(id);
    if (!c || c->kind != KIND_RICHEDIT) return;
    char css[96];
    std::snprintf(css, sizeof css, "text { background-color: #%02x%02x%02x; }", r & 0xFF, g & 0xFF, b & 0xFF);
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(c->inner), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 2);
    g_object_unref(provider);
}

void editor_append(int id, const std::string& text) {
    GtkTextBuffer* buffer = buffer_of(id);
    if (!buffer) return;
    const std::string utf8 = to_utf8(text);
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buffer, &end);
    gtk_text_buffer_insert(buffer, &end, utf8.c_str(), static_cast<gint>(utf8.size()));
}

int editor_line_count(int id) {
    GtkTextBuffer* buffer = buffer_of(id);
    return buffer ? gtk_text_buffer_get_line_count(buffer) : 0;
}

int editor_line_index(int id, int line) {
    GtkTextBuffer* buffer = buffer_of(id);
    if (!buffer) return 0;
    GtkTextIter at;
    gtk_text_buffer_get_iter_at_line(buffer, &at, line);
    return gtk_text_iter_get_offset(&at);
}

void editor_set_selection(int id, int start, int end) {
    GtkTextBuffer* buffer = buffer_of(id);
    if (!buffer) return;
    GtkTextIter from, to;
    gtk_text_buffer_get_iter_at_offset(buffer, &from, start);
    gtk_text_buffer_get_iter_at_offset(buffer, &to, end);
    gtk_text_buffer_select_range(buffer, &to, &from);
    // As the rich edit does, the selection's end is brought into view; but
    // only once the view knows its size and its lines' heights, which the
    // text view works out in idle time of higher priority than this.
    Control* c = find_control(id);
    if (!c->scroll_pending) c->scroll_pending = g_idle_add(scroll_to_cursor, GINT_TO_POINTER(id)) != 0;
}
