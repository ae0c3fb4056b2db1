// A picture described as data: the core builds it, each platform paints it
// (and a report writer can render the same list), so what is drawn is decided
// once, in portable code, and tests read it instead of pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum DrawKind : std::uint8_t {
    DRAW_POLYLINE,  // points[first, first + count), joined, `width` pixels wide
    DRAW_RECT,      // x, y, w, h filled
    DRAW_TEXT,      // texts[first] in the box x, y, w, h: vertically centred, `align` across
    DRAW_CLIP,      // later operations clipped to x, y, w, h; w <= 0 clips to the whole canvas
};

// Across the text box; CTL_ALIGN_RIGHT and CTL_ALIGN_CENTRE have the same values.
enum : int { DRAW_ALIGN_LEFT = 0, DRAW_ALIGN_RIGHT = 1, DRAW_ALIGN_CENTRE = 2 };

struct DrawPoint {
    int x, y;
};

struct DrawOp {
    DrawKind kind;
    std::uint32_t colour;  // 0xRRGGBB
    int x, y, w, h;
    int width;  // polyline
    int font;   // text: a create_font handle, 0 for the default GUI font
    int align;  // text: DRAW_ALIGN_*
    int first, count;
};

// Coordinates are pixels from the canvas' top-left corner. Texts are 8-bit, as
// control texts are.
struct DrawList {
    std::vector<DrawOp> ops;
    std::vector<DrawPoint> points;
    std::vector<std::string> texts;

    void clear() {
        ops.clear();
        points.clear();
        texts.clear();
    }
    void rect(int x, int y, int w, int h, std::uint32_t colour) {
        ops.push_back({DRAW_RECT, colour, x, y, w, h, 0, 0, 0, 0, 0});
    }
    // A polyline of the points pushed since `start` (an index into points).
    void polyline_from(std::size_t start, std::uint32_t colour, int width) {
        const int count = static_cast<int>(points.size() - start);
        if (count < 2) {
            points.resize(start);  // a lone point draws nothing
            return;
        }
        ops.push_back({DRAW_POLYLINE, colour, 0, 0, 0, 0, width, 0, 0, static_cast<int>(start), count});
    }
    void line(int x1, int y1, int x2, int y2, std::uint32_t colour, int width = 1) {
        const std::size_t start = points.size();
        points.push_back({x1, y1});
        points.push_back({x2, y2});
        polyline_from(start, colour, width);
    }
    void text(int x, int y, int w, int h, std::string s, std::uint32_t colour, int font, int align) {
        ops.push_back({DRAW_TEXT, colour, x, y, w, h, 0, font, align, static_cast<int>(texts.size()), 1});
        texts.push_back(std::move(s));
    }
    void clip(int x, int y, int w, int h) { ops.push_back({DRAW_CLIP, 0, x, y, w, h, 0, 0, 0, 0, 0}); }
};
