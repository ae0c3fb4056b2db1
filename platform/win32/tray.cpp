// Notification-area icons.
// The hard part is that the shell, not we, owns them: an icon disappears if
// Explorer restarts, and at logon the notification area may not be there yet
// when the program starts into it. So every icon is remembered (window,
// picture, tooltip) whether or not the shell took it, and added again when
// the shell announces "TaskbarCreated"; one the shell did not take is also
// tried again on each timer tick until it is there.
// Alerts show as balloons from the program's icon; while the window is open
// there is none, so one is put up for the balloon and taken down after it,
// unless the program makes it its own in the meantime.

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
int g_balloon_icon = 0;  // the icon put up only for a balloon, 0 for none
UINT_PTR g_balloon_timer = 0;
constexpr int BALLOON_ICON_ID = 1;
constexpr UINT BALLOON_MS = 15000;

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

void remove_balloon_icon() {
    if (g_balloon_timer) KillTimer(nullptr, g_balloon_timer);
    g_balloon_timer = 0;
    if (!g_balloon_icon) return;
    NOTIFYICONDATAA nid = notify_data(window_handle(0), g_balloon_icon);
    Shell_NotifyIconA(NIM_DELETE, &nid);
    g_balloon_icon = 0;
}

void CALLBACK balloon_over(HWND, UINT, UINT_PTR, DWORD) { remove_balloon_icon(); }

void copy_text(char* to, std::size_t size, const std::string& text) {
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(to, text.data(), n);
    to[n] = '\0';
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
    if (icon_id == g_balloon_icon) {
        // The balloon's icon becomes the program's, so its balloon stays up.
        g_balloon_icon = 0;
        remove_balloon_icon();
        NOTIFYICONDATAA nid = notify_data(hwnd, icon_id);
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        nid.hIcon = icon;
        t.shown = Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
    } else {
        t.shown = add_icon(t);
    }
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
    remove_balloon_icon();
}

void notify_user(const std::string& title, const std::string& text) {
    HWND hwnd = window_handle(0);
    if (!hwnd) return;
    // The balloon's fields come after the original layout.
    NOTIFYICONDATAA nid = notify_data(hwnd, BALLOON_ICON_ID);
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.uFlags = NIF_INFO;
    nid.dwInfoFlags = NIIF_INFO;
    nid.uTimeout = BALLOON_MS;
    copy_text(nid.szInfoTitle, sizeof nid.szInfoTitle, title);
    copy_text(nid.szInfo, sizeof nid.szInfo, text);
    const TrayIcon* own = find_icon(BALLOON_ICON_ID);
    if (own && own->shown) {
        Shell_NotifyIconA(NIM_MODIFY, &nid);
        return;
    }
    if (!g_balloon_icon) {
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
        nid.hIcon = reinterpret_cast<HICON>(GetClassLongPtrA(hwnd, GCLP_HICONSM));
        copy_text(nid.szTip, sizeof nid.szTip, "VYX Client");
        if (!Shell_NotifyIconA(NIM_ADD, &nid)) return;
        g_balloon_icon = BALLOON_ICON_ID;
    } else {
        Shell_NotifyIconA(NIM_MODIFY, &nid);
    }
    // A thread timer: it calls back without passing through the program's events.
    if (g_balloon_timer) KillTimer(nullptr, g_balloon_timer);
    g_balloon_timer = SetTimer(nullptr, 0, BALLOON_MS, balloon_over);
}
