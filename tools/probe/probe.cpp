// The least a Win32 program needs for each job the client's figures are set
// against, so a figure reads as "how much more than the bare minimum":
//
//   probe idle             one hidden window and a one-second timer
//   probe connect PORT     a shown window, then connect to 127.0.0.1:PORT,
//                          take the greeting and send "get all"
//   probe richedit FILE    a rich edit that, when button 1 is pressed, takes
//                          FILE in blocks of 1500 lines, repainting between
//                          them; the title becomes "probe done" at the end
//
// The measuring scripts watch it from outside, as they watch the client.
#include <winsock.h>
//
#include <richedit.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, w, l);
}

HWND make_window(HINSTANCE instance, int width, int height, bool shown) {
    WNDCLASSA c = {};
    c.lpfnWndProc = on_message;
    c.hInstance = instance;
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = "probe";
    RegisterClassA(&c);
    HWND window = CreateWindowA("probe", "probe", WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr,
                                instance, nullptr);
    if (shown) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
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
    if (std::strcmp(mode, "idle") == 0) {
        window = make_window(instance, 100, 100, false);
        SetTimer(window, 1, 1000, nullptr);
    } else if (std::strcmp(mode, "connect") == 0) {
        window = make_window(instance, 690, 421, true);
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
