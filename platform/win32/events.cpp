// The event source: one queue of the program's own events fed by the window
// procedure, drained by wait_next_event.
// The hard part is that a single dispatched message can produce events
// through messages *sent* back to us (a click reaches the button, which sends
// WM_COMMAND to our window), and modal loops (message boxes, popup menus,
// window moves) dispatch to our procedure while we are not waiting at all.
// So translation happens in the procedure, into a bounded queue, and the
// waiting side only falls back to reporting the raw message when nothing was
// produced.

#include "platform/win32/internal.h"

namespace win32 {
namespace {

// A message we did not translate is reported by its number, so it must
// never carry the number of one of our own events.
bool looks_like_event(UINT msg) {
    return msg == EVENT_CONTROL || msg == EVENT_MENU || msg == EVENT_TRAY || msg == EVENT_CLOSE_WINDOW ||
           msg == EVENT_TIMER || msg == EVENT_RESIZE || msg == EVENT_POINTER;
}

bool modifier_down() {
    return (GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_SHIFT) & 0x8000) ||
           (GetKeyState(VK_MENU) & 0x8000);
}

// Translates one WM_COMMAND; controls only report the one notification
// that means "the user did something" for their kind.
void translate_command(int window, WPARAM wparam, LPARAM lparam) {
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    if (lparam == 0) {
        if (code == 0 || code == 1) event_queue::push(EVENT_MENU, window, id);
        return;
    }
    const Control* c = find_control(reinterpret_cast<HWND>(lparam));
    if (!c) return;
    bool wanted = false;
    switch (c->kind) {
        case KIND_BUTTON:
        case KIND_CHECKBOX:
            wanted = code == BN_CLICKED;
            break;
        case KIND_EDIT:
            wanted = code == EN_CHANGE;
            break;
        // Enabling an SS_NOTIFY static sends STN_ENABLE; only a click counts.
        case KIND_IMAGE:
        case KIND_LINK:
            wanted = code == STN_CLICKED;
            break;
        default:
            break;
    }
    if (wanted) event_queue::push(EVENT_CONTROL, c->window, c->id);
}

int tray_click_type(LPARAM lparam) {
    switch (lparam) {
        case WM_LBUTTONUP:
            return TRAY_LEFT_CLICK;
        case WM_RBUTTONUP:
            return TRAY_RIGHT_CLICK;
        case WM_LBUTTONDBLCLK:
            return TRAY_LEFT_DOUBLE;
        case WM_RBUTTONDBLCLK:
            return TRAY_RIGHT_DOUBLE;
        default:
            return -1;
    }
}

// Focus of each window while it is inactive, so activation returns to the
// control the user left rather than to the bare window.
std::vector<HWND> g_saved_focus;

}  // namespace

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    const int window = window_number(hwnd);
    if (window == WINDOW_NONE || window_handle(window) != hwnd)
        return DefWindowProcA(hwnd, msg, wparam, lparam);

    switch (msg) {
        case WM_TIMER:
            retry_tray_icons();
            event_queue::push(EVENT_TIMER, window, static_cast<int>(wparam));
            break;
        case WM_CLOSE:
            // Closing is the program's decision; the window stays.
            event_queue::push(EVENT_CLOSE_WINDOW, window, 0);
            return 0;
        case WM_COMMAND:
            translate_command(window, wparam, lparam);
            break;
        case TRAY_CALLBACK:
            // Sent by the shell; answered later, from our own queue.
            if (HWND main = window_handle(0)) PostMessageA(main, TRAY_REPOSTED, wparam, lparam);
            return 0;
        case TRAY_REPOSTED: {
            const int type = tray_click_type(lparam);
            if (type >= 0) event_queue::push(EVENT_TRAY, window, type);
            break;
        }
        case WM_CTLCOLORSTATIC:
            if (HBRUSH brush = static_colours(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)))
                return reinterpret_cast<LRESULT>(brush);
            break;
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                per_window(g_saved_focus, window) = focus && IsChild(hwnd, focus) ? focus : nullptr;
            } else {
                LRESULT r = DefWindowProcA(hwnd, msg, wparam, lparam);
                HWND saved = per_window(g_saved_focus, window);
                if (saved && IsWindow(saved) && IsChild(hwnd, saved) && IsWindowEnabled(saved) &&
                    !HIWORD(wparam))
                    SetFocus(saved);
                return r;
            }
            break;
        case WM_ERASEBKGND: {
            exclude_canvases(window, reinterpret_cast<HDC>(wparam));
            const LRESULT r = DefWindowProcA(hwnd, msg, wparam, lparam);
            paint_panel_pages(window, reinterpret_cast<HDC>(wparam));
            return r;
        }
        case WM_GETMINMAXINFO:
            window_min_track_size(window, reinterpret_cast<MINMAXINFO*>(lparam));
            return 0;
        case WM_SIZE:
            // A restore from the taskbar reports the size it had: no change.
            if (wparam != SIZE_MINIMIZED && window_resized(window, LOWORD(lparam), HIWORD(lparam)))
                event_queue::push(EVENT_RESIZE, window, 0, LOWORD(lparam), HIWORD(lparam));
            break;
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            refresh_panel_pages(window);
            break;
        default:
            if (msg == taskbar_created_message() && msg != 0) restore_tray_icons();
            break;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

}  // namespace win32

using namespace win32;

int wait_next_event() {
    while (event_queue::empty()) {
        settle_panels();
        settle_tooltips();
        MSG msg;
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) {
            Sleep(10);  // cannot happen with valid arguments; do not spin
            continue;
        }
        const int window = window_number(msg.hwnd);
        if (got == 0) {  // WM_QUIT: nobody posts it, but report it as itself
            event_queue::note_plain(WINDOW_NONE);
            return WM_QUIT;
        }

        // Enter shortcut first: the dialog manager would otherwise turn Enter
        // into a default-button press (or an IDOK command that looks like a menu item).
        int item = 0;
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && window != WINDOW_NONE &&
            !modifier_down() && GetActiveWindow() == window_handle(window) &&
            enter_shortcut_item(window, &item)) {
            event_queue::push(EVENT_MENU, window, item);
            continue;
        }

        // Tab and arrow navigation between controls comes from the dialog
        // manager. Enter and Escape stay out of it: it would answer them with
        // IDOK / IDCANCEL commands nobody asked for.
        const bool dialog_key =
            msg.message == WM_KEYDOWN &&
            (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE || msg.wParam == VK_EXECUTE);
        HWND top = window_handle(window);
        if (!(top && !dialog_key && IsDialogMessageA(top, &msg))) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }

        if (event_queue::empty()) {
            if (looks_like_event(msg.message)) continue;  // e.g. a control's own timer
            event_queue::note_plain(window);
            return static_cast<int>(msg.message);
        }
    }
    return event_queue::take();
}

// The system keeps one timer per (window, id) and restarts it when set again.
void start_timer(int window, int timer_id, int period_ms) {
    if (HWND hwnd = window_handle(window))
        SetTimer(hwnd, static_cast<UINT_PTR>(timer_id), period_ms > 0 ? period_ms : 1, nullptr);
}

void stop_timer(int window, int timer_id) {
    if (HWND hwnd = window_handle(window)) KillTimer(hwnd, static_cast<UINT_PTR>(timer_id));
}
