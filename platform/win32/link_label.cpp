// Link labels: static text that turns red under the mouse and shows a hand.
// The hard part is noticing the mouse leave: a static gets no message for
// that, so it is subclassed and asks for WM_MOUSELEAVE each time the mouse
// enters; the colour itself is answered in WM_CTLCOLORSTATIC by the parent.

#include "platform/win32/internal.h"

namespace win32 {
namespace {

// Every static shares the class procedure, so one saved copy serves all
// links, even while a record is already forgotten during destruction.
WNDPROC g_static_proc = nullptr;

HCURSOR hand_cursor() {
    static HCURSOR cursor = [] {
        HCURSOR c = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
        return c ? c : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    }();
    return cursor;
}

void set_hot(HWND hwnd, bool hot) {
    Control* c = find_control(hwnd);
    if (!c || c->hot == hot) return;
    c->hot = hot;
    InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT CALLBACK link_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_MOUSEMOVE: {
            const Control* c = find_control(hwnd);
            if (c && !c->hot) {
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof track;
                track.dwFlags = TME_LEAVE;
                track.hwndTrack = hwnd;
                TrackMouseEvent(&track);
                set_hot(hwnd, true);
            }
            break;
        }
        case WM_MOUSELEAVE:
            set_hot(hwnd, false);
            break;
        case WM_SETCURSOR:
            SetCursor(hand_cursor());
            return TRUE;
        default:
            break;
    }
    return CallWindowProcA(g_static_proc, hwnd, msg, wparam, lparam);
}

}  // namespace

void make_link(Control& link) {
    WNDPROC base = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(link.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link_proc)));
    if (!g_static_proc) g_static_proc = base;
}

}  // namespace win32
