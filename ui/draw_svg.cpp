// The SVG back-end of a DrawList. Clips become nested viewports rather than
// clipPath references, so the report holds no url() of any kind.
#include "ui/draw_svg.h"

#include <cstdint>

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

void put_int(std::string& out, int v) { out += std::to_string(v); }

void put_colour(std::string& out, std::uint32_t c) {
    static constexpr char HEX[] = "0123456789abcdef";
    out += '#';
    for (int shift = 20; shift >= 0; shift -= 4) out += HEX[(c >> shift) & 15];
}

// ` name="v"`
void attr(std::string& out, const char* name, int v) {
    out += ' ';
    out += name;
    out += "=\"";
    put_int(out, v);
    out += '"';
}

}  // namespace

void append_escaped(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const char* entity = c == '&'    ? "&amp;"
                             : c == '<'  ? "&lt;"
                             : c == '>'  ? "&gt;"
                             : c == '"'  ? "&quot;"
                             : c == '\'' ? "&#39;"
                                         : nullptr;
        if (entity) {
            out += entity, ++i;
        } else if (c < 0x80) {
            out += c < 0x20 ? ' ' : static_cast<char>(c), ++i;
        } else if (const std::size_t n = utf8_at(s, i)) {
            out.append(s.substr(i, n)), i += n;
        } else {
            // 128..159 are read as Windows-1252 by every browser, as the sender meant.
            out += "&#" + std::to_string(c) + ";", ++i;
        }
    }
}

void draw_svg(const DrawList& list, int width, int height, std::string& out) {
    out += "<svg viewBox=\"0 0 ";
    put_int(out, width);
    out += ' ';
    put_int(out, height);
    out += "\" width=\"100%\" font-family=\"sans-serif\" font-size=\"11\" style=\"background:#ffffff\">\n";
    bool clipped = false;
    for (const DrawOp& op : list.ops) {
        switch (op.kind) {
            case DRAW_RECT:
                out += "<rect";
                attr(out, "x", op.x), attr(out, "y", op.y), attr(out, "width", op.w),
                    attr(out, "height", op.h);
                out += " fill=\"";
                put_colour(out, op.colour);
                out += "\"/>\n";
                break;
            case DRAW_POLYLINE: {
                out += "<polyline points=\"";
                for (int i = op.first; i < op.first + op.count; ++i) {
                    if (i > op.first) out += ' ';
                    put_int(out, list.points[i].x);
                    out += ',';
                    put_int(out, list.points[i].y);
                }
                out += "\" fill=\"none\" stroke=\"";
                put_colour(out, op.colour);
                out += '"';
                attr(out, "stroke-width", op.width > 0 ? op.width : 1);
                out += " stroke-linejoin=\"round\"/>\n";
                break;
            }
            case DRAW_TEXT: {
                static constexpr const char* ANCHOR[] = {"start", "end", "middle"};
                const int align = op.align >= 0 && op.align <= 2 ? op.align : 0;
                const int x = align == DRAW_ALIGN_LEFT    ? op.x
                              : align == DRAW_ALIGN_RIGHT ? op.x + op.w
                                                          : op.x + op.w / 2;
                out += "<text";
                attr(out, "x", x), attr(out, "y", op.y + op.h / 2);
                out += " text-anchor=\"";
                out += ANCHOR[align];
                out += "\" dominant-baseline=\"middle\" fill=\"";
                put_colour(out, op.colour);
                out += "\">";
                append_escaped(out, list.texts[op.first]);
                out += "</text>\n";
                break;
            }
            case DRAW_CLIP:
                if (clipped) out += "</svg>\n";
                clipped = op.w > 0;
                if (!clipped) break;
                // A viewport showing the same coordinates, cut to the box.
                out += "<svg";
                attr(out, "x", op.x), attr(out, "y", op.y), attr(out, "width", op.w),
                    attr(out, "height", op.h);
                out += " viewBox=\"";
                for (const int v : {op.x, op.y, op.w, op.h}) put_int(out, v), out += ' ';
                out.back() = '"';
                out += " overflow=\"hidden\">\n";
                break;
        }
    }
    if (clipped) out += "</svg>\n";
    out += "</svg>\n";
}
