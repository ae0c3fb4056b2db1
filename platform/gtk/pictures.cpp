// Icons and bitmaps built from whole .ico / .bmp files held in memory.
// The hard part is trusting nothing in the file without a word on stderr:
// the loaders happily show the top of a cut-off file, so the image's extent
// is checked against the buffer first; the loader is told which format to
// expect, so a bitmap handed over as an icon fails instead of being sniffed
// into something; and every failure comes back as a GError we drop.

#include "platform/gtk/internal.h"
#include "platform/handle_table.h"

namespace gtkp {
namespace {

void unref(GdkPixbuf* const& pixbuf) { g_object_unref(pixbuf); }

HandleTable<GdkPixbuf*> g_pictures{unref};

std::uint32_t read_u16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

std::uint32_t read_u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// Icon directory: 6-byte header, then 16-byte entries; the first one's image lies inside.
bool icon_complete(const std::uint8_t* data, std::size_t size) {
    if (size < 6 + 16 || read_u16(data) != 0 || read_u16(data + 2) != 1 || read_u16(data + 4) < 1)
        return false;
    const std::uint32_t bytes = read_u32(data + 6 + 8);
    const std::uint32_t offset = read_u32(data + 6 + 12);
    return bytes != 0 && offset <= size && bytes <= size - offset;
}

// An uncompressed 24-bit bitmap, as the pictures are, whose rows all lie inside.
bool bitmap_complete(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t HEADERS = 14 + 40;
    if (size < HEADERS || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t bits_offset = read_u32(data + 10);
    const auto width = static_cast<std::int32_t>(read_u32(data + 18));
    const auto height = static_cast<std::int32_t>(read_u32(data + 22));
    if (read_u16(data + 26) != 1 || read_u16(data + 28) != 24 || read_u32(data + 30) != 0 || width <= 0 ||
        width > 4096 || height == 0 || height > 4096 || height < -4096)
        return false;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t(3);
    const std::size_t bytes = stride * static_cast<std::size_t>(height < 0 ? -height : height);
    return bits_offset >= HEADERS && bits_offset <= size && bytes <= size - bits_offset;
}

// nullptr unless the whole buffer is one readable image of the given format.
GdkPixbuf* decode(const std::uint8_t* data, std::size_t size, const char* format) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(format, nullptr);
    if (!loader) return nullptr;
    // The loader must be closed even after a failed write, or it complains when finalised.
    const bool written = gdk_pixbuf_loader_write(loader, data, size, nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf) g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

}  // namespace

GdkPixbuf* picture_pixbuf(int picture) {
    GdkPixbuf** p = g_pictures.get(picture);
    return p ? *p : nullptr;
}

void release_pictures() { g_pictures.clear(); }

}  // namespace gtkp

using namespace gtkp;

int load_picture(const std::uint8_t* data, std::size_t size, PictureKind kind) {
    if (!data) return 0;
    GdkPixbuf* pixbuf = nullptr;
    if (kind == PICTURE_ICON && icon_complete(data, size))
        pixbuf = decode(data, size, "ico");
    else if (kind == PICTURE_BITMAP && bitmap_complete(data, size))
        pixbuf = decode(data, size, "bmp");
    return pixbuf ? g_pictures.add(pixbuf) : 0;
}

void free_picture(int picture) { g_pictures.remove(picture); }
