// Child controls: creation by kind and the operations on them by id.
// The hard part is identity: ids are the control ids the system knows
// (GetDlgCtrlID returns them, so other programs find our controls by
// id), they are unique across all windows, and id 0 is a real control.

#include "platform/win32/internal.h"

#include <richedit.h>

namespace win32 {
namespace {

std::vector<Control> g_controls;

struct ClassAndStyle {
    const char* cls;
    DWORD style;
    DWORD ex_style;
};

ClassAndStyle class_for(const ControlArgs& a) {
    const bool right = a.flags & CTL_ALIGN_RIGHT;
    const bool centre = a.flags & CTL_ALIGN_CENTRE;
    switch (a.kind) {
        case KIND_FRAME:
            return {"BUTTON", BS_GROUPBOX, 0};
        case KIND_EDIT: {
            DWORD s = ES_AUTOHSCROLL | WS_TABSTOP;
            if (a.flags & CTL_DIGITS) s |= ES_NUMBER;
            if (right)
                s |= ES_RIGHT;
            else if (centre)
                s |= ES_CENTER;
            return {"EDIT", s, WS_EX_CLIENTEDGE};
        }
        case KIND_LABEL:
            return {"STATIC", static_cast<DWORD>(right ? SS_RIGHT : centre ? SS_CENTER : SS_LEFT), 0};
        case KIND_CHECKBOX:
            return {"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
        case KIND_BUTTON:
            return {"BUTTON",
                    static_cast<DWORD>((a.flags & CTL_DEFAULT_BUTTON ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                                       WS_TABSTOP),
                    0};
        case KIND_PANEL:
            return {WC_TABCONTROLA, WS_CLIPSIBLINGS, 0};
        case KIND_IMAGE:
            // Centred so setting an icon leaves the control its own size.
            return {"STATIC", SS_ICON | SS_NOTIFY | SS_CENTERIMAGE, 0};
        case KIND_LINK:
            return {"STATIC", SS_NOTIFY | SS_LEFT, 0};
        case KIND_RICHEDIT:
            return {RICHEDIT_CLASSA,  // "RichEdit20A", from riched20.dll
                    ES_MULTILINE | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL |
                        WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        case KIND_CANVAS:
            return {canvas_class(), 0, 0};
    }
    return {nullptr, 0, 0};
}

LRESULT send(int id, UINT msg, WPARAM wparam, LPARAM lparam) {
    const Control* c = find_control(id);
    return c ? SendMessageA(c->hwnd, msg, wparam, lparam) : 0;
}

void set_panel_caption(HWND tab, const char* text) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(text);
    SendMessageA(tab, TCM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// Wine's rich edit deletes its text in time that grows with the square of its
// length (a reloaded 8 MB log would hold the window for hours), while a new
// control is empty at once. So emptying one puts a fresh control in its place,
// with the same styles, place, font, colour and tooltip.
void renew_rich_edit(Control& c) {
    HWND old = c.hwnd;
    HWND parent = GetParent(old);
    RECT r;
    GetWindowRect(old, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    HWND fresh = CreateWindowExA(static_cast<DWORD>(GetWindowLongPtrA(old, GWL_EXSTYLE)), RICHEDIT_CLASSA, "",
                                 static_cast<DWORD>(GetWindowLongPtrA(old, GWL_STYLE)), r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance(), nullptr);
    if (!fresh) {
        SetWindowTextA(old, "");
        return;
    }
    SendMessageA(fresh, WM_SETFONT, static_cast<WPARAM>(SendMessageA(old, WM_GETFONT, 0, 0)), FALSE);
    SendMessageA(fresh, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    if (c.background != CLR_INVALID) SendMessageA(fresh, EM_SETBKGNDCOLOR, 0, c.background);
    SetWindowPos(fresh, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);  // same tab order
    const bool focused = GetFocus() == old;
    const std::string tooltip = c.tooltip;
    forget_tooltip(c);
    c.hwnd = fresh;
    DestroyWindow(old);
    if (focused) SetFocus(fresh);
    if (!tooltip.empty()) set_control_tooltip(c.id, tooltip);
}

}  // namespace

std::vector<Control>& controls() { return g_controls; }

Control* find_control(int id) {
    for (auto& c : g_controls)
        if (c.id == id) return IsWindow(c.hwnd) ? &c : nullptr;
    return nullptr;
}

Control* find_control(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (auto& c : g_controls)
        if (c.hwnd == hwnd) return &c;
    return nullptr;
}

}  // namespace win32

using namespace win32;

int create_control(const ControlArgs& a) {
    HWND parent = window_handle(a.window);
    if (!parent || find_control(a.id)) return 0;
    // A stale record (its window was destroyed by the system) must not block the id.
    std::erase_if(g_controls, [&a](const Control& c) { return c.id == a.id; });

    int x = a.x;
    int y = a.y;
    if (a.panel >= 0) {
        const Control* panel = find_control(a.panel);
        if (!panel || panel->kind != KIND_PANEL || panel->window != a.window) return 0;
        x += panel->page.x;
        y += panel->page.y;
    }

    const ClassAndStyle cs = class_for(a);
    if (!cs.cls) return 0;
    if (a.kind == KIND_RICHEDIT) load_rich_edit();
    const char* text = a.text ? a.text : "";
    HWND hwnd = CreateWindowExA(cs.ex_style, cs.cls, text,
                                WS_CHILD | WS_VISIBLE | cs.style | (a.flags & CTL_DISABLED ? WS_DISABLED : 0),
                                x, y, a.w, a.h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(a.id)),
                                instance(), nullptr);
    if (!hwnd) return 0;

    Control c;
    c.id = a.id;
    c.hwnd = hwnd;
    c.window = a.window;
    c.kind = a.kind;
    c.panel = a.panel;
    HFONT font = a.font ? font_handle(a.font) : nullptr;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    switch (a.kind) {
        case KIND_PANEL: {
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(text);
            SendMessageA(hwnd, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            if (!create_panel_page(c)) {
                DestroyWindow(hwnd);
                return 0;
            }
            break;
        }
        case KIND_RICHEDIT:
            // Logs grow far past the default 32K characters.
            SendMessageA(hwnd, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
            break;
        case KIND_LINK:
            make_link(c);
            break;
        default:
            break;
    }
    note_new_control(c);
    g_controls.push_back(c);
    return 1;
}

void destroy_control(int id) {
    Control* c = find_control(id);
    if (!c) return;
    forget_tooltip(*c);
    if (c->kind == KIND_PANEL) drop_panel_page(*c);
    HWND hwnd = c->hwnd;
    std::erase_if(g_controls, [id](const Control& k) { return k.id == id; });
    DestroyWindow(hwnd);
}

int control_exists(int id) { return find_control(id) ? 1 : 0; }

void move_control(int id, int x, int y, int w, int h) {
    const Control* c = find_control(id);
    if (!c) return;
    if (const Control* panel = c->panel >= 0 ? find_control(c->panel) : nullptr) {
        x += panel->page.x;
        y += panel->page.y;
    }
    MoveWindow(c->hwnd, x, y, w, h, TRUE);
}

void set_control_text(int id, const std::string& text) {
    Control* c = find_control(id);
    if (!c) return;
    if (c->kind == KIND_RICHEDIT && text.empty() && GetWindowTextLengthA(c->hwnd) > 0)
        return renew_rich_edit(*c);
    // A panel shows its tab's caption; its window text follows it so that
    // reading the text from outside the process gives the same answer.
    if (c->kind == KIND_PANEL) set_panel_caption(c->hwnd, text.c_str());
    SetWindowTextA(c->hwnd, text.c_str());
}

int get_control_text_length(int id) {
    const Control* c = find_control(id);
    return c && c->kind != KIND_PANEL ? GetWindowTextLengthA(c->hwnd) : 0;
}

std::string get_control_text(int id) {
    const Control* c = find_control(id);
    if (!c) return {};
    if (c->kind == KIND_PANEL) {
        char buffer[256] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(c->hwnd, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.pszText ? std::string(item.pszText) : std::string();
    }
    const int length = GetWindowTextLengthA(c->hwnd);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(c->hwnd, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void set_text_limit(int id, int max_chars) {
    send(id, EM_LIMITTEXT, static_cast<WPARAM>(max_chars > 0 ? max_chars : 0), 0);
}

void enable_control(int id, int enabled) {
    if (const Control* c = find_control(id)) EnableWindow(c->hwnd, enabled ? TRUE : FALSE);
}

int control_enabled(int id) {
    const Control* c = find_control(id);
    return c && IsWindowEnabled(c->hwnd) ? 1 : 0;
}

void set_checked(int id, int checked) { send(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }

int is_checked(int id) { return send(id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }

void set_control_picture(int id, int picture) {
    const Control* c = find_control(id);
    if (!c || c->kind != KIND_IMAGE) return;
    HICON icon = picture ? icon_handle(picture) : nullptr;
    if (picture && !icon) return;
    RECT before;
    GetWindowRect(c->hwnd, &before);
    SendMessageA(c->hwnd, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    // The static may resize itself to the icon; the layout's size wins.
    SetWindowPos(c->hwnd, nullptr, 0, 0, before.right - before.left, before.bottom - before.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void set_control_background(int id, int r, int g, int b) {
    Control* c = find_control(id);
    if (!c || c->kind != KIND_RICHEDIT) return;
    c->background = RGB(r & 0xFF, g & 0xFF, b & 0xFF);
    SendMessageA(c->hwnd, EM_SETBKGNDCOLOR, 0, c->background);
}

void editor_append(int id, const std::string& text) {
    const Control* c = find_control(id);
    if (!c) return;
    // Positions past the end are clamped to it, so the window-text length
    // (which may count line breaks twice) is a safe "end".
    const int end = GetWindowTextLengthA(c->hwnd);
    SendMessageA(c->hwnd, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageA(c->hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

int editor_line_count(int id) { return static_cast<int>(send(id, EM_GETLINECOUNT, 0, 0)); }

int editor_line_index(int id, int line) {
    return static_cast<int>(send(id, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
}

void editor_set_selection(int id, int start, int end) {
    send(id, EM_SETSEL, static_cast<WPARAM>(start), end);
}
