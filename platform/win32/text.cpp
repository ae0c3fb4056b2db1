// Text between UTF-8 and the local code page, which the 8-bit system calls use.
// The hard part is refusing what does not fit: the system would quietly put
// a "?" or a look-alike letter in place of a character the code page lacks.

#include "platform/win32/internal.h"

#include <climits>

int utf8_to_local(const std::string& utf8, std::string& local) {
    if (GetACP() == CP_UTF8 || utf8.empty()) {
        local = utf8;
        return 1;
    }
    if (utf8.size() > static_cast<std::size_t>(INT_MAX / 2)) return 0;
    const int size = static_cast<int>(utf8.size());
    const int wide_size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wide_size <= 0) return 0;
    std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), wide_size);
    BOOL lost = FALSE;
    const int local_size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size, nullptr, 0, nullptr, &lost);
    if (local_size <= 0 || lost) return 0;
    std::string out(static_cast<std::size_t>(local_size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size, out.data(), local_size, nullptr,
                        &lost);
    if (lost) return 0;
    local = std::move(out);
    return 1;
}
