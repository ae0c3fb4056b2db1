// The least a Win32 program needs for each job the client's figures are set
// against, so a figure reads as "how much more than the bare minimum":
//
//   probe idle             one hidden window and a one-second timer
//   probe connect PORT     a shown window, then connect to 127.0.0.1:PORT,
//                          take the greeting and send "get all"
//   probe window PORT      the client's main window from the client's own layout data,
//                          fonts, pictures and tray menu, shown and painted, then
//                          connect as above: the floor of the client's start-up
//   probe richedit FILE    a rich edit that, when button 1 is pressed, takes
//                          FILE in blocks of 1500 lines, repainting between
//                          them; the title becomes "probe done" at the end
//
// The measuring scripts watch it from outside, as they watch the client.
#include <winsock.h>
//
#include <richedit.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/ids.h"
#include "resources/pictures.h"
#include "ui/layout.h"

namespace {

HWND editor = nullptr;
std::string file_name;

void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

std::string read_file(const char* name) {
    std::string text;
    if (FILE* f = std::fopen(name, "rb")) {
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
        std::fclose(f);
    }
    return text;
}

void append(const char* text, size_t size) {
    const std::string block(text, size);
    const int end = GetWindowTextLengthA(editor);
    SendMessageA(editor, EM_SETSEL, end, end);
    SendMessageA(editor, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(block.c_str()));
}

void load(HWND window) {
    const std::string text = read_file(file_name.c_str());
    size_t start = 0, lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' || ++lines % 1500 != 0) continue;
        append(text.data() + start, i + 1 - start);
        start = i + 1;
        SendMessageA(editor, EM_SETSEL, GetWindowTextLengthA(editor), GetWindowTextLengthA(editor));
        pump();
    }
    append(text.data() + start, text.size() - start);
    SendMessageA(editor, EM_SETSEL, GetWindowTextLengthA(editor), GetWindowTextLengthA(editor));
    SetWindowTextA(window, "probe done");
}

LRESULT CALLBACK on_message(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_COMMAND && LOWORD(w) == 1) load(window);
    if (message == WM_CTLCOLORSTATIC && GetPropA(reinterpret_cast<HWND>(l), "page")) {  // on a tab page
        SetBkMode(reinterpret_cast<HDC>(w), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, w, l);
}

void register_class(HINSTANCE instance) {
    WNDCLASSA c = {};
    c.lpfnWndProc = on_message;
    c.hInstance = instance;
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = "probe";
    RegisterClassA(&c);
}

HWND make_window(HINSTANCE instance, int width, int height, bool shown) {
    HWND window = CreateWindowA("probe", "probe", WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr,
                                instance, nullptr);
    if (shown) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

// The same classes and styles as the client's controls, without its bookkeeping.
HWND make_control(HWND window, const ControlSpec& c, int x, int y, HFONT const* fonts) {
    static const struct {
        const char* cls;
        DWORD style;
    } kinds[] = {
        {"BUTTON", BS_GROUPBOX},
        {"EDIT", ES_AUTOHSCROLL | WS_TABSTOP},
        {"STATIC", SS_LEFT},
        {"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP},
        {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP},
        {WC_TABCONTROLA, WS_CLIPSIBLINGS},
        {"STATIC", SS_ICON | SS_CENTERIMAGE},
        {"STATIC", SS_NOTIFY},
        {RICHEDIT_CLASSA, ES_MULTILINE},
    };
    DWORD style = kinds[c.kind].style | WS_CHILD | WS_VISIBLE;
    if (c.flags & CTL_ALIGN_RIGHT) style |= c.kind == KIND_EDIT ? ES_RIGHT : SS_RIGHT;
    if (c.flags & CTL_ALIGN_CENTRE) style |= c.kind == KIND_EDIT ? ES_CENTER : SS_CENTER;
    if (c.flags & CTL_DIGITS) style |= ES_NUMBER;
    if (c.flags & CTL_DEFAULT_BUTTON) style |= BS_DEFPUSHBUTTON;
    HWND h = CreateWindowExA(c.kind == KIND_EDIT ? WS_EX_CLIENTEDGE : 0, kinds[c.kind].cls,
                             c.kind == KIND_PANEL ? "" : c.text, style, x, y, c.w, c.h, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
    if (c.kind == KIND_PANEL) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(c.text);
        SendMessageA(h, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[c.font]), FALSE);
    if (c.limit) SendMessageA(h, EM_SETLIMITTEXT, c.limit, 0);
    return h;
}

// What the client builds before it connects: pictures, fonts, the tray menu and the window.
HWND make_client_window(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HANDLE pictures[PICTURE_END] = {};
    for (int i = 0; i < embedded_picture_count; ++i) {
        const EmbeddedPicture& p = embedded_pictures[i];
        if (p.data[0] == 'B') {  // a .bmp: file header, info header, bits
            auto* info = reinterpret_cast<const BITMAPINFO*>(p.data + 14);
            HDC screen = GetDC(nullptr);
            pictures[p.id] =
                CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT,
                               p.data + *reinterpret_cast<const DWORD*>(p.data + 10), info, DIB_RGB_COLORS);
            ReleaseDC(nullptr, screen);
        } else {  // an .ico with one image
            const DWORD size = *reinterpret_cast<const DWORD*>(p.data + 14),
                        at = *reinterpret_cast<const DWORD*>(p.data + 18);
            std::string image(reinterpret_cast<const char*>(p.data) + at, size);
            pictures[p.id] = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()), size, TRUE,
                                                      0x00030000, 0, 0, LR_DEFAULTCOLOR);
        }
    }
    HFONT fonts[FONT_END] = {static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))};
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (const FontSpec& f : font_specs())
        fonts[f.number] = CreateFontA(-((f.points * dpi + 36) / 72), 0, 0, 0, f.weight, 0, 0, 0,
                                      DEFAULT_CHARSET, 0, 0, 0, 0, f.face);
    HMENU menu = CreatePopupMenu();
    for (const MenuItemSpec& m : tray_menu_layout()) {
        AppendMenuA(menu, m.item ? MF_STRING : MF_SEPARATOR, m.item, m.text ? m.text : "DSL-Modem 1");
        if (m.picture)
            SetMenuItemBitmaps(menu, m.item, MF_BYCOMMAND, static_cast<HBITMAP>(pictures[m.picture]),
                               static_cast<HBITMAP>(pictures[m.picture]));
    }
    RECT r = {0, 0, 690, 421};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&r, style, FALSE);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HWND window =
        CreateWindowA("probe", "probe", style, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                      (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr, instance, nullptr);
    POINT page[2] = {};
    for (const LayoutPart& part : main_window_layout())
        for (const ControlSpec& c : part.controls) {
            const POINT at = part.panel < 0 ? POINT{0, 0} : page[part.panel == ID_DATA_PANEL];
            HWND control = make_control(window, c, at.x + c.x, at.y + c.y, fonts);
            if (part.panel >= 0) SetPropA(control, "page", reinterpret_cast<HANDLE>(1));
            if (c.kind == KIND_PANEL) {
                RECT inside = {c.x, c.y, c.x + c.w, c.y + c.h};
                TabCtrl_AdjustRect(control, FALSE, &inside);
                page[c.id == ID_DATA_PANEL] = {inside.left, inside.top};
            }
        }
    const ControlSpec status = {555, KIND_IMAGE, 386, 24, 48, 48, "", 0, 0, 0};
    SendMessageA(make_control(window, status, status.x, status.y, fonts), STM_SETICON,
                 reinterpret_cast<WPARAM>(pictures[PIC_NOT_CONNECTED]), 0);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    make_control(window, home_link_spec(), home_link_spec().x, home_link_spec().y, fonts);
    return window;
}

// Blocking calls throughout: the least code that gets "get all" on the wire.
void connect_and_ask(int port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port));
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return;
    char greeting[512];
    if (recv(s, greeting, sizeof greeting, 0) <= 0) return;
    send(s, "get all\r\n", 9, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    char mode[16] = "", argument[MAX_PATH] = "";
    std::sscanf(command_line, "%15s %259[^\n]", mode, argument);
    HWND window = nullptr;
    register_class(instance);
    if (std::strcmp(mode, "idle") == 0) {
        window = make_window(instance, 100, 100, false);
        SetTimer(window, 1, 1000, nullptr);
    } else if (std::strcmp(mode, "connect") == 0) {
        window = make_window(instance, 690, 421, true);
        connect_and_ask(std::atoi(argument));
    } else if (std::strcmp(mode, "window") == 0) {
        window = make_client_window(instance);
        connect_and_ask(std::atoi(argument));
    } else if (std::strcmp(mode, "richedit") == 0) {
        file_name = argument;
        LoadLibraryA("riched20.dll");
        window = make_window(instance, 701, 560, true);
        editor = CreateWindowExA(
            WS_EX_CLIENTEDGE, RICHEDIT_CLASSA, "",
            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
            0, 0, 700, 510, window, reinterpret_cast<HMENU>(60), instance, nullptr);
        SendMessageA(editor, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
        CreateWindowA("BUTTON", "Load", WS_CHILD | WS_VISIBLE, 600, 520, 90, 25, window,
                      reinterpret_cast<HMENU>(1), instance, nullptr);
    } else {
        return 2;
    }
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}
