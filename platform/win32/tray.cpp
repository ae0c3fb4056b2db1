// Notification-area icons.
// The hard part is that the shell, not we, owns them: an icon disappears if
// Explorer restarts, and at logon the notification area may not be there yet
// when the program starts into it. So every icon is remembered (window,
// picture, tooltip) whether or not the shell took it, and added again when
// the shell announces "TaskbarCreated"; one the shell did not take is also
// tried again on each timer tick until it is there.

#include "platform/win32/internal.h"

#include <shellapi.h>

#include <cstring>

namespace win32 {
namespace {

struct TrayIcon {
    int id;
    HWND hwnd;
    HICON icon;
    char tip[64];
    bool shown;  // the shell has it
};

std::vector<TrayIcon> g_icons;

TrayIcon* find_icon(int id) {
    for (auto& t : g_icons)
        if (t.id == id) return &t;
    return nullptr;
}

// The original small layout: every shell version accepts it.
NOTIFYICONDATAA notify_data(HWND hwnd, int id) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hwnd;
    nid.uID = static_cast<UINT>(id);
    nid.uCallbackMessage = TRAY_CALLBACK;
    return nid;
}

bool add_icon(const TrayIcon& t) {
    NOTIFYICONDATAA nid = notify_data(t.hwnd, t.id);
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.hIcon = t.icon;
    std::memcpy(nid.szTip, t.tip, sizeof t.tip);
    return Shell_NotifyIconA(NIM_ADD, &nid) != FALSE;
}

}  // namespace

UINT taskbar_created_message() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void restore_tray_icons() {
    for (auto& t : g_icons)
        if (IsWindow(t.hwnd)) t.shown = add_icon(t);
}

void retry_tray_icons() {
    for (auto& t : g_icons)
        if (!t.shown && IsWindow(t.hwnd)) t.shown = add_icon(t);
}

}  // namespace win32

using namespace win32;

int tray_add(int icon_id, int window, int picture) {
    HWND hwnd = window_handle(window);
    HICON icon = icon_handle(picture);
    if (!hwnd || !icon) return 0;
    TrayIcon t{icon_id, hwnd, icon, {}, false};
    t.shown = add_icon(t);
    if (TrayIcon* old = find_icon(icon_id))
        *old = t;
    else
        g_icons.push_back(t);
    return t.shown ? 1 : 0;
}

int tray_change(int icon_id, int picture) {
    TrayIcon* t = find_icon(icon_id);
    HICON icon = icon_handle(picture);
    if (!t || !icon) return 0;
    NOTIFYICONDATAA nid = notify_data(t->hwnd, t->id);
    nid.uFlags = NIF_ICON | NIF_TIP;
    nid.hIcon = icon;
    t->icon = icon;
    t->tip[0] = '\0';
    return t->shown && Shell_NotifyIconA(NIM_MODIFY, &nid) ? 1 : 0;
}

int tray_set_tooltip(int icon_id, const std::string& text) {
    TrayIcon* t = find_icon(icon_id);
    if (!t) return 0;
    const std::size_t n = text.size() < sizeof t->tip - 1 ? text.size() : sizeof t->tip - 1;
    std::memcpy(t->tip, text.data(), n);
    t->tip[n] = '\0';
    NOTIFYICONDATAA nid = notify_data(t->hwnd, t->id);
    nid.uFlags = NIF_TIP;
    std::memcpy(nid.szTip, t->tip, sizeof t->tip);
    return t->shown && Shell_NotifyIconA(NIM_MODIFY, &nid) ? 1 : 0;
}

void tray_remove(int icon_id) {
    for (std::size_t i = 0; i < g_icons.size(); ++i)
        if (g_icons[i].id == icon_id) {
            NOTIFYICONDATAA nid = notify_data(g_icons[i].hwnd, icon_id);
            Shell_NotifyIconA(NIM_DELETE, &nid);
            g_icons.erase(g_icons.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

void tray_remove_all() {
    while (!g_icons.empty()) tray_remove(g_icons.back().id);
}
