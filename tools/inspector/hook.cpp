// vyx_inspect_hook.dll: answers the inspector's questions from inside the client's GUI thread.
// WM_GETFONT does not cross process boundaries under Wine, and a font handle means nothing
// outside its own process anyway.
#include "tools/inspector/hook.h"

#include <commctrl.h>

#include <cstdio>

namespace {

// Wine fills the GDI handle table in the PEB like Windows does: 24-byte entries, the object
// type at byte 14, zero for a free slot. GdiSharedHandleTable sits at 0xf8 in the 64-bit PEB;
// winternl.h keeps it in a reserved field.
LONG count_gdi_objects() {
    const BYTE* peb;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    const auto* table = *reinterpret_cast<BYTE* const*>(peb + 0xf8);
    if (!table) return -1;
    LONG count = 0;
    for (size_t i = 0; i < 0x10000; ++i) count += table[i * 24 + 14] != 0;
    return count;
}

void answer(HWND hwnd, Question question, InsideReply* r) {
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
    } else if (question == kAskTip) {
        // The tip lives in a tooltip window owned by the control's top-level window.
        struct Find {
            HWND owner, tip;
        } f{GetAncestor(hwnd, GA_ROOT), nullptr};
        auto each = [](HWND w, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            char cls[32];
            if (GetClassNameA(w, cls, sizeof cls) && lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 &&
                GetWindow(w, GW_OWNER) == f->owner)
                f->tip = w;
            return f->tip == nullptr;
        };
        EnumThreadWindows(GetCurrentThreadId(), each, reinterpret_cast<LPARAM>(&f));
        TOOLINFOA ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = GetParent(hwnd);
        ti.uId = reinterpret_cast<UINT_PTR>(hwnd);
        ti.lpszText = r->tip;
        if (f.tip) SendMessageA(f.tip, TTM_GETTEXTA, sizeof r->tip, reinterpret_cast<LPARAM>(&ti));
    } else if (question == kAskGdiObjects) {
        r->gdi_objects = count_gdi_objects();
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK question_hook(int code, WPARAM removed, LPARAM lp) {
    auto* msg = reinterpret_cast<MSG*>(lp);
    if (code == HC_ACTION && removed == PM_REMOVE &&
        msg->message == RegisterWindowMessageA(kQuestionMessage)) {
        char name[64];
        std::snprintf(name, sizeof name, kReplyBlockFormat, static_cast<unsigned long>(msg->wParam));
        if (HANDLE block = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)) {
            if (auto* r = static_cast<InsideReply*>(
                    MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, sizeof(InsideReply)))) {
                answer(msg->hwnd, static_cast<Question>(msg->lParam), r);
                InterlockedExchange(&r->done, 1);
                UnmapViewOfFile(r);
            }
            CloseHandle(block);
        }
        msg->message = WM_NULL;  // the client never sees the question
    }
    return CallNextHookEx(nullptr, code, removed, lp);
}
