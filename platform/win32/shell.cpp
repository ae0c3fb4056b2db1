// Message boxes and opening addresses with the user's default program.
// The hard part is the message box's modal loop: it dispatches to our window
// procedure while the program is blocked here, which the event queue absorbs
// (timer ticks merge), so nothing special is needed beyond choosing the owner.

#include "platform/win32/internal.h"

#include <shellapi.h>

int message_box(int window, const std::string& title, const std::string& text, int buttons) {
    HWND owner = window == WINDOW_NONE ? nullptr : win32::window_handle(window);
    // An OK/Cancel box asks before doing something, so it carries the information icon.
    const UINT type = buttons == MB_BUTTONS_OK_CANCEL ? MB_OKCANCEL | MB_ICONINFORMATION : MB_OK;
    win32::settle_panels();
    const int answer = MessageBoxA(owner, text.c_str(), title.c_str(), type);
    return answer == IDOK ? MB_ANSWER_OK : MB_ANSWER_CANCEL;
}

void shell_open(const std::string& address) {
    // Nothing useful to do if no program is registered; the result is ignored.
    ShellExecuteA(nullptr, "open", address.c_str(), "", "", SW_SHOWNORMAL);
}
