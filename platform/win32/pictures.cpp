// Icons and bitmaps built from whole .ico / .bmp files held in memory.
// The hard part is trusting nothing in the file: the check every platform
// shares finds every size and offset inside the buffer before the system is
// handed a pointer into it.

#include "platform/win32/internal.h"

#include <cstring>

#include "platform/handle_table.h"
#include "platform/picture_check.h"

namespace win32 {
namespace {

struct Picture {
    PictureKind kind = PICTURE_ICON;
    HANDLE handle = nullptr;
};

// The image the shared check found, in an aligned copy: the system may read it as structures.
HICON load_icon(const std::uint8_t* data, const PictureFacts& facts) {
    std::vector<BYTE> image(data + facts.image_offset, data + facts.image_offset + facts.image_size);
    return CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, 0, 0,
                                    LR_DEFAULTCOLOR);
}

HBITMAP load_bitmap(const std::uint8_t* data, const PictureFacts& facts) {
    constexpr std::size_t FILE_HEADER = 14;
    // Later (larger) info headers begin as this one; the system is given only this much.
    BITMAPINFO info{};
    std::memcpy(&info.bmiHeader, data + FILE_HEADER, sizeof(BITMAPINFOHEADER));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    HBITMAP bitmap =
        CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, data + facts.image_offset, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

void free_handle(const Picture& p) {
    if (p.kind == PICTURE_ICON)
        DestroyIcon(static_cast<HICON>(p.handle));
    else
        DeleteObject(p.handle);
}

HandleTable<Picture> g_pictures{free_handle};

}  // namespace

HICON icon_handle(int picture) {
    const Picture* p = g_pictures.get(picture);
    return p && p->kind == PICTURE_ICON ? static_cast<HICON>(p->handle) : nullptr;
}

HBITMAP bitmap_handle(int picture) {
    const Picture* p = g_pictures.get(picture);
    return p && p->kind == PICTURE_BITMAP ? static_cast<HBITMAP>(p->handle) : nullptr;
}

void release_pictures() { g_pictures.clear(); }

}  // namespace win32

using namespace win32;

int load_picture(const std::uint8_t* data, std::size_t size, PictureKind kind) {
    PictureFacts facts;
    if (!check_picture(data, size, kind, &facts)) return 0;
    HANDLE handle = kind == PICTURE_ICON ? static_cast<HANDLE>(load_icon(data, facts))
                                         : static_cast<HANDLE>(load_bitmap(data, facts));
    return handle ? g_pictures.add(Picture{kind, handle}) : 0;
}

void free_picture(int picture) { g_pictures.remove(picture); }
