// The SVG back-end of a DrawList. Clips become nested viewports rather than
// clipPath references, so the report holds no url() of any kind. Written with
// a tiny format of its own rather than string concatenation: the Windows
// program must stay small.
#include "ui/draw_svg.h"

#include <cstdint>
#include <initializer_list>

namespace {

// Length of the well-formed UTF-8 sequence at s[i], 0 when there is none.
std::size_t utf8_at(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned c = b(i);
    const std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    const unsigned c1 = b(i + 1);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) ||
        (c == 0xF4 && c1 >= 0x90))
        return 0;
    return n;
}

// Appends fmt with each '%' replaced by the next number.
void put(std::string& out, const char* fmt, std::initializer_list<int> v) {
    const int* next = v.begin();
    for (; *fmt; ++fmt)
        if (*fmt == '%')
            append_int(out, *next++);
        else
            out += *fmt;
}

// `#rrggbb"`, closing the attribute it is the value of.
void put_colour(std::string& out, std::uint32_t c) {
    out += '#';
    for (int shift = 20; shift >= 0; shift -= 4) out += "0123456789abcdef"[(c >> shift) & 15];
    out += '"';
}

}  // namespace

void append_int(std::string& out, long long v, bool grouped) {
    char digits[32];
    int n = 0;
    unsigned long long u = v < 0 ? 0 - static_cast<unsigned long long>(v) : v;
    do {
        if (grouped && n % 4 == 3) digits[n++] = ',';
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0) out += '-';
    while (n) out += digits[--n];
}

void append_escaped(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const char* entity = c == '&'    ? "&amp;"
                             : c == '<'  ? "&lt;"
                             : c == '>'  ? "&gt;"
                             : c == '"'  ? "&quot;"
                             : c == '\'' ? "&#39;"
                                         : nullptr;
        std::size_t n = 1;
        if (entity) {
            out += entity;
        } else if (c < 0x80) {
            out += c < 0x20 ? ' ' : static_cast<char>(c);
        } else if ((n = utf8_at(s, i)) > 0) {
            out.append(s, i, n);
        } else {
            // 128..159 are read as Windows-1252 by every browser, as the sender meant.
            put(out, "&#%;", {c});
            n = 1;
        }
        i += n;
    }
}

void draw_svg(const DrawList& list, int width, int height, std::string& out) {
    put(out, "<svg viewBox=\"0 0 % %\"", {width, height});
    out += " width=\"100%\" font-family=\"sans-serif\" font-size=\"11\" style=\"background:#fff\">\n";
    bool clipped = false;
    for (const DrawOp& op : list.ops) {
        switch (op.kind) {
            case DRAW_RECT:
                put(out, "<rect x=\"%\" y=\"%\" width=\"%\" height=\"%\" fill=\"", {op.x, op.y, op.w, op.h});
                put_colour(out, op.colour);
                out += "/>\n";
                break;
            case DRAW_POLYLINE:
                out += "<polyline points=\"";
                for (int i = op.first; i < op.first + op.count; ++i)
                    put(out, i > op.first ? " %,%" : "%,%", {list.points[i].x, list.points[i].y});
                put(out, "\" fill=\"none\" stroke-width=\"%\" stroke-linejoin=\"round\" stroke=\"",
                    {op.width > 0 ? op.width : 1});
                put_colour(out, op.colour);
                out += "/>\n";
                break;
            case DRAW_TEXT: {
                const int align =
                    op.align == DRAW_ALIGN_RIGHT || op.align == DRAW_ALIGN_CENTRE ? op.align : 0;
                put(out, "<text x=\"%\" y=\"%\" text-anchor=\"",
                    {op.x + (align == 1   ? op.w
                             : align == 2 ? op.w / 2
                                          : 0),
                     op.y + op.h / 2});
                out += align == 0 ? "start" : align == 1 ? "end" : "middle";
                out += "\" dominant-baseline=\"middle\" fill=\"";
                put_colour(out, op.colour);
                out += '>';
                append_escaped(out, list.texts[op.first]);
                out += "</text>\n";
                break;
            }
            case DRAW_CLIP:
                if (clipped) out += "</svg>\n";
                clipped = op.w > 0;
                // A viewport showing the same coordinates, cut to the box.
                if (clipped)
                    put(out,
                        "<svg x=\"%\" y=\"%\" width=\"%\" height=\"%\" viewBox=\"% % % %\" "
                        "overflow=\"hidden\">\n",
                        {op.x, op.y, op.w, op.h, op.x, op.y, op.w, op.h});
                break;
        }
    }
    if (clipped) out += "</svg>\n";
    out += "</svg>\n";
}
