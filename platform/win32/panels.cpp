// Panels: a tab control with one page that other controls sit on.
// The hard part is that those controls are not children of the tab control
// (their WM_COMMAND must reach our window procedure), only siblings drawn
// over it. So the tab control clips its siblings and is kept at the bottom of
// the z-order (the order above it stays the creation order, which is also
// the Tab-key order). Clipping leaves holes where siblings with transparent
// insides (group boxes) sit, and there the window's own background shows; so
// the window paints each page's background itself when it erases, and
// statics on the page get the same brush: a copy of the page as the tab
// control draws it, which differs from the window's colour under visual styles.

#include "platform/win32/internal.h"

namespace win32 {
namespace {

std::vector<char> g_unsettled;  // per window: a control was made since the panels went below

HBRUSH paint_page_brush(HWND tab) {
    RECT rc;
    GetClientRect(tab, &rc);
    if (rc.right <= 0 || rc.bottom <= 0) return nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    ReleaseDC(nullptr, screen);
    HBRUSH brush = nullptr;
    if (dc && bitmap) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageA(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
        SelectObject(dc, old);
        brush = CreatePatternBrush(bitmap);
    }
    if (bitmap) DeleteObject(bitmap);  // the brush keeps its own copy
    if (dc) DeleteDC(dc);
    return brush;
}

}  // namespace

bool create_panel_page(Control& panel) {
    RECT rc;
    GetClientRect(panel.hwnd, &rc);
    TabCtrl_AdjustRect(panel.hwnd, FALSE, &rc);
    RECT where;
    GetWindowRect(panel.hwnd, &where);
    MapWindowPoints(nullptr, GetParent(panel.hwnd), reinterpret_cast<POINT*>(&where), 2);
    panel.page.x = where.left + rc.left;
    panel.page.y = where.top + rc.top;
    panel.page_brush = paint_page_brush(panel.hwnd);
    return true;
}

void drop_panel_page(Control& panel) {
    if (panel.page_brush) DeleteObject(panel.page_brush);
    panel.page_brush = nullptr;
}

void note_new_control(const Control& made) {
    if (made.kind != KIND_PANEL && made.window >= 0) per_window(g_unsettled, made.window) = 1;
}

void settle_panels() {
    // A new child lands at the bottom of the z-order, under the panels. Moving
    // the panels below once, before anything is shown, painted or read, keeps
    // the rest in creation order without a move per control.
    for (std::size_t window = 0; window < g_unsettled.size(); ++window) {
        if (!g_unsettled[window]) continue;
        g_unsettled[window] = 0;
        for (auto& c : controls())
            if (c.window == static_cast<int>(window) && c.kind == KIND_PANEL)
                SetWindowPos(c.hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
}

void refresh_panel_pages(int window) {
    for (auto& c : controls())
        if (c.window == window && c.kind == KIND_PANEL) {
            drop_panel_page(c);
            c.page_brush = paint_page_brush(c.hwnd);
        }
}

void paint_panel_pages(int window, HDC dc) {
    for (const auto& c : controls()) {
        if (c.window != window || c.kind != KIND_PANEL || !c.page_brush) continue;
        RECT page;
        GetClientRect(c.hwnd, &page);
        TabCtrl_AdjustRect(c.hwnd, FALSE, &page);
        MapWindowPoints(c.hwnd, GetParent(c.hwnd), reinterpret_cast<POINT*>(&page), 2);
        // Brush origins are in device units; the DC may be offset (a control
        // asking for its parent's background draws through a moved origin).
        POINT origin{0, 0};
        MapWindowPoints(c.hwnd, GetParent(c.hwnd), &origin, 1);
        LPtoDP(dc, &origin, 1);
        SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
        FillRect(dc, &page, c.page_brush);
    }
}

HBRUSH static_colours(HDC dc, HWND child) {
    const Control* c = find_control(child);
    // Disabled edits ask here too; they keep the system's disabled face, so
    // they do not look like fields that take input.
    if (!c || c->kind == KIND_EDIT) return nullptr;
    const Control* panel = c->panel >= 0 ? find_control(c->panel) : nullptr;
    HBRUSH brush = nullptr;
    if (panel && panel->page_brush) {
        // Line the pattern up with the tab control, wherever the child is.
        POINT origin{0, 0};
        MapWindowPoints(panel->hwnd, child, &origin, 1);
        SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
        brush = panel->page_brush;
    }
    if (c->kind == KIND_LINK) {
        SetTextColor(dc, c->hot ? RGB(255, 0, 0) : RGB(0, 0, 0));
        if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    }
    if (brush) SetBkMode(dc, TRANSPARENT);
    return brush;
}

}  // namespace win32
