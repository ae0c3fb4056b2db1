// Popup menus (the tray menu); the Enter shortcut is kept in platform/enter_shortcut.
// The hard part is that items are addressed by command id alone, without
// saying which menu holds them, so every change is applied by command to
// all our menus; and that a popup chooses asynchronously: the pick arrives
// later as WM_COMMAND through the queue, like any other menu event.

#include "platform/win32/internal.h"

namespace win32 {
namespace {

struct Menu {
    int id;
    HMENU handle;
};

std::vector<Menu> g_menus;

HMENU menu_handle(int menu) {
    for (const Menu& m : g_menus)
        if (m.id == menu) return m.handle;
    return nullptr;
}

}  // namespace

void release_menus() {
    for (const Menu& m : g_menus) DestroyMenu(m.handle);
    g_menus.clear();
}

}  // namespace win32

using namespace win32;

int create_popup_menu(int menu) {
    if (menu_handle(menu)) return 0;
    HMENU handle = CreatePopupMenu();
    if (!handle) return 0;
    g_menus.push_back(Menu{menu, handle});
    return 1;
}

void append_menu_item(int menu, int item, const std::string& text) {
    if (HMENU m = menu_handle(menu)) AppendMenuA(m, MF_STRING, static_cast<UINT_PTR>(item), text.c_str());
}

void append_menu_separator(int menu) {
    if (HMENU m = menu_handle(menu)) AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
}

void enable_menu_item(int item, int enabled) {
    for (const Menu& m : g_menus)
        EnableMenuItem(m.handle, static_cast<UINT>(item), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void set_menu_item_text(int item, const std::string& text) {
    // Only the string changes; state and check bitmaps stay as they are.
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<char*>(text.c_str());
    for (const Menu& m : g_menus) SetMenuItemInfoA(m.handle, static_cast<UINT>(item), FALSE, &info);
}

void set_menu_item_bitmap(int item, int picture) {
    HBITMAP bitmap = picture ? bitmap_handle(picture) : nullptr;
    if (picture && !bitmap) return;
    for (const Menu& m : g_menus)
        SetMenuItemBitmaps(m.handle, static_cast<UINT>(item), MF_BYCOMMAND, bitmap, bitmap);
}

void destroy_popup_menu(int menu) {
    for (std::size_t i = 0; i < g_menus.size(); ++i)
        if (g_menus[i].id == menu) {
            DestroyMenu(g_menus[i].handle);
            g_menus.erase(g_menus.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

void get_mouse_position(int* x, int* y) {
    POINT p{0, 0};
    GetCursorPos(&p);
    if (x) *x = p.x;
    if (y) *y = p.y;
}

void track_popup_menu(int menu, int window, int x, int y) {
    HMENU m = menu_handle(menu);
    HWND hwnd = window_handle(window);
    if (!m || !hwnd) return;
    settle_panels();
    TrackPopupMenu(m, TPM_RIGHTBUTTON, x, y, 0, hwnd, nullptr);
    // Lets the menu close properly when it was opened from the tray.
    PostMessageA(hwnd, WM_NULL, 0, 0);
}
