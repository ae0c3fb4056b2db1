// Turns one of the program's icons into the PNG a desktop's icon theme takes,
// at build time, so the installed icon is always the one the program shows.
//   icon_png IN.ico OUT.png SIZE    fails unless the icon is SIZE x SIZE
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: icon_png IN.ico OUT.png SIZE\n");
        return 2;
    }
    GError* error = nullptr;
    GdkPixbuf* icon = gdk_pixbuf_new_from_file(argv[1], &error);
    if (!icon) {
        std::fprintf(stderr, "icon_png: %s: %s\n", argv[1], error->message);
        return 1;
    }
    const int size = std::atoi(argv[3]);
    const int width = gdk_pixbuf_get_width(icon), height = gdk_pixbuf_get_height(icon);
    if (width != size || height != size) {
        std::fprintf(stderr, "icon_png: %s is %dx%d, not %dx%d\n", argv[1], width, height, size, size);
        return 1;
    }
    const bool saved = gdk_pixbuf_save(icon, argv[2], "png", &error, nullptr);
    if (!saved) std::fprintf(stderr, "icon_png: %s: %s\n", argv[2], error->message);
    g_object_unref(icon);
    return saved ? 0 : 1;
}
