// Start-up, shut-down and the top-level windows.
// The hard part is size: the portable code lays out its controls in client
// coordinates, so the outer size (and a resizable window's smallest one) is
// derived from the wanted client size with the exact styles the window has.

#include "platform/win32/internal.h"

#include "platform/program_icon.h"

#include <algorithm>

namespace win32 {
namespace {

const char WINDOW_CLASS[] = "VyxClientWindow";

HINSTANCE g_instance = nullptr;
HMODULE g_rich_edit = nullptr;
bool g_class_registered = false;
struct Window {
    HWND hwnd = nullptr;
    int min_w = 0, min_h = 0;  // client area
    int w = 0, h = 0;          // client size last reported
};
std::vector<Window> g_windows;

Window* record(int window) {
    return window >= 0 && static_cast<std::size_t>(window) < g_windows.size() ? &g_windows[window] : nullptr;
}

// The outer size of a client area of w x h with the window's present styles.
SIZE outer_size(HWND hwnd, int w, int h) {
    RECT r{0, 0, w, h};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)), GetMenu(hwnd) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)));
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

void load_rich_edit() {
    if (!g_rich_edit) g_rich_edit = LoadLibraryA("riched20.dll");
}

namespace {

void init_common_controls() {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS | ICC_WIN95_CLASSES;
    // Older comctl32 rejects the version 6 flags as a whole; ask again without them.
    if (!InitCommonControlsEx(&icc)) {
        icc.dwICC = ICC_TAB_CLASSES | ICC_WIN95_CLASSES;
        InitCommonControlsEx(&icc);
    }
}

}  // namespace

HINSTANCE instance() { return g_instance; }

HWND window_handle(int window) {
    const Window* r = record(window);
    return r && r->hwnd && IsWindow(r->hwnd) ? r->hwnd : nullptr;
}

int window_number(HWND hwnd) {
    if (!hwnd) return WINDOW_NONE;
    HWND root = GetAncestor(hwnd, GA_ROOT);
    for (std::size_t i = 0; i < g_windows.size(); ++i)
        if (g_windows[i].hwnd && g_windows[i].hwnd == root) return static_cast<int>(i);
    return WINDOW_NONE;
}

int window_slots() { return static_cast<int>(g_windows.size()); }

void window_min_track_size(int window, MINMAXINFO* info) {
    const Window* r = record(window);
    if (!r || !r->hwnd || (r->min_w <= 0 && r->min_h <= 0)) return;
    const SIZE least = outer_size(r->hwnd, r->min_w, r->min_h);
    info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, least.cx);
    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, least.cy);
}

bool window_resized(int window, int w, int h) {
    Window* r = record(window);
    if (!r || (r->w == w && r->h == h)) return false;
    r->w = w;
    r->h = h;
    return true;
}

}  // namespace win32

using namespace win32;

int platform_init() {
    g_instance = GetModuleHandleA(nullptr);
    init_common_controls();

    if (!g_class_registered) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = window_proc;
        wc.hInstance = g_instance;
        wc.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(PROGRAM_ICON_RESOURCE));
        wc.hIconSm = static_cast<HICON>(
            LoadImageA(g_instance, MAKEINTRESOURCEA(PROGRAM_ICON_SMALL_RESOURCE), IMAGE_ICON, 16, 16, 0));
        if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = WINDOW_CLASS;
        if (!RegisterClassExA(&wc)) return 0;
        g_class_registered = true;
    }
    return 1;
}

void platform_release() {
    tray_remove_all();
    release_network();
    release_files();
    for (int i = 0; i < window_slots(); ++i) destroy_window(i);
    release_menus();
    release_fonts();
    release_pictures();
    if (g_rich_edit) {
        FreeLibrary(g_rich_edit);
        g_rich_edit = nullptr;
    }
    if (g_class_registered) {
        UnregisterClassA(WINDOW_CLASS, g_instance);
        g_class_registered = false;
    }
}

int create_window(const WindowArgs& args) {
    if (args.window < 0 || window_handle(args.window)) return 0;

    DWORD style = WS_CAPTION | WS_SYSMENU;
    if (args.minimize_box) style |= WS_MINIMIZEBOX;
    if (args.resizable) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    const DWORD ex_style = 0;

    RECT outer{0, 0, args.client_w, args.client_h};
    AdjustWindowRectEx(&outer, style, FALSE, ex_style);
    const int w = outer.right - outer.left;
    const int h = outer.bottom - outer.top;
    int x = args.x;
    int y = args.y;
    if (args.centred) {
        x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    }

    HWND hwnd = CreateWindowExA(ex_style, WINDOW_CLASS, args.title ? args.title : "", style, x, y, w, h,
                                nullptr, nullptr, g_instance, nullptr);
    if (!hwnd) return 0;
    Window& r = per_window(g_windows, args.window);
    r = Window{hwnd, args.resizable ? args.min_w : 0, args.resizable ? args.min_h : 0, 0, 0};
    get_client_size(args.window, &r.w, &r.h);
    return 1;
}

void destroy_window(int window) {
    Window* r = record(window);
    if (!r || !r->hwnd) return;
    HWND hwnd = r->hwnd;
    auto& list = controls();
    for (auto& c : list)
        if (c.window == window && c.kind == KIND_PANEL) drop_panel_page(c);
    std::erase_if(list, [window](const Control& c) { return c.window == window; });
    forget_tooltip_window(window);
    // Cleared first so nothing the destruction sends is taken for this window.
    r->hwnd = nullptr;
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
}

int window_exists(int window) { return window_handle(window) ? 1 : 0; }

void show_window(int window, int mode) {
    settle_panels();
    if (HWND hwnd = window_handle(window)) ShowWindow(hwnd, mode);
}

int window_visible(int window) {
    HWND hwnd = window_handle(window);
    return hwnd && IsWindowVisible(hwnd) ? 1 : 0;
}

int window_minimized(int window) {
    HWND hwnd = window_handle(window);
    return hwnd && IsIconic(hwnd) ? 1 : 0;
}

int window_maximized(int window) {
    HWND hwnd = window_handle(window);
    return hwnd && IsZoomed(hwnd) ? 1 : 0;
}

void set_foreground_window(int window) {
    if (HWND hwnd = window_handle(window)) SetForegroundWindow(hwnd);
}

void repaint_window(int window) {
    // Paints at once what changed (the window and its controls), without
    // invalidating the rest: a full repaint on every arrival of data would
    // keep a busy connection from leaving any time for the user.
    settle_panels();
    if (HWND hwnd = window_handle(window))
        RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void get_client_size(int window, int* w, int* h) {
    RECT rc{};
    if (HWND hwnd = window_handle(window)) GetClientRect(hwnd, &rc);
    if (w) *w = rc.right - rc.left;
    if (h) *h = rc.bottom - rc.top;
}
