// The least a Win32 program can do while waiting: one hidden window and a
// one-second timer. Its CPU time is the floor the idle client is measured
// against.
#include <windows.h>

static LRESULT CALLBACK on_message(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA c = {};
    c.lpfnWndProc = on_message;
    c.hInstance = instance;
    c.lpszClassName = "idle_probe";
    RegisterClassA(&c);
    HWND window = CreateWindowA("idle_probe", "idle probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                instance, nullptr);
    SetTimer(window, 1, 1000, nullptr);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
    return 0;
}
