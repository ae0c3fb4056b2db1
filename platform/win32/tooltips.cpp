// Hover tooltips: one tooltip window per top-level window, one tip per control.
// The hard part is ownership: the tooltip window is owned by (not a child
// of) our window, so the system destroys it with the owner and we must only
// forget it; a control's tip must be removed before the control goes.

#include "platform/win32/internal.h"

namespace win32 {
namespace {

std::vector<HWND> g_tooltips;  // per window
bool g_pending = false;

HWND tooltip_for(int window) {
    HWND tip = per_window(g_tooltips, window);
    if (tip && IsWindow(tip)) return tip;
    tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_handle(window), nullptr,
                          instance(), nullptr);
    per_window(g_tooltips, window) = tip;
    return tip;
}

TOOLINFOA tool_for(const Control& c, const char* text) {
    TOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(c.hwnd);
    ti.uId = reinterpret_cast<UINT_PTR>(c.hwnd);
    ti.lpszText = const_cast<char*>(text);
    return ti;
}

}  // namespace

void forget_tooltip(Control& c) {
    c.tooltip_pending = false;
    if (!c.has_tooltip) return;
    c.has_tooltip = false;
    HWND tip = per_window(g_tooltips, c.window);
    if (!tip || !IsWindow(tip)) return;
    TOOLINFOA ti = tool_for(c, nullptr);
    SendMessageA(tip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void forget_tooltip_window(int window) { per_window(g_tooltips, window) = nullptr; }

void settle_tooltips() {
    if (!g_pending) return;
    g_pending = false;
    for (Control& c : controls()) {
        if (!c.tooltip_pending) continue;
        c.tooltip_pending = false;
        HWND tip = tooltip_for(c.window);
        if (!tip) continue;
        TOOLINFOA ti = tool_for(c, c.tooltip.c_str());
        c.has_tooltip = SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    }
}

}  // namespace win32

using namespace win32;

void set_control_tooltip(int id, const std::string& text) {
    Control* c = find_control(id);
    if (!c) return;
    forget_tooltip(*c);
    c->tooltip = text;
    // A tip can only show once the loop waits for the user, so it is
    // registered then: start-up need not pay for twenty before it connects.
    c->tooltip_pending = !text.empty();
    g_pending = g_pending || c->tooltip_pending;
}
