// A DrawList painted off screen, read back pixel by pixel.
#include <gtest/gtest.h>

#include <climits>

#include "platform/gtk/internal.h"

namespace {

constexpr int W = 40, H = 20;
constexpr std::uint32_t WHITE = 0xFFFFFF, INK = 0x102030;

struct Picture {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, W, H);
    explicit Picture(const DrawList& list) {
        cairo_t* cr = cairo_create(surface);
        gtkp::paint_list(cr, list, W, H);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    ~Picture() { cairo_surface_destroy(surface); }
    std::uint32_t at(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    }
};

TEST(PaintList, LinesAreCrispRectsFillAndEachClipReplacesTheLast) {
    struct Probe {
        int x, y;
        std::uint32_t colour;
    };
    struct Case {
        const char* what;
        void (*build)(DrawList&);
        std::vector<Probe> probes;
    } cases[] = {
        {"1-pixel line on one row",
         [](DrawList& l) { l.line(2, 5, 30, 5, INK); },
         {{10, 5, INK}, {10, 4, WHITE}, {10, 6, WHITE}}},
        {"2-pixel line on two rows",
         [](DrawList& l) { l.line(2, 5, 30, 5, INK, 2); },
         {{10, 4, INK}, {10, 5, INK}, {10, 3, WHITE}, {10, 6, WHITE}}},
        {"3-pixel vertical line",
         [](DrawList& l) { l.line(7, 1, 7, 15, INK, 3); },
         {{6, 9, INK}, {8, 9, INK}, {5, 9, WHITE}, {9, 9, WHITE}}},
        {"rect filled, white round it",
         [](DrawList& l) { l.rect(3, 3, 4, 2, INK); },
         {{3, 3, INK}, {6, 4, INK}, {7, 4, WHITE}, {6, 5, WHITE}, {0, 0, WHITE}}},
        {"clip narrows later drawing",
         [](DrawList& l) {
             l.clip(0, 0, 10, H);
             l.rect(0, 0, W, H, INK);
         },
         {{9, 9, INK}, {10, 9, WHITE}}},
        {"a second clip replaces the first",
         [](DrawList& l) {
             l.clip(0, 0, 10, H);
             l.clip(20, 0, 10, H);
             l.rect(0, 0, W, H, INK);
         },
         {{5, 9, WHITE}, {25, 9, INK}}},
        {"clip of no width is the whole canvas",
         [](DrawList& l) {
             l.clip(0, 0, 10, H);
             l.clip(0, 0, 0, 0);
             l.rect(0, 0, W + 5, H + 5, INK);
         },
         {{0, 0, INK}, {W - 1, H - 1, INK}}},
    };
    for (const Case& c : cases) {
        DrawList list;
        c.build(list);
        const Picture p(list);
        for (const Probe& probe : c.probes)
            EXPECT_EQ(p.at(probe.x, probe.y), probe.colour) << c.what << " at " << probe.x << "," << probe.y;
    }
}

TEST(PaintList, TextSitsInItsBoxAsAligned) {
    // The ink's columns and rows; the box is 30 wide at x 5, the canvas high.
    const struct {
        int align;
        int ink_left_min, ink_left_max, ink_right_min, ink_right_max;
    } cases[] = {
        {DRAW_ALIGN_LEFT, 5, 7, 5, 24},
        {DRAW_ALIGN_RIGHT, 15, 35, 32, 35},
        {DRAW_ALIGN_CENTRE, 9, 16, 23, 30},
    };
    for (const auto& c : cases) {
        DrawList list;
        list.text(5, 0, 30, H, "\xB5V", INK, 0, c.align);  // an 8-bit mu: converted, still drawn
        const Picture p(list);
        int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (p.at(x, y) != WHITE) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, 0) << c.align;
        EXPECT_GE(left, c.ink_left_min) << c.align;
        EXPECT_LE(left, c.ink_left_max) << c.align;
        EXPECT_GE(right, c.ink_right_min) << c.align;
        EXPECT_LE(right, c.ink_right_max) << c.align;
        // Vertically centred: the ink's middle near the box's (row 10).
        EXPECT_NEAR((top + bottom) / 2.0, 10.0, 2.5) << c.align;
    }
}

}  // namespace
