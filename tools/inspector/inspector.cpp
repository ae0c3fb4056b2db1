// vyx_inspect: reads and drives the client's window from outside, for the end-to-end tests.
//
// One long-lived process (a fresh Wine process per query is far too slow while another Wine
// program is busy). Reads one command per line on stdin and answers one line on stdout,
// flushed at once, starting with "ok" or "error"; only `list` answers several lines, closed
// by `end`. Texts travel escaped so they stay on one line: a backslash and every control byte
// as \xNN (CR as \x0d), in answers and in the TEXT of `settext` and the TITLE of `find`.
//
// Commands (ID is a control id, decimal or 0x hex; timeouts in milliseconds):
//   ping | quit               ok (quit then exits)
//   find "TITLE" [timeout]    wait for a top-level window with exactly this title; it becomes
//                             the main and the current window (an unowned window wins over an
//                             owned one: a message box may carry the main window's title)
//   there "TITLE"             1 when such a window exists, else 0
//   popup [timeout]           wait for another visible top-level window of the main window's
//                             process (a message box, say); it becomes the current window
//   main                      make the main window current again
//   sync [timeout]            post a marker to the main window and wait until the client takes
//                             it from its queue: everything posted before it has been handled
//   info                      "visible=0|1 iconic=0|1 client=W,H xwin=N title=TITLE" of the current
//                             window (xwin: the X11 window Wine uses for it, 0 if none)
//   list                      every child control in z (tab) order, one per line, then "end":
//                             id=ID class=CLASS rect=X,Y,W,H enabled=0|1 style=0xS limit=N text=TEXT
//                             (rect in the current window's client area; limit of edits only)
//   text|enabled|checked ID
//   tip ID                    the control's tooltip, empty for none
//   font ID                   "height=H weight=W italic=0|1 face=NAME", or "system" for no WM_SETFONT
//   click ID | command ID     post BM_CLICK (posted: the handler may open a modal box) | post
//                             WM_COMMAND with BN_CLICKED for ID (menu items too)
//   settext ID TEXT           WM_SETTEXT
//   close | minimize          post WM_CLOSE | WM_SYSCOMMAND SC_MINIMIZE to the current window
//   tray MESSAGE              post the tray callback (12501, wParam 1, lParam MESSAGE) to the main window
//   gui                       "gdi=N user=M": the GDI handles in the window's process's table and
//                             its number of windows (GetGuiResources answers nothing under Wine)
//   trayicon                  1 when the shell holds the main window's tray icon 1, else 0
//   fakeshell on|off          stand in for a notification area that is not there yet: a window of
//                             the shell's tray class, found before the real one, that refuses every
//                             icon; "fakeshell" alone answers "ok N TIP": how many icon requests it
//                             refused and the last tooltip asked for

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/inspector/hook.h"

namespace {

constexpr UINT kTrayCallback = 12501;
constexpr UINT kTrayIconId = 1;
constexpr DWORD kDefaultWaitMs = 5000;
constexpr UINT kSendTimeoutMs = 2000;  // a busy or hung client must not hang the inspector
constexpr DWORD kPollMs = 20;

HWND g_main = nullptr;
HWND g_current = nullptr;

void reply(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A backslash and every control byte travel as \xNN, so a text stays on one line.
std::string escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        char buf[8];
        std::snprintf(buf, sizeof buf, c < 0x20 || c == 0x7f || c == '\\' ? "\\x%02x" : "%c", c);
        out += buf;
    }
    return out;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool coded = s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
                           std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
                           std::isxdigit(static_cast<unsigned char>(s[i + 3]));
        out += coded ? static_cast<char>(std::strtol(s.substr(i + 2, 2).c_str(), nullptr, 16)) : s[i];
        if (coded) i += 3;
    }
    return out;
}

bool parse_number(const std::string& s, long long& value) {
    char* end = nullptr;
    value = std::strtoll(s.c_str(), &end, 0);
    return !s.empty() && *end == '\0';
}

// Splits off the first space-separated word; the rest keeps its inner spaces.
std::string next_word(std::string& rest) {
    size_t start = rest.find_first_not_of(' ');
    size_t end = rest.find(' ', start);
    std::string word = start == std::string::npos ? "" : rest.substr(start, end - start);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
    return word;
}

// Every top-level window, or every window below `parent` (nested ones too).
std::vector<HWND> each_window(HWND parent = nullptr) {
    std::vector<HWND> found;
    WNDENUMPROC add = [](HWND h, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
    };
    if (parent) EnumChildWindows(parent, add, reinterpret_cast<LPARAM>(&found));
    if (!parent) EnumWindows(add, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The answer, or -1 when the window does not answer in time.
LONG_PTR send_timed(HWND h, UINT msg, WPARAM w = 0, LPARAM l = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) return -1;
    return static_cast<LONG_PTR>(result);
}

DWORD process_of(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

std::string window_class(HWND h) {
    char buf[256] = {};
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

// WM_GETTEXT rather than GetWindowText: the latter does not read other processes' controls.
bool window_text(HWND h, std::string& text) {
    LONG_PTR len = send_timed(h, WM_GETTEXTLENGTH);
    if (len < 0) return false;
    std::vector<char> buf(len + 2, '\0');
    LONG_PTR got = send_timed(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    if (got < 0) return false;
    text.assign(buf.data(), std::min<size_t>(got, buf.size() - 1));
    return true;
}

std::string window_title(HWND h) {
    char buf[512] = {};
    GetWindowTextA(h, buf, sizeof buf);  // a top-level title is cached, so this never blocks
    return buf;
}

HWND find_top_level(const std::string& title) {
    HWND owned = nullptr;
    for (HWND h : each_window()) {
        if (window_title(h) != title) continue;
        // A message box may carry the same title as the main window; it always has an owner.
        if (!GetWindow(h, GW_OWNER)) return h;
        if (!owned) owned = h;
    }
    return owned;
}

template <typename Pred>
bool wait_until(DWORD timeout_ms, Pred pred) {
    for (DWORD start = GetTickCount(); !pred(); Sleep(kPollMs))
        if (GetTickCount() - start >= timeout_ms) return false;
    return true;
}

HWND control_by_id(int id) {
    for (HWND h : each_window(g_current))
        if (GetDlgCtrlID(h) == id) return h;
    return nullptr;
}

std::string control_line(HWND h) {
    std::string text;
    window_text(h, text);
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, g_current, reinterpret_cast<POINT*>(&r), 2);
    const std::string cls = window_class(h);
    char line[400];
    std::snprintf(line, sizeof line,
                  "id=%d class=%s rect=%ld,%ld,%ld,%ld enabled=%d style=%#lx limit=%lld text=",
                  GetDlgCtrlID(h), cls.c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                  IsWindowEnabled(h) ? 1 : 0, static_cast<unsigned long>(GetWindowLongA(h, GWL_STYLE)),
                  static_cast<long long>(cls == "Edit" ? send_timed(h, EM_GETLIMITTEXT) : 0));
    return line + escape(text);
}

// Asks `question` about `hwnd` inside the process that owns it; empty on success.
std::string ask_inside(HWND hwnd, Question question, InsideReply& out, DWORD timeout = kSendTimeoutMs) {
    char name[64];
    std::snprintf(name, sizeof name, kReplyBlockFormat, static_cast<unsigned long>(GetCurrentProcessId()));
    HANDLE block =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(InsideReply), name);
    if (!block) return "error cannot create shared block";
    auto* r = static_cast<InsideReply*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, sizeof(InsideReply)));
    if (!r) {
        CloseHandle(block);
        return "error cannot map shared block";
    }
    std::memset(r, 0, sizeof(InsideReply));
    std::string error = "error client did not answer";
    HMODULE dll = LoadLibraryA("vyx_inspect_hook.dll");  // from the inspector's own folder
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "question_hook")));
    HHOOK hook =
        proc ? SetWindowsHookExA(WH_GETMESSAGE, proc, dll, GetWindowThreadProcessId(hwnd, nullptr)) : nullptr;
    if (!hook) {
        error = "error cannot hook client " + std::to_string(GetLastError());
    } else {
        PostMessageA(hwnd, RegisterWindowMessageA(kQuestionMessage), GetCurrentProcessId(), question);
        if (wait_until(timeout, [&] { return r->done != 0; })) {
            std::memcpy(&out, r, sizeof out);
            error.clear();
        }
        UnhookWindowsHookEx(hook);
    }
    UnmapViewOfFile(r);
    CloseHandle(block);
    return error;
}

std::string font_line(HWND h) {
    InsideReply r;
    if (std::string err = ask_inside(h, kAskFont, r); !err.empty()) return err;
    if (!r.has_font) return "ok system";  // no WM_SETFONT: the control draws with the system font
    return "ok height=" + std::to_string(r.height) + " weight=" + std::to_string(r.weight) +
           " italic=" + (r.italic ? "1" : "0") +
           " face=" + escape(std::string(r.face, strnlen(r.face, LF_FACESIZE)));
}

// An optional timeout; false when there is a word that is not one.
bool timeout_arg(std::string& rest, DWORD& timeout) {
    std::string word = next_word(rest);
    long long v = 0;
    if (!word.empty() && (!parse_number(word, v) || v < 0)) return false;
    if (!word.empty()) timeout = static_cast<DWORD>(v);
    return true;
}

// `find "TITLE" [timeout]`
bool split_title(std::string s, std::string& title, DWORD& timeout) {
    size_t close = s.find('"', 1);
    if (s.empty() || s[0] != '"' || close == std::string::npos) return false;
    title = unescape(s.substr(1, close - 1));
    s = s.substr(close + 1);
    return timeout_arg(s, timeout) && next_word(s).empty();
}

std::string post(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (!PostMessageA(h, msg, w, l)) return "error post failed " + std::to_string(GetLastError());
    return "ok";
}

// GetGuiResources answers 0 under Wine: count the process's GDI handle table, read from inside,
// and its windows instead. Good enough to see a leak grow.
std::string gui_counts(HWND h) {
    InsideReply r;
    if (std::string err = ask_inside(h, kAskGdiObjects, r); !err.empty()) return err;
    if (r.gdi_objects < 0) return "error no GDI handle table";
    long windows = 0;
    for (HWND w : each_window(GetDesktopWindow())) windows += process_of(w) == process_of(h);
    return "ok gdi=" + std::to_string(r.gdi_objects) + " user=" + std::to_string(windows);
}

// ---- A notification area that refuses icons --------------------------------------

// Shell_NotifyIcon sends its request to the first window of this class it finds; one that
// answers 0 is a shell that is not ready. It runs on a thread of its own, because the
// client's request is a sent message that must be answered while we read stdin.
LONG g_refused = 0;
HANDLE g_shell_thread = nullptr;
DWORD g_shell_thread_id = 0;

char g_tip[256] = "";  // the tooltip of the last request that set one

LRESULT CALLBACK fake_shell_proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_COPYDATA) {
        // Wine's request: window, id, flags, callback message, then the tooltip as 128 WCHARs.
        const auto* request = static_cast<const BYTE*>(reinterpret_cast<COPYDATASTRUCT*>(l)->lpData);
        if (reinterpret_cast<COPYDATASTRUCT*>(l)->cbData >= 16 + 256 &&
            (*reinterpret_cast<const UINT*>(request + 8) & NIF_TIP))
            WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(request + 16), 128, g_tip,
                                sizeof g_tip, nullptr, nullptr);
        InterlockedIncrement(&g_refused);
        return 0;
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(h, msg, w, l);
}

DWORD WINAPI fake_shell_thread(LPVOID ready) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = fake_shell_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 1, 1,
                             nullptr, nullptr, wc.hInstance, nullptr);
    SetEvent(static_cast<HANDLE>(ready));
    if (!h) return 1;
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_APP) DestroyWindow(h);
        DispatchMessageA(&m);
    }
    return 0;
}

std::string fake_shell(const std::string& how) {
    if (how.empty()) return "ok " + std::to_string(g_refused) + " " + escape(g_tip);
    if (how == "on") {
        if (g_shell_thread) return "error already on";
        g_refused = 0;
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_shell_thread = CreateThread(nullptr, 0, fake_shell_thread, ready, 0, &g_shell_thread_id);
        WaitForSingleObject(ready, kDefaultWaitMs);
        CloseHandle(ready);
        return g_shell_thread ? "ok" : "error no thread";
    }
    if (how == "off") {
        if (!g_shell_thread) return "error not on";
        PostThreadMessageA(g_shell_thread_id, WM_APP, 0, 0);
        WaitForSingleObject(g_shell_thread, kDefaultWaitMs);
        CloseHandle(g_shell_thread);
        g_shell_thread = nullptr;
        return "ok";
    }
    return "error usage: fakeshell [on|off]";
}

std::string handle(const std::string& line, bool& quit) {
    std::string rest = line;
    std::string cmd = next_word(rest);
    if (cmd.empty()) return "error empty command";

    DWORD timeout = kDefaultWaitMs;
    if ((cmd == "popup" || cmd == "sync") && !timeout_arg(rest, timeout)) return "error bad timeout";
    if (cmd == "ping") return "ok";
    if (cmd == "quit") {
        quit = true;
        return "ok";
    }
    if (cmd == "fakeshell") return fake_shell(next_word(rest));
    if (cmd == "find" || cmd == "there") {
        std::string title;
        if (!split_title(rest, title, timeout)) return "error usage: " + cmd + " \"TITLE\" [timeout]";
        if (cmd == "there") return find_top_level(title) ? "ok 1" : "ok 0";
        HWND found = nullptr;
        if (!wait_until(timeout, [&] { return (found = find_top_level(title)) != nullptr; }))
            return "error timeout no window titled " + escape(title);
        g_main = g_current = found;
        return "ok";
    }

    // Everything below works on a window found before.
    if (!g_current) return "error no window: use find first";
    const bool on_main =
        cmd == "main" || cmd == "popup" || cmd == "sync" || cmd == "tray" || cmd == "trayicon";
    if (on_main && !IsWindow(g_main)) return "error main window is gone";
    if (cmd == "main") g_current = g_main;
    if (!IsWindow(g_current)) return "error window is gone";
    if (cmd == "main") return "ok";

    if (cmd == "popup") {
        HWND found = nullptr;
        if (!wait_until(timeout, [&] {
                for (HWND h : each_window()) {
                    // Skip the process's invisible helpers (IME, tray-message windows) and tooltips.
                    if (h == g_main || process_of(h) != process_of(g_main) || !IsWindowVisible(h)) continue;
                    std::string cls = window_class(h);
                    if (cls == "tooltips_class32" || cls == "IME") continue;
                    found = h;
                    return true;
                }
                return false;
            }))
            return "error timeout no popup";
        g_current = found;
        return "ok class=" + escape(window_class(found)) + " title=" + escape(window_title(found));
    }
    if (cmd == "sync") {
        InsideReply r;
        std::string err = ask_inside(g_main, kSync, r, timeout);
        return err.empty() ? "ok" : err;
    }
    if (cmd == "info") {
        HWND h = g_current;
        RECT r;
        GetClientRect(h, &r);
        // Wine keeps the X11 window of a top-level window in this property.
        auto xwin = reinterpret_cast<ULONG_PTR>(GetPropA(h, "__wine_x11_whole_window"));
        return std::string("ok visible=") + (IsWindowVisible(h) ? "1" : "0") +
               " iconic=" + (IsIconic(h) ? "1" : "0") + " client=" + std::to_string(r.right) + "," +
               std::to_string(r.bottom) + " xwin=" + std::to_string(xwin) +
               " title=" + escape(window_title(h));
    }
    if (cmd == "list") {
        for (HWND h : each_window(g_current)) reply(control_line(h));
        return "end";
    }
    if (cmd == "gui") return gui_counts(g_current);
    if (cmd == "trayicon") {
        NOTIFYICONDATAA nid{};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = g_main;
        nid.uID = kTrayIconId;
        return Shell_NotifyIconA(NIM_MODIFY, &nid) ? "ok 1" : "ok 0";
    }
    if (cmd == "close") return post(g_current, WM_CLOSE, 0, 0);
    if (cmd == "minimize") return post(g_current, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    long long number = 0;
    std::string word = next_word(rest);
    if (!parse_number(word, number)) return "error unknown command or no number: " + escape(line);
    if (cmd == "tray") return post(g_main, kTrayCallback, kTrayIconId, static_cast<LPARAM>(number));

    // Commands on one control.
    HWND ctl = control_by_id(static_cast<int>(number));
    // Menu items have no window, so this one does not need the control to exist.
    if (cmd == "command")
        return post(g_current, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(number), BN_CLICKED),
                    reinterpret_cast<LPARAM>(ctl));
    if (!ctl) return "error no control " + escape(word);
    if (cmd == "text") {
        std::string text;
        if (!window_text(ctl, text)) return "error no answer to WM_GETTEXT";
        return "ok " + escape(text);
    }
    if (cmd == "enabled") return IsWindowEnabled(ctl) ? "ok 1" : "ok 0";
    if (cmd == "checked") {
        LONG_PTR state = send_timed(ctl, BM_GETCHECK);
        return state < 0 ? "error no answer to BM_GETCHECK" : "ok " + std::to_string(state);
    }
    if (cmd == "font") return font_line(ctl);
    if (cmd == "tip") {
        InsideReply r;
        std::string err = ask_inside(ctl, kAskTip, r);
        return err.empty() ? "ok " + escape(std::string(r.tip, strnlen(r.tip, sizeof r.tip))) : err;
    }
    if (cmd == "click") return post(ctl, BM_CLICK, 0, 0);
    if (cmd == "settext") {
        // The text is everything after the id, inner spaces kept.
        std::string text = unescape(rest);
        LONG_PTR result = send_timed(ctl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (result < 0) return "error no answer to WM_SETTEXT";
        return result ? "ok" : "error WM_SETTEXT refused";
    }
    return "error unknown command " + escape(cmd);
}

}  // namespace

int main() {
    // Binary mode: answers end in a bare LF, and a CR typed in a text is escaped, never doubled.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    std::string line;
    bool quit = false;
    for (int c; !quit && (c = std::fgetc(stdin)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        reply(handle(line, quit));
        line.clear();
    }
    return 0;
}
