// Icons and bitmaps built from whole .ico / .bmp files held in memory.
// The hard part is trusting nothing in the file without a word on stderr:
// the loaders happily show the top of a cut-off file, so the picture is
// checked first, by the check every platform shares; the loader is told which
// format to expect, so a bitmap handed over as an icon fails instead of being
// sniffed into something; and every failure comes back as a GError we drop.

#include "platform/gtk/internal.h"
#include "platform/handle_table.h"
#include "platform/picture_check.h"

namespace gtkp {
namespace {

void unref(GdkPixbuf* const& pixbuf) { g_object_unref(pixbuf); }

HandleTable<GdkPixbuf*> g_pictures{unref};

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
    if (!check_picture(data, size, kind, nullptr)) return 0;
    GdkPixbuf* pixbuf = decode(data, size, kind == PICTURE_ICON ? "ico" : "bmp");
    return pixbuf ? g_pictures.add(pixbuf) : 0;
}

void free_picture(int picture) { g_pictures.remove(picture); }
