// Fonts the portable code creates by face, height and weight.
// The hard part is only lifetime: a font may still be selected into
// controls, so it is deleted when the program says, or at shut-down after
// the windows that used it are gone.

#include "platform/win32/internal.h"

#include "platform/handle_table.h"

namespace win32 {
namespace {

HandleTable<HFONT> g_fonts{[](const HFONT& f) { DeleteObject(f); }};

}  // namespace

HFONT font_handle(int font) {
    HFONT* f = g_fonts.get(font);
    return f ? *f : nullptr;
}

void release_fonts() { g_fonts.clear(); }

}  // namespace win32

using namespace win32;

int screen_dpi_y() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

int create_font(const char* face, int height, int weight) {
    HFONT f =
        CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face ? face : "");
    return f ? g_fonts.add(f) : 0;
}

void free_font(int font) { g_fonts.remove(font); }
