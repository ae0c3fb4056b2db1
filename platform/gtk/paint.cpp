// A DrawList painted with Cairo: on the canvas, and off screen in tests.
// The hard parts: Cairo's coordinates are pixel edges, so a line of odd
// width drawn through integer coordinates would smear over two rows; it is
// drawn through the pixels' centres instead. A clip replaces the one before
// it rather than narrowing it, and "the whole canvas" must not mean the whole
// window the canvas is drawn into, so each clip starts again from the state
// saved at the start.
#include "platform/gtk/internal.h"

namespace gtkp {
namespace {

void set_colour(cairo_t* cr, std::uint32_t colour) {
    cairo_set_source_rgb(cr, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                         (colour & 0xFF) / 255.0);
}

bool within(int first, int count, std::size_t size) {
    return first >= 0 && count >= 0 &&
           static_cast<std::size_t>(first) + static_cast<std::size_t>(count) <= size;
}

void polyline(cairo_t* cr, const DrawOp& op, const std::vector<DrawPoint>& points) {
    if (op.count < 2 || !within(op.first, op.count, points.size())) return;
    const int width = op.width > 0 ? op.width : 1;
    const double offset = width % 2 ? 0.5 : 0.0;
    for (int i = 0; i < op.count; ++i) {
        const DrawPoint& p = points[static_cast<std::size_t>(op.first + i)];
        if (i == 0)
            cairo_move_to(cr, p.x + offset, p.y + offset);
        else
            cairo_line_to(cr, p.x + offset, p.y + offset);
    }
    set_colour(cr, op.colour);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void text(cairo_t* cr, PangoLayout* layout, const DrawOp& op, const std::vector<std::string>& texts) {
    if (op.w <= 0 || op.h <= 0 || !within(op.first, 1, texts.size())) return;
    const std::string utf8 = to_utf8(texts[static_cast<std::size_t>(op.first)]);
    PangoFontDescription* font = font_description(op.font);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    int tw = 0, th = 0;
    pango_layout_get_pixel_size(layout, &tw, &th);
    const int x = op.align == DRAW_ALIGN_RIGHT    ? op.x + op.w - tw
                  : op.align == DRAW_ALIGN_CENTRE ? op.x + (op.w - tw) / 2
                                                  : op.x;
    cairo_save(cr);
    cairo_rectangle(cr, op.x, op.y, op.w, op.h);
    cairo_clip(cr);
    set_colour(cr, op.colour);
    cairo_move_to(cr, x, op.y + (op.h - th) / 2);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
}

}  // namespace

void paint_list(cairo_t* cr, const DrawList& list, int width, int height) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_save(cr);  // the whole canvas: what each clip starts from
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    for (const DrawOp& op : list.ops) {
        switch (op.kind) {
            case DRAW_RECT:
                if (op.w <= 0 || op.h <= 0) break;
                set_colour(cr, op.colour);
                cairo_rectangle(cr, op.x, op.y, op.w, op.h);
                cairo_fill(cr);
                break;
            case DRAW_POLYLINE:
                polyline(cr, op, list.points);
                break;
            case DRAW_TEXT:
                text(cr, layout, op, list.texts);
                break;
            case DRAW_CLIP:
                cairo_restore(cr);
                cairo_save(cr);
                if (op.w > 0) {
                    cairo_rectangle(cr, op.x, op.y, op.w, op.h > 0 ? op.h : 0);
                    cairo_clip(cr);
                }
                break;
        }
    }
    g_object_unref(layout);
    cairo_restore(cr);
    cairo_restore(cr);
}

}  // namespace gtkp
