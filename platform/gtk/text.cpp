// Core text to widget text. The core's strings are bytes from the server and
// the settings file; widgets take UTF-8 only. Valid UTF-8 passes unchanged,
// and every other byte is read as Windows-1252 (the code page the Windows
// build shows them in), so nothing is dropped and nothing is refused.
#include <glib.h>

#include "platform/gtk/internal.h"

namespace {

// Windows-1252 at 0x80..0x9F; the five holes become the C1 controls, as Windows maps them.
const gunichar CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void append_char(std::string& out, gunichar c) {
    char buffer[6];
    out.append(buffer, static_cast<std::size_t>(g_unichar_to_utf8(c, buffer)));
}

}  // namespace

namespace gtkp {

std::string to_utf8(const std::string& text) {
    const char* end = nullptr;
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), &end)) return text;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    const char* p = text.data();
    const char* const stop = text.data() + text.size();
    while (p < stop) {
        // A valid stretch is copied whole; the byte that stopped it is converted alone.
        g_utf8_validate(p, stop - p, &end);
        out.append(p, end);
        if (end == stop) break;
        const auto byte = static_cast<unsigned char>(*end);
        if (byte == 0)
            out.push_back(' ');  // a widget's text would end there
        else
            append_char(out, byte >= 0x80 && byte < 0xA0 ? CP1252_HIGH[byte - 0x80] : byte);
        p = end + 1;
    }
    return out;
}

}  // namespace gtkp
