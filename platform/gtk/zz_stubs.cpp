#include "platform/gtk/internal.h"
#include <vector>
static std::vector<GdkPixbuf*> pics;
int load_picture(const std::uint8_t* data, std::size_t size, PictureKind) {
    GdkPixbufLoader* l = gdk_pixbuf_loader_new();
    if (!gdk_pixbuf_loader_write(l, data, size, nullptr) || !gdk_pixbuf_loader_close(l, nullptr)) {
        g_object_unref(l);
        return 0;
    }
    GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(l);
    g_object_ref(p);
    g_object_unref(l);
    pics.push_back(p);
    return (int)pics.size();
}
void free_picture(int) {}
namespace gtkp {
GdkPixbuf* picture_pixbuf(int p) { return p > 0 && p <= (int)pics.size() ? pics[p - 1] : nullptr; }
void release_pictures() {}
bool enter_shortcut(int, int*) { return false; }
void release_menus() {}
}  // namespace gtkp
int create_popup_menu(int) { return 1; }
void append_menu_item(int, int, const std::string&) {}
void append_menu_separator(int) {}
void enable_menu_item(int, int) {}
void set_menu_item_text(int, const std::string&) {}
void set_menu_item_bitmap(int, int) {}
void destroy_popup_menu(int) {}
void get_mouse_position(int* x, int* y) { *x = *y = 0; }
void track_popup_menu(int, int, int, int) {}
void register_enter_shortcut(int, int) {}
int tray_add(int, int, int) { return 1; }
int tray_change(int, int) { return 1; }
int tray_set_tooltip(int, const std::string&) { return 1; }
void tray_remove(int) {}
void tray_remove_all() {}
int message_box(int, const std::string& t, const std::string& x, int) {
    g_printerr("MB %s: %s\n", t.c_str(), x.c_str());
    return MB_ANSWER_OK;
}
void shell_open(const std::string&) {}
