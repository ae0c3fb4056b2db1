// vyx_inspect: reads and drives the client's window from outside, for the end-to-end tests.
//
// One long-lived process (starting a fresh Wine process per query is far too slow while
// another Wine program is busy). Reads one command per line on stdin and answers exactly
// one line on stdout, flushed at once; only `list` and `windows` answer several lines,
// closed by a line `end`.
//
// Every answer starts with "ok" or "error". Texts in answers are escaped so they stay on
// one line: backslash as \\, CR as \r, LF as \n, tab as \t, other control bytes as \xNN.
// The same escapes are understood in the TEXT of `settext` and the TITLE of `find`.
//
// Commands (ID is a control id, decimal or 0x hex; timeouts in milliseconds):
//   ping                      ok
//   find TITLE [timeout]      wait for a top-level window with exactly this title; it becomes
//                             both the main and the current window. TITLE may be "quoted".
//                             An unowned window wins over an owned one (a message box may
//                             carry the main window's title).
//   windows                   every top-level window, one per line, then "end":
//                             hwnd=H pid=P visible=0|1 owned=0|1 class=CLASS title=TITLE
//   popup [timeout]           wait for another visible top-level window of the main window's
//                             process (a message box, say); it becomes the current window.
//   main                      make the main window current again
//   idle [timeout]            wait until the current window's process waits for input
//   sync [timeout]            post a marker to the main window and wait until the client takes
//                             it from its queue: everything posted before it has been handled
//   info                      visible, iconic, enabled, foreground, class, title of the current window
//   client                    client-area width and height
//   xwin                      the X11 window id Wine uses for the current window (0 if none)
//   list                      every child control, one per line, then "end":
//                             id=ID class=CLASS parent=ID|- rect=X,Y,W,H enabled=0|1 visible=0|1
//                             checked=0|1|2 text=TEXT   (parent "-": directly on the window)
//   text|enabled|visible|checked|rect|class ID
//   font ID                   "height=H weight=W italic=0|1 face=NAME", or "system" for no WM_SETFONT
//   click ID                  post BM_CLICK (posted: the handler may open a modal box)
//   command ID                post WM_COMMAND with BN_CLICKED for ID (menu items too)
//   settext ID TEXT           WM_SETTEXT
//   close                     post WM_CLOSE to the current window
//   minimize                  post WM_SYSCOMMAND SC_MINIMIZE
//   tray EVENT                post the tray callback (12501, wParam 1, lParam EVENT) to the main
//                             window; EVENT is a number or lbuttonup, lbuttondblclk, rbuttonup, ...
//   gui                       GDI and USER object counts of the window's process: "gdi=N user=M".
//                             Where GetGuiResources answers nothing (Wine), gdi is counted in the
//                             process's GDI handle table and user is its number of windows, and
//                             the answer ends in " counted".
//   trayicon                  1 when the shell holds the main window's tray icon 1, else 0
//   fakeshell on|off          stand in for a notification area that is not there yet: a
//                             window of the shell's tray class, found before the real one,
//                             that refuses every icon; "fakeshell" alone tells how many
//                             icon requests it refused: "ok N"
//   gone [timeout]            wait until the current window no longer exists
//   quit                      ok, then exit
//
// Rects of controls are relative to the current window's client area, "x y w h".
// `visible` reports the control's own WS_VISIBLE bit, so it still tells while the whole
// window is hidden in the tray.

#include <windows.h>
#include <shellapi.h>
#include <winternl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

std::string escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        switch (c) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'x':
                if (i + 2 < s.size() && hex_digit(s[i + 1]) >= 0 && hex_digit(s[i + 2]) >= 0) {
                    out += static_cast<char>(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2]));
                    i += 2;
                } else {
                    out += "\\x";
                }
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool parse_number(const std::string& s, long long& value) {
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(s.c_str(), &end, 0);
    return end && *end == '\0';
}

// Splits off the first space-separated word; the rest keeps its inner spaces.
std::string next_word(std::string& rest) {
    size_t start = rest.find_first_not_of(' ');
    if (start == std::string::npos) {
        rest.clear();
        return {};
    }
    size_t end = rest.find(' ', start);
    std::string word = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return word;
}

std::string window_class(HWND h) {
    char buf[256] = {};
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

// WM_GETTEXT rather than GetWindowText: the latter does not read other processes' controls.
bool window_text(HWND h, std::string& text) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len)) return false;
    std::vector<char> buf(len + 2, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return false;
    text.assign(buf.data(), got < buf.size() ? got : buf.size() - 1);
    return true;
}

std::string window_title(HWND h) {
    char buf[512] = {};
    GetWindowTextA(h, buf, sizeof buf);  // a top-level title is cached, so this never blocks
    return buf;
}

struct FindTitle {
    std::string title;
    HWND owned = nullptr;
    HWND unowned = nullptr;
};

BOOL CALLBACK find_title_proc(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FindTitle*>(lp);
    if (window_title(h) != f->title) return TRUE;
    // A message box may carry the same title as the main window; it always has an owner.
    if (GetWindow(h, GW_OWNER)) {
        if (!f->owned) f->owned = h;
        return TRUE;
    }
    f->unowned = h;
    return FALSE;
}

HWND find_top_level(const std::string& title) {
    FindTitle f{title};
    EnumWindows(find_title_proc, reinterpret_cast<LPARAM>(&f));
    return f.unowned ? f.unowned : f.owned;
}

struct FindPopup {
    DWORD pid;
    HWND exclude;
    HWND found = nullptr;
};

BOOL CALLBACK find_popup_proc(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FindPopup*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (h == f->exclude || pid != f->pid || !IsWindowVisible(h)) return TRUE;
    // Skip the process's invisible helpers (IME, tray-message windows) and tooltips.
    std::string cls = window_class(h);
    if (cls == "tooltips_class32" || cls == "IME") return TRUE;
    f->found = h;
    return FALSE;
}

BOOL CALLBACK top_level_proc(HWND h, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    std::string cls = window_class(h);
    if (cls == "IME" || cls == "tooltips_class32") return TRUE;
    char handle[32];
    std::snprintf(handle, sizeof handle, "%#llx",
                  static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(h)));
    reply("hwnd=" + std::string(handle) + " pid=" + std::to_string(pid) +
          " visible=" + (IsWindowVisible(h) ? "1" : "0") + " owned=" + (GetWindow(h, GW_OWNER) ? "1" : "0") +
          " class=" + escape(cls) + " title=" + escape(window_title(h)));
    return TRUE;
}

template <typename Pred>
bool wait_until(DWORD timeout_ms, Pred pred) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start >= timeout_ms) return false;
        Sleep(kPollMs);
    }
}

struct Control {
    HWND hwnd;
    int id;
};

struct ChildList {
    std::vector<Control> controls;
};

BOOL CALLBACK child_proc(HWND h, LPARAM lp) {
    reinterpret_cast<ChildList*>(lp)->controls.push_back({h, GetDlgCtrlID(h)});
    return TRUE;
}

std::vector<Control> children(HWND parent) {
    ChildList list;
    EnumChildWindows(parent, child_proc, reinterpret_cast<LPARAM>(&list));
    return list.controls;
}

HWND control_by_id(int id) {
    for (const Control& c : children(g_current))
        if (c.id == id) return c.hwnd;
    return nullptr;
}

RECT rect_in_client(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, g_current, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string rect_text(const RECT& r, char sep = ' ') {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%ld%c%ld%c%ld%c%ld", static_cast<long>(r.left), sep,
                  static_cast<long>(r.top), sep, static_cast<long>(r.right - r.left), sep,
                  static_cast<long>(r.bottom - r.top));
    return buf;
}

bool own_style_visible(HWND h) { return (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0; }

int check_state(HWND h) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutA(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state)) return -1;
    return static_cast<int>(state);
}

std::string control_line(HWND h, int id) {
    std::string text;
    window_text(h, text);
    HWND parent = GetParent(h);
    std::string parent_id = parent == g_current ? "-" : std::to_string(GetDlgCtrlID(parent));
    return "id=" + std::to_string(id) + " class=" + window_class(h) + " parent=" + parent_id +
           " rect=" + rect_text(rect_in_client(h), ',') + " enabled=" + (IsWindowEnabled(h) ? "1" : "0") +
           " visible=" + (own_style_visible(h) ? "1" : "0") + " checked=" + std::to_string(check_state(h)) +
           " text=" + escape(text);
}

// WM_GETFONT does not cross process boundaries under Wine, and a font handle means nothing
// outside its own process anyway. So the question is asked inside the client: a message hook
// loads this very image into the client's GUI thread, answers from there into a small shared
// block, and is removed again.
//
// An image loaded as a hook module that way is an EXE, and Wine maps an EXE loaded as a
// library without binding its imports or applying its relocations. So the hook code uses only
// RIP-relative addressing (no extern data, no static-local guards, no jump tables, no C
// runtime), finds its own image through the loader's module list, and binds its imports
// through ntdll's loader (ntdll is always loaded and never forwards) before calling any.
enum Question : LPARAM { kAskFont = 1, kAskGdiObjects = 2, kSync = 3 };

struct InsideReply {
    volatile LONG done;
    LONG has_font;
    LONG height;
    LONG weight;
    LONG italic;
    char face[LF_FACESIZE];
    LONG gdi_objects;
};

constexpr const char kQuestionMessage[] = "vyx_inspect_question";
constexpr const char kReplyBlockFormat[] = "vyx_inspect_reply_%lu";

using LdrGetProcedureAddressFn = LONG(NTAPI*)(HMODULE, const ANSI_STRING*, ULONG, void**);

#define NO_LIBRARY_CALLS __attribute__((optimize("no-tree-loop-distribute-patterns")))

NO_LIBRARY_CALLS bool same_dll_name(const UNICODE_STRING& full, const char* name) {
    size_t n = 0;
    while (name[n]) ++n;
    size_t chars = full.Length / sizeof(WCHAR);
    if (chars < n || (chars > n && full.Buffer[chars - n - 1] != L'\\')) return false;
    const WCHAR* tail = full.Buffer + chars - n;
    for (size_t i = 0; i < n; ++i) {
        WCHAR a = tail[i], b = static_cast<unsigned char>(name[i]);
        if (a >= L'A' && a <= L'Z') a = a - L'A' + L'a';
        if (b >= L'A' && b <= L'Z') b = b - L'A' + L'a';
        if (a != b) return false;
    }
    return true;
}

template <typename Pred>
NO_LIBRARY_CALLS HMODULE loaded_module_where(Pred pred) {
    PEB* peb;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
    for (LIST_ENTRY* e = head->Flink; e != head; e = e->Flink) {
        auto* entry = CONTAINING_RECORD(e, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
        if (pred(entry)) return static_cast<HMODULE>(entry->DllBase);
    }
    return nullptr;
}

NO_LIBRARY_CALLS HMODULE loaded_module(const char* name) {
    return loaded_module_where([&](LDR_DATA_TABLE_ENTRY* e) { return same_dll_name(e->FullDllName, name); });
}

template <typename T>
T* at_rva(HMODULE base, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(base) + rva);
}

IMAGE_DATA_DIRECTORY& directory(HMODULE base, int which) {
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    return at_rva<IMAGE_NT_HEADERS>(base, dos->e_lfanew)->OptionalHeader.DataDirectory[which];
}

NO_LIBRARY_CALLS void* plain_export(HMODULE base, const char* name) {
    auto& dir = directory(base, IMAGE_DIRECTORY_ENTRY_EXPORT);
    auto* exports = at_rva<IMAGE_EXPORT_DIRECTORY>(base, dir.VirtualAddress);
    auto* names = at_rva<DWORD>(base, exports->AddressOfNames);
    auto* ordinals = at_rva<WORD>(base, exports->AddressOfNameOrdinals);
    auto* functions = at_rva<DWORD>(base, exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        const char* candidate = at_rva<const char>(base, names[i]);
        size_t k = 0;
        while (name[k] && candidate[k] == name[k]) ++k;
        if (!name[k] && !candidate[k]) return at_rva<void>(base, functions[ordinals[i]]);
    }
    return nullptr;
}

LRESULT CALLBACK question_hook(int code, WPARAM removed, LPARAM lp);

NO_LIBRARY_CALLS HMODULE own_image() {
    auto here = reinterpret_cast<BYTE*>(&question_hook);
    return loaded_module_where([&](LDR_DATA_TABLE_ENTRY* e) {
        auto* base = static_cast<BYTE*>(e->DllBase);
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        DWORD size = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew)->OptionalHeader.SizeOfImage;
        return here >= base && here < base + size;
    });
}

bool g_hook_bound = false;

NO_LIBRARY_CALLS bool bind_own_imports() {
    HMODULE ntdll = loaded_module("ntdll.dll");
    if (!ntdll) return false;
    auto resolve = reinterpret_cast<LdrGetProcedureAddressFn>(plain_export(ntdll, "LdrGetProcedureAddress"));
    if (!resolve) return false;
    HMODULE self = own_image();
    if (!self) return false;
    auto& dir = directory(self, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (auto* d = at_rva<IMAGE_IMPORT_DESCRIPTOR>(self, dir.VirtualAddress); d->Name; ++d) {
        HMODULE dll = loaded_module(at_rva<const char>(self, d->Name));
        auto* names =
            at_rva<IMAGE_THUNK_DATA>(self, d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk);
        auto* slots = at_rva<IMAGE_THUNK_DATA>(self, d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            void* fn = nullptr;
            if (dll) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                    resolve(dll, nullptr, IMAGE_ORDINAL(names->u1.Ordinal), &fn);
                } else {
                    auto* by_name =
                        at_rva<IMAGE_IMPORT_BY_NAME>(self, static_cast<DWORD>(names->u1.AddressOfData));
                    ANSI_STRING str;
                    USHORT len = 0;
                    while (by_name->Name[len]) ++len;
                    str.Length = len;
                    str.MaximumLength = len + 1;
                    str.Buffer = by_name->Name;
                    resolve(dll, &str, 0, &fn);
                }
            }
            // What the client has not loaded stays unbound; the hook needs only kernel32, user32, gdi32.
            if (fn) slots->u1.Function = reinterpret_cast<ULONG_PTR>(fn);
        }
    }
    return true;
}

// Wine fills the GDI handle table in the PEB like Windows does: 24-byte entries, the object
// type at byte 14, zero for a free slot.
constexpr size_t kGdiEntrySize = 24;
constexpr size_t kGdiTypeOffset = 14;
constexpr size_t kGdiEntries = 0x10000;

NO_LIBRARY_CALLS LONG count_gdi_objects() {
    PEB* peb;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    // GdiSharedHandleTable sits at 0xf8 in the 64-bit PEB; winternl.h keeps it in a reserved field.
    auto* table = *reinterpret_cast<BYTE**>(reinterpret_cast<BYTE*>(peb) + 0xf8);
    if (!table) return -1;
    LONG count = 0;
    for (size_t i = 0; i < kGdiEntries; ++i)
        if (table[i * kGdiEntrySize + kGdiTypeOffset]) ++count;
    return count;
}

void answer_inside(HWND hwnd, Question question, InsideReply* r) {
    if (question == kAskFont) {
        auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
        LOGFONTA lf;
        r->has_font = font != nullptr;
        if (font && GetObjectA(font, sizeof lf, &lf)) {
            r->height = lf.lfHeight;
            r->weight = lf.lfWeight;
            r->italic = lf.lfItalic;
            lstrcpynA(r->face, lf.lfFaceName, LF_FACESIZE);
        }
    } else if (question == kAskGdiObjects) {
        r->gdi_objects = count_gdi_objects();
    }
}

LRESULT CALLBACK question_hook(int code, WPARAM removed, LPARAM lp) {
    if (!g_hook_bound && !(g_hook_bound = bind_own_imports())) return 0;
    auto* msg = reinterpret_cast<MSG*>(lp);
    if (code == HC_ACTION && removed == PM_REMOVE &&
        msg->message == RegisterWindowMessageA(kQuestionMessage)) {
        char name[64];
        wsprintfA(name, kReplyBlockFormat, static_cast<unsigned long>(msg->wParam));
        if (HANDLE block = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)) {
            if (auto* r = static_cast<InsideReply*>(
                    MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, sizeof(InsideReply)))) {
                answer_inside(msg->hwnd, static_cast<Question>(msg->lParam), r);
                InterlockedExchange(&r->done, 1);
                UnmapViewOfFile(r);
            }
            CloseHandle(block);
        }
        msg->message = WM_NULL;  // the client never sees the question
    }
    return CallNextHookEx(nullptr, code, removed, lp);
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
    DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, question_hook, GetModuleHandleA(nullptr), thread);
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

long long tray_event(const std::string& word, bool& ok) {
    static const struct {
        const char* name;
        UINT msg;
    } names[] = {
        {"mousemove", WM_MOUSEMOVE},         {"lbuttondown", WM_LBUTTONDOWN}, {"lbuttonup", WM_LBUTTONUP},
        {"lbuttondblclk", WM_LBUTTONDBLCLK}, {"rbuttondown", WM_RBUTTONDOWN}, {"rbuttonup", WM_RBUTTONUP},
        {"rbuttondblclk", WM_RBUTTONDBLCLK}, {"mbuttonup", WM_MBUTTONUP},
    };
    for (const auto& n : names)
        if (word == n.name) {
            ok = true;
            return n.msg;
        }
    long long value = 0;
    ok = parse_number(word, value);
    return value;
}

std::string timeout_arg(std::string& rest, DWORD& timeout) {
    std::string word = next_word(rest);
    if (word.empty()) return {};
    long long v = 0;
    if (!parse_number(word, v) || v < 0) return "error bad timeout " + escape(word);
    timeout = static_cast<DWORD>(v);
    return {};
}

// `find` takes the title up to an optional trailing number, or a "quoted" title.
bool split_title(const std::string& args, std::string& title, DWORD& timeout) {
    std::string s = args;
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (!s.empty() && s.front() == '"') {
        size_t close = s.find('"', 1);
        if (close == std::string::npos) return false;
        title = unescape(s.substr(1, close - 1));
        std::string rest = s.substr(close + 1);
        std::string word = next_word(rest);
        long long v = 0;
        if (!word.empty()) {
            if (!parse_number(word, v) || v < 0 || !next_word(rest).empty()) return false;
            timeout = static_cast<DWORD>(v);
        }
        return true;
    }
    size_t space = s.rfind(' ');
    long long v = 0;
    if (space != std::string::npos && parse_number(s.substr(space + 1), v) && v >= 0) {
        timeout = static_cast<DWORD>(v);
        s = s.substr(0, space);
        while (!s.empty() && s.back() == ' ') s.pop_back();
    }
    title = unescape(s);
    return !title.empty();
}

std::string post(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (!PostMessageA(h, msg, w, l)) return "error post failed " + std::to_string(GetLastError());
    return "ok";
}

struct WindowCount {
    DWORD pid;
    long count = 0;
};

BOOL CALLBACK count_child_proc(HWND, LPARAM lp) {
    ++reinterpret_cast<WindowCount*>(lp)->count;
    return TRUE;
}

BOOL CALLBACK count_top_proc(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<WindowCount*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == c->pid) {
        ++c->count;
        EnumChildWindows(h, count_child_proc, lp);
    }
    return TRUE;
}

std::string gui_counts(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) return "error cannot open process " + std::to_string(pid);
    DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    CloseHandle(process);
    if (gdi || user) return "ok gdi=" + std::to_string(gdi) + " user=" + std::to_string(user);

    // Wine answers 0 for both. Count what can be counted instead: the process's own GDI handle
    // table, read from inside, and its windows. Good enough to see a leak grow.
    InsideReply r;
    if (std::string err = ask_inside(h, kAskGdiObjects, r); !err.empty()) return err;
    if (r.gdi_objects < 0) return "error no GDI handle table";
    WindowCount windows{pid};
    EnumWindows(count_top_proc, reinterpret_cast<LPARAM>(&windows));
    return "ok gdi=" + std::to_string(r.gdi_objects) + " user=" + std::to_string(windows.count) + " counted";
}

// ---- A notification area that refuses icons --------------------------------------

// Shell_NotifyIcon sends its request to the first window of this class it finds; one that
// answers 0 is a shell that is not ready. It runs on a thread of its own, because the
// client's request is a sent message that must be answered while we read stdin.
LONG g_refused = 0;
HANDLE g_shell_thread = nullptr;
DWORD g_shell_thread_id = 0;

LRESULT CALLBACK fake_shell_proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_COPYDATA) {
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
    if (how.empty()) return "ok " + std::to_string(g_refused);
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

std::string tray_icon_there() {
    if (!IsWindow(g_main)) return "error main window is gone";
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = g_main;
    nid.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) ? "ok 1" : "ok 0";
}

std::string handle(const std::string& line, bool& quit) {
    std::string rest = line;
    std::string cmd = next_word(rest);
    if (cmd.empty()) return "error empty command";

    if (cmd == "ping") return "ok";
    if (cmd == "quit") {
        quit = true;
        return "ok";
    }
    if (cmd == "windows") {
        EnumWindows(top_level_proc, 0);
        return "end";
    }
    if (cmd == "fakeshell") return fake_shell(next_word(rest));
    if (cmd == "find") {
        std::string title;
        DWORD timeout = kDefaultWaitMs;
        if (!split_title(rest, title, timeout)) return "error usage: find TITLE [timeout_ms]";
        HWND found = nullptr;
        if (!wait_until(timeout, [&] { return (found = find_top_level(title)) != nullptr; }))
            return "error timeout no window titled " + escape(title);
        g_main = g_current = found;
        return "ok";
    }

    // Everything below works on a window found before.
    if (!g_current) return "error no window: use find first";
    if (cmd == "main") {
        if (!IsWindow(g_main)) return "error main window is gone";
        g_current = g_main;
        return "ok";
    }
    if (cmd == "gone") {
        DWORD timeout = kDefaultWaitMs;
        if (std::string err = timeout_arg(rest, timeout); !err.empty()) return err;
        HWND h = g_current;
        if (!wait_until(timeout, [&] { return !IsWindow(h); })) return "error timeout window still there";
        return "ok";
    }
    if (!IsWindow(g_current)) return "error window is gone";

    if (cmd == "popup") {
        DWORD timeout = kDefaultWaitMs;
        if (std::string err = timeout_arg(rest, timeout); !err.empty()) return err;
        if (!IsWindow(g_main)) return "error main window is gone";
        FindPopup f{0, g_main};
        GetWindowThreadProcessId(g_main, &f.pid);
        if (!wait_until(timeout, [&] {
                f.found = nullptr;
                EnumWindows(find_popup_proc, reinterpret_cast<LPARAM>(&f));
                return f.found != nullptr;
            }))
            return "error timeout no popup";
        g_current = f.found;
        return "ok class=" + escape(window_class(f.found)) + " title=" + escape(window_title(f.found));
    }
    if (cmd == "sync") {
        DWORD timeout = kDefaultWaitMs;
        if (std::string err = timeout_arg(rest, timeout); !err.empty()) return err;
        InsideReply r;
        std::string err = ask_inside(g_main, kSync, r, timeout);
        return err.empty() ? "ok" : err;
    }
    if (cmd == "idle") {
        DWORD timeout = kDefaultWaitMs;
        if (std::string err = timeout_arg(rest, timeout); !err.empty()) return err;
        DWORD pid = 0;
        GetWindowThreadProcessId(g_current, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (!process) return "error cannot open process " + std::to_string(pid);
        DWORD result = WaitForInputIdle(process, timeout);
        CloseHandle(process);
        if (result == WAIT_TIMEOUT) return "error timeout client not idle";
        if (result != 0) return "error cannot wait for idle " + std::to_string(GetLastError());
        return "ok";
    }
    if (cmd == "info") {
        HWND h = g_current;
        return std::string("ok visible=") + (IsWindowVisible(h) ? "1" : "0") +
               " iconic=" + (IsIconic(h) ? "1" : "0") + " enabled=" + (IsWindowEnabled(h) ? "1" : "0") +
               " foreground=" + (GetForegroundWindow() == h ? "1" : "0") +
               " class=" + escape(window_class(h)) + " title=" + escape(window_title(h));
    }
    if (cmd == "client") {
        RECT r;
        GetClientRect(g_current, &r);
        return "ok " + std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
    }
    if (cmd == "xwin") {
        // Wine keeps the X11 window of a top-level window in this property.
        auto id = reinterpret_cast<ULONG_PTR>(GetPropA(g_current, "__wine_x11_whole_window"));
        return "ok " + std::to_string(id);
    }
    if (cmd == "list") {
        for (const Control& c : children(g_current)) reply(control_line(c.hwnd, c.id));
        return "end";
    }
    if (cmd == "gui") return gui_counts(g_current);
    if (cmd == "trayicon") return tray_icon_there();
    if (cmd == "close") return post(g_current, WM_CLOSE, 0, 0);
    if (cmd == "minimize") return post(g_current, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    if (cmd == "tray") {
        bool ok = false;
        std::string word = next_word(rest);
        long long event = tray_event(word, ok);
        if (!ok) return "error usage: tray EVENT";
        if (!IsWindow(g_main)) return "error main window is gone";
        return post(g_main, kTrayCallback, kTrayIconId, static_cast<LPARAM>(event));
    }

    // Commands on one control.
    long long id = 0;
    std::string id_word = next_word(rest);
    bool needs_id = cmd == "text" || cmd == "enabled" || cmd == "visible" || cmd == "checked" ||
                    cmd == "rect" || cmd == "font" || cmd == "class" || cmd == "click" || cmd == "command" ||
                    cmd == "settext";
    if (!needs_id) return "error unknown command " + escape(cmd);
    if (!parse_number(id_word, id)) return "error usage: " + cmd + " ID";
    if (cmd == "command") {
        // Menu items have no window, so this one does not need the control to exist.
        HWND ctl = control_by_id(static_cast<int>(id));
        return post(g_current, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                    reinterpret_cast<LPARAM>(ctl));
    }
    HWND ctl = control_by_id(static_cast<int>(id));
    if (!ctl) return "error no control " + id_word;

    if (cmd == "text") {
        std::string text;
        if (!window_text(ctl, text)) return "error no answer to WM_GETTEXT";
        return "ok " + escape(text);
    }
    if (cmd == "enabled") return IsWindowEnabled(ctl) ? "ok 1" : "ok 0";
    if (cmd == "visible") return own_style_visible(ctl) ? "ok 1" : "ok 0";
    if (cmd == "checked") {
        int state = check_state(ctl);
        if (state < 0) return "error no answer to BM_GETCHECK";
        return "ok " + std::to_string(state);
    }
    if (cmd == "rect") return "ok " + rect_text(rect_in_client(ctl));
    if (cmd == "class") return "ok " + escape(window_class(ctl));
    if (cmd == "font") return font_line(ctl);
    if (cmd == "click") return post(ctl, BM_CLICK, 0, 0);
    if (cmd == "settext") {
        // The text is everything after the id, inner spaces kept.
        std::string text = unescape(rest);
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(ctl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &result))
            return "error no answer to WM_SETTEXT";
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
    int c;
    while (!quit && (c = std::fgetc(stdin)) != EOF) {
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
