// Icons and bitmaps built from whole .ico / .bmp files held in memory.
// The hard part is trusting nothing in the file: every size and offset is
// checked against the buffer before the system is handed a pointer into it.

#include "platform/win32/internal.h"

#include <cstring>

#include "platform/handle_table.h"

namespace win32 {
namespace {

struct Picture {
    PictureKind kind = PICTURE_ICON;
    HANDLE handle = nullptr;
};

std::uint32_t read_u16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

std::uint32_t read_u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// Icon directory: 6-byte header, then 16-byte entries; we use the first.
HICON load_icon(const std::uint8_t* data, std::size_t size) {
    if (size < 6 + 16) return nullptr;
    if (read_u16(data) != 0 || read_u16(data + 2) != 1 || read_u16(data + 4) < 1) return nullptr;
    const std::uint8_t* entry = data + 6;
    const std::uint32_t bytes = read_u32(entry + 8);
    const std::uint32_t offset = read_u32(entry + 12);
    if (bytes == 0 || offset > size || bytes > size - offset) return nullptr;
    // The system may read the image as structures; give it an aligned copy.
    std::vector<BYTE> image(data + offset, data + offset + bytes);
    return CreateIconFromResourceEx(image.data(), bytes, TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
}

HBITMAP load_bitmap(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t FILE_HEADER = 14;
    if (size < FILE_HEADER + sizeof(BITMAPINFOHEADER)) return nullptr;
    if (data[0] != 'B' || data[1] != 'M') return nullptr;
    const std::uint32_t bits_offset = read_u32(data + 10);

    BITMAPINFO info{};
    std::memcpy(&info.bmiHeader, data + FILE_HEADER, sizeof(BITMAPINFOHEADER));
    const BITMAPINFOHEADER& h = info.bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biBitCount != 24 || h.biCompression != BI_RGB ||
        h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > 4096 || h.biHeight > 4096 ||
        h.biHeight < -4096)
        return nullptr;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    const std::size_t stride = (static_cast<std::size_t>(h.biWidth) * 3 + 3) & ~std::size_t(3);
    const std::size_t rows = static_cast<std::size_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight);
    const std::size_t bytes = stride * rows;
    if (bits_offset < FILE_HEADER + sizeof(BITMAPINFOHEADER) || bits_offset > size ||
        bytes > size - bits_offset)
        return nullptr;

    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    HBITMAP bitmap =
        CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, data + bits_offset, &info, DIB_RGB_COLORS);
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
    if (!data) return 0;
    HANDLE handle = nullptr;
    if (kind == PICTURE_ICON)
        handle = load_icon(data, size);
    else if (kind == PICTURE_BITMAP)
        handle = load_bitmap(data, size);
    return handle ? g_pictures.add(Picture{kind, handle}) : 0;
}

void free_picture(int picture) { g_pictures.remove(picture); }
