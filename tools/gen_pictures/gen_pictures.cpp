// Draws the client's icons and menu bitmaps and writes them as .ico / .bmp.
//
//   gen_pictures OUTDIR
//
// Everything is drawn here from plain geometry and hand-placed pixels, so the
// committed files in resources/ can be rebuilt at any time. Only basic float
// arithmetic and sqrt are used (no libm trig), which keeps the output
// byte-for-byte identical from run to run and between debug and release.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// ---------------------------------------------------------------- colours

struct Colour {
    double r = 0, g = 0, b = 0, a = 0;  // 0..1, straight alpha
};

constexpr Colour hex(std::uint32_t rgb, double a = 1.0) {
    return {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, a};
}

Colour mix(Colour x, Colour y, double t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

const Colour white = hex(0xffffff);
const Colour black = hex(0x000000);

Colour lighter(Colour c, double t) { return mix(c, white, t); }
Colour darker(Colour c, double t) { return mix(c, black, t); }

// ---------------------------------------------------------------- images

struct Pixel {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct Image {
    int w = 0, h = 0;
    std::vector<Pixel> px;

    Image(int width, int height) : w(width), h(height), px(static_cast<std::size_t>(width * height)) {}
    Pixel& at(int x, int y) { return px[static_cast<std::size_t>(y * w + x)]; }
    const Pixel& at(int x, int y) const { return px[static_cast<std::size_t>(y * w + x)]; }
};

std::uint8_t to_byte(double v) {
    v = std::clamp(v, 0.0, 1.0);
    return static_cast<std::uint8_t>(v * 255.0 + 0.5);
}

// Source-over onto an 8-bit straight-alpha pixel.
void blend(Pixel& d, Colour s) {
    if (s.a <= 0) return;
    const double da = d.a / 255.0;
    const double oa = s.a + da * (1 - s.a);
    if (oa <= 0) return;
    auto ch = [&](double sc, std::uint8_t dc) { return (sc * s.a + dc / 255.0 * da * (1 - s.a)) / oa; };
    d = {to_byte(ch(s.r, d.r)), to_byte(ch(s.g, d.g)), to_byte(ch(s.b, d.b)), to_byte(oa)};
}

// ---------------------------------------------------------------- geometry

struct Pt {
    double x = 0, y = 0;
};

Pt operator+(Pt a, Pt b) { return {a.x + b.x, a.y + b.y}; }
Pt operator-(Pt a, Pt b) { return {a.x - b.x, a.y - b.y}; }
Pt operator*(Pt a, double k) { return {a.x * k, a.y * k}; }
double dot(Pt a, Pt b) { return a.x * b.x + a.y * b.y; }
Pt lerp(Pt a, Pt b, double t) { return a + (b - a) * t; }

double length(Pt a) { return std::sqrt(dot(a, a)); }

bool in_polygon(const std::vector<Pt>& poly, Pt p) {
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Pt a = poly[i], b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

double dist_to_segment(Pt p, Pt a, Pt b) {
    const Pt ab = b - a;
    const double len2 = dot(ab, ab);
    double t = len2 > 0 ? dot(p - a, ab) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return length(p - (a + ab * t));
}

// ---------------------------------------------------------------- supersampled canvas

// Every shape is decided per sub-sample; box-filtering the sub-samples down
// gives the anti-aliased edges.
class Canvas {
   public:
    Canvas(int w, int h, int ss) : w_(w), h_(h), ss_(ss), s_(static_cast<std::size_t>(w * ss * h * ss)) {}

    template <class Inside, class Paint>
    void fill(Inside inside, Paint paint) {
        const int sw = w_ * ss_, sh = h_ * ss_;
        for (int j = 0; j < sh; ++j)
            for (int i = 0; i < sw; ++i) {
                const Pt p{(i + 0.5) / ss_, (j + 0.5) / ss_};
                if (!inside(p)) continue;
                const Colour c = paint(p);
                Colour& d = s_[static_cast<std::size_t>(j * sw + i)];
                // Premultiplied source-over.
                d = {c.r * c.a + d.r * (1 - c.a), c.g * c.a + d.g * (1 - c.a), c.b * c.a + d.b * (1 - c.a),
                     c.a + d.a * (1 - c.a)};
            }
    }

    template <class Inside>
    void fill(Inside inside, Colour c) {
        fill(inside, [c](Pt) { return c; });
    }

    Image resolve() const {
        Image img(w_, h_);
        const int sw = w_ * ss_;
        const double n = ss_ * ss_;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                Colour sum;
                for (int j = 0; j < ss_; ++j)
                    for (int i = 0; i < ss_; ++i) {
                        const Colour& c = s_[static_cast<std::size_t>((y * ss_ + j) * sw + x * ss_ + i)];
                        sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, sum.a + c.a};
                    }
                Pixel& p = img.at(x, y);
                const std::uint8_t a = to_byte(sum.a / n);
                if (a == 0) continue;
                p = {to_byte(sum.r / sum.a), to_byte(sum.g / sum.a), to_byte(sum.b / sum.a), a};
            }
        return img;
    }

   private:
    int w_, h_, ss_;
    std::vector<Colour> s_;  // premultiplied
};

auto polygon(std::vector<Pt> pts) {
    return [pts = std::move(pts)](Pt p) { return in_polygon(pts, p); };
}
auto disc(Pt c, double r) {
    return [=](Pt p) { return dot(p - c, p - c) <= r * r; };
}
auto stroke(Pt a, Pt b, double width) {
    return [=](Pt p) { return dist_to_segment(p, a, b) <= width / 2; };
}
// A closed outline along the given corners, with round joins.
auto outline(std::vector<Pt> pts, double width) {
    return [pts = std::move(pts), width](Pt p) {
        for (std::size_t i = 0; i < pts.size(); ++i)
            if (dist_to_segment(p, pts[i], pts[(i + 1) % pts.size()]) <= width / 2) return true;
        return false;
    };
}
// Vertical gradient between two colours over [y0, y1].
auto vgrad(double y0, double y1, Colour c0, Colour c1) {
    return [=](Pt p) { return mix(c0, c1, std::clamp((p.y - y0) / (y1 - y0), 0.0, 1.0)); };
}

// ---------------------------------------------------------------- pixel art

// One character per pixel; '.' is transparent.
struct PaletteEntry {
    char key;
    Colour colour;
};

Image pixel_art(const std::vector<std::string_view>& rows, const std::vector<PaletteEntry>& palette) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows[0].size());
    Image img(w, h);
    for (int y = 0; y < h; ++y) {
        if (static_cast<int>(rows[static_cast<std::size_t>(y)].size()) != w) {
            std::fprintf(stderr, "pixel art row %d has the wrong width\n", y);
            std::exit(2);
        }
        for (int x = 0; x < w; ++x) {
            const char k = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            if (k == '.') continue;
            auto it = std::find_if(palette.begin(), palette.end(),
                                   [k](const PaletteEntry& e) { return e.key == k; });
            if (it == palette.end()) {
                std::fprintf(stderr, "pixel art uses unknown key '%c'\n", k);
                std::exit(2);
            }
            blend(img.at(x, y), it->colour);
        }
    }
    return img;
}

// ---------------------------------------------------------------- tiny font

// Lowercase letters sit on a baseline below row 6; rows 7-8 hold descenders.
struct Glyph {
    char ch;
    std::array<std::string_view, 9> rows;
};

const Glyph font[] = {
    {'S', {".###", "#...", "#...", ".##.", "...#", "...#", "###.", "....", "...."}},
    {'a', {"....", "....", ".##.", "...#", ".###", "#..#", ".###", "....", "...."}},
    {'b', {"#...", "#...", "###.", "#..#", "#..#", "#..#", "###.", "....", "...."}},
    {'e', {"....", "....", ".##.", "#..#", "####", "#...", ".###", "....", "...."}},
    {'i', {"#", ".", "#", "#", "#", "#", "#", ".", "."}},
    {'l', {"#.", "#.", "#.", "#.", "#.", "#.", ".#", "..", ".."}},
    {'p', {"....", "....", "###.", "#..#", "#..#", "#..#", "###.", "#...", "#..."}},
    {'r', {"....", "....", "#.##", "##..", "#...", "#...", "#...", "....", "...."}},
    {'s', {"....", "....", ".###", "#...", ".##.", "...#", "###.", "....", "...."}},
    {'t', {"...", ".#.", "###", ".#.", ".#.", ".#.", "..#", "...", "..."}},
    {'u', {"....", "....", "#..#", "#..#", "#..#", "#..#", ".###", "....", "...."}},
    {'v', {".....", ".....", "#...#", "#...#", ".#.#.", ".#.#.", "..#..", ".....", "....."}},
    {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#.", ".....", "....."}},
    {'y', {"....", "....", "#..#", "#..#", "#..#", "#..#", ".###", "...#", ".##."}},
};

const Glyph& glyph(char c) {
    for (const Glyph& g : font)
        if (g.ch == c) return g;
    std::fprintf(stderr, "no glyph for '%c'\n", c);
    std::exit(2);
}

int text_width(std::string_view s) {
    int w = 0;
    for (char c : s) w += static_cast<int>(glyph(c).rows[0].size()) + 1;
    return w - 1;
}

// Two centred lines of dark text with a light halo, so they read on any colour.
void draw_two_lines(Image& img, std::string_view l1, std::string_view l2, int baseline1, int line_gap) {
    std::vector<std::uint8_t> ink(img.px.size(), 0);
    auto put = [&](std::string_view s, int baseline) {
        int x = (img.w - text_width(s)) / 2;
        for (char c : s) {
            const Glyph& g = glyph(c);
            for (int r = 0; r < 9; ++r)
                for (int i = 0; i < static_cast<int>(g.rows[static_cast<std::size_t>(r)].size()); ++i)
                    if (g.rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(i)] == '#') {
                        const int px = x + i, py = baseline - 7 + r;
                        if (px >= 0 && px < img.w && py >= 0 && py < img.h)
                            ink[static_cast<std::size_t>(py * img.w + px)] = 1;
                    }
            x += static_cast<int>(g.rows[0].size()) + 1;
        }
    };
    put(l1, baseline1);
    put(l2, baseline1 + line_gap);

    auto inked = [&](int x, int y) {
        return x >= 0 && x < img.w && y >= 0 && y < img.h && ink[static_cast<std::size_t>(y * img.w + x)];
    };
    const Colour halo = hex(0xffffff, 0.88);
    const Colour text = hex(0x1a1a1a);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            if (inked(x, y)) continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) near = inked(x + dx, y + dy);
            if (near) blend(img.at(x, y), halo);
        }
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (inked(x, y)) blend(img.at(x, y), text);
}

// ---------------------------------------------------------------- the router

const Colour antenna_dark = hex(0x34383d);
const Colour led_green = hex(0x3ef05a);

struct RouterColours {
    Colour top, front, side, edge, line, grille;
};

RouterColours router_colours(Colour body) {
    return {lighter(body, 0.42), body, darker(body, 0.28), darker(body, 0.58), lighter(body, 0.7),
            darker(body, 0.4)};
}

// The large router: a box seen from the front left and a little above.
Image router48(Colour body) {
    const RouterColours k = router_colours(body);
    Canvas cv(48, 48, 8);

    // Front face corners, then the depth vector towards the back right.
    const Pt fl{3, 27}, fr{30, 33.5}, frb{30, 42.5}, flb{3, 36};
    const Pt depth{14.5, -7.5};
    const Pt bl = fl + depth, br = fr + depth, brb = frb + depth + Pt{0, -0.5};

    // Soft shadow under the box, so it sits on something.
    cv.fill(polygon({flb + Pt{0.5, 1.2}, frb + Pt{0.5, 1.6}, brb + Pt{-0.5, 1.4}, brb + Pt{-4, 0}}),
            hex(0x000000, 0.16));

    // Top face: light, a touch brighter towards the back.
    cv.fill(polygon({fl, fr, br, bl}), vgrad(bl.y, fr.y, lighter(k.top, 0.25), k.top));
    // Front face.
    cv.fill(polygon({fl, fr, frb, flb}), vgrad(fl.y, frb.y, lighter(k.front, 0.08), darker(k.front, 0.1)));
    // Side face, in shade.
    cv.fill(polygon({fr, br, brb, frb}), vgrad(br.y, frb.y, k.side, darker(k.side, 0.12)));

    // The crease between top and front catches the light.
    cv.fill(stroke(fl + Pt{0.9, 0.6}, fr + Pt{-0.6, 0.6}, 0.8), hex(0xffffff, 0.55));
    // The vertical corner edge.
    cv.fill(stroke(fr, frb, 0.8), darker(k.front, 0.25));

    // LEDs along the front, each in a dark socket.
    auto on_front = [&](double u, double v) { return lerp(lerp(fl, fr, u), lerp(flb, frb, u), v); };
    for (int i = 0; i < 5; ++i) {
        const Pt c = on_front(0.12 + 0.105 * i, 0.55);
        cv.fill(disc(c, 1.55), darker(body, 0.65));
        cv.fill(disc(c, 1.05), i == 4 ? hex(0xffc531) : led_green);
        cv.fill(disc(c + Pt{-0.35, -0.4}, 0.45), hex(0xffffff, 0.75));
    }
    // Vent slots on the right half of the front.
    for (int i = 0; i < 4; ++i) {
        const double u = 0.7 + 0.065 * i;
        cv.fill(stroke(on_front(u, 0.3), on_front(u, 0.78), 0.9), k.grille);
    }

    // Dark outline around the whole silhouette.
    cv.fill(outline({fl, bl, br, brb, frb, flb}, 1.1), k.edge);

    // Antenna from the back left corner: a hinge block, the rod, a rounded tip.
    const Pt base{bl.x + 2.8, bl.y + 1.6}, tip{bl.x + 0.8, 4.5};
    cv.fill(polygon({base + Pt{-2.2, -1.6}, base + Pt{2.0, -1.6}, base + Pt{2.0, 1.0}, base + Pt{-2.2, 1.0}}),
            antenna_dark);
    cv.fill(stroke(base + Pt{-0.1, -1.6}, tip, 2.8), antenna_dark);
    cv.fill(stroke(base + Pt{-0.7, -2.4}, tip + Pt{-0.45, 0.9}, 0.7), hex(0x8a9099));
    cv.fill(disc(tip, 1.9), antenna_dark);
    cv.fill(disc(tip + Pt{-0.5, -0.5}, 0.6), hex(0x9aa1aa));

    return cv.resolve();
}

// The small routers are placed pixel by pixel so they stay crisp.
std::vector<PaletteEntry> router_palette(Colour body) {
    const RouterColours k = router_colours(body);
    return {
        {'o', k.edge},
        {'t', k.top},
        {'h', lighter(k.top, 0.45)},
        {'f', body},
        {'e', darker(body, 0.14)},
        {'s', k.side},
        {'g', k.grille},
        {'L', led_green},
        {'Y', hex(0xffc531)},
        {'k', antenna_dark},
        {'K', hex(0x7d848c)},
    };
}

Image router16(Colour body) {
    return pixel_art(
        {
            "................",
            "....kk..........",
            "....Kk..........",
            "....Kk..........",
            "....Kk..........",
            "....Kk..........",
            "...oKkoooooooooo",
            "..otKkttttttttto",
            ".ottttttttttttso",
            "ohhhhhhhhhhhesso",
            "offfffffgfgfesso",
            "ofLfLfLfgfgfesso",
            "offfffffgfgfeso.",
            "offfffffffffeo..",
            "ooooooooooooo...",
            "................",
        },
        router_palette(body));
}

Image router12(Colour body) {
    return pixel_art(
        {
            "............",
            "...k........",
            "...K........",
            "...K........",
            "...K........",
            "..oKoooooooo",
            ".otKtttttsso",
            "ohhhhhhhheso",
            "offffffffeso",
            "ofLfLfLffeso",
            "offffffffeo.",
            ".ooooooooo..",
        },
        router_palette(body));
}

// ---------------------------------------------------------------- menu bitmaps (12x12)

// Two arrows chasing each other round a circle; the lower one is the upper
// one turned half a turn.
Image cycle_arrows(Colour upper, Colour lower) {
    return pixel_art(
        {
            "............",
            "....BBBB....",
            "...BBBBBB...",
            "..BBB..BBB..",
            "..R.....BB..",
            ".RRR...BBBBB",
            "RRRRR...BBB.",
            "..RR.....B..",
            "..RRR..RRR..",
            "...RRRRRR...",
            "....RRRR....",
            "............",
        },
        {{'B', upper}, {'R', lower}});
}

// Blue sea, green land, lit from the top left.
Image globe() {
    return pixel_art(
        {
            "....OOOO....",
            "..OOSSGGOO..",
            ".OOSGGGsGOO.",
            ".OSGGGssGGO.",
            "OSGGGssGGssO",
            "OssGGssGGGsO",
            "OsssGsssGGsO",
            "OsssGGssGddO",
            ".OsssGssGdO.",
            ".OOssGdddOO.",
            "..OOddddOO..",
            "....OOOO....",
        },
        {
            {'O', hex(0x1d4f8f)},
            {'S', hex(0x9fd3ff)},
            {'s', hex(0x4c9be6)},
            {'d', hex(0x2f74c0)},
            {'G', hex(0x4cb04a)},
        });
}

Image triangle(Colour body) {
    return pixel_art(
        {
            "...o........",
            "...oo.......",
            "...oho......",
            "...ohho.....",
            "...ohffo....",
            "...offffo...",
            "...offfo....",
            "...offo.....",
            "...oso......",
            "...oo.......",
            "...o........",
            "............",
        },
        {{'o', darker(body, 0.45)}, {'h', lighter(body, 0.25)}, {'f', body}, {'s', darker(body, 0.15)}});
}

// A spiral-bound pad with ruled lines and a faint shadow.
Image notepad() {
    return pixel_art(
        {
            "............",
            "..r.r.r.r...",
            ".oRoRoRoRoo.",
            ".opppppppwos",
            ".oplllllpwos",
            ".opppppppwos",
            ".oplllllpwos",
            ".opppppppwos",
            ".oplllllpwos",
            ".opppppppwos",
            ".oooooooooos",
            "..sssssssss.",
        },
        {
            {'o', hex(0x6b6f76)},
            {'p', hex(0xfffbe2)},
            {'w', hex(0xeee7c6)},
            {'l', hex(0x6f9bd8)},
            {'r', hex(0x8a8f96)},
            {'R', hex(0x3b3f45)},
            {'s', hex(0x000000, 0.18)},
        });
}

// ---------------------------------------------------------------- file formats

class Bytes {
   public:
    void u8(unsigned v) { b_.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v) {
        u8(v & 0xff);
        u8((v >> 8) & 0xff);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xffff);
        u16(v >> 16);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    std::size_t size() const { return b_.size(); }
    const std::vector<std::uint8_t>& data() const { return b_; }

   private:
    std::vector<std::uint8_t> b_;
};

void info_header(Bytes& out, int w, int h_field, int bpp, std::uint32_t image_size) {
    out.u32(40);
    out.i32(w);
    out.i32(h_field);
    out.u16(1);  // planes
    out.u16(static_cast<unsigned>(bpp));
    out.u32(0);  // BI_RGB
    out.u32(image_size);
    out.i32(0);  // no stated resolution
    out.i32(0);
    out.u32(0);  // no palette
    out.u32(0);
}

// Classic DIB icon: one 32-bpp image, colour rows then the AND mask, both bottom-up.
std::vector<std::uint8_t> encode_ico(const Image& img) {
    const int mask_stride = (img.w + 31) / 32 * 4;
    const std::uint32_t xor_size = static_cast<std::uint32_t>(img.w * img.h * 4);
    const std::uint32_t and_size = static_cast<std::uint32_t>(mask_stride * img.h);
    const std::uint32_t res_size = 40 + xor_size + and_size;

    Bytes out;
    out.u16(0);  // reserved
    out.u16(1);  // icon
    out.u16(1);  // one image
    out.u8(static_cast<unsigned>(img.w & 0xff));
    out.u8(static_cast<unsigned>(img.h & 0xff));
    out.u8(0);  // no palette
    out.u8(0);
    out.u16(1);  // planes
    out.u16(32);
    out.u32(res_size);
    out.u32(22);  // image right after the directory

    info_header(out, img.w, img.h * 2, 32, xor_size + and_size);
    for (int y = img.h - 1; y >= 0; --y)
        for (int x = 0; x < img.w; ++x) {
            const Pixel& p = img.at(x, y);
            if (p.a == 0) {
                out.u32(0);
                continue;
            }
            out.u8(p.b);
            out.u8(p.g);
            out.u8(p.r);
            out.u8(p.a);
        }
    for (int y = img.h - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(mask_stride), 0);
        for (int x = 0; x < img.w; ++x)
            if (img.at(x, y).a == 0)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        for (std::uint8_t b : row) out.u8(b);
    }
    return out.data();
}

// Menu bitmaps have no alpha, so they are flattened onto the menu's own grey.
std::vector<std::uint8_t> encode_bmp(const Image& img, Colour background) {
    const int stride = (img.w * 3 + 3) / 4 * 4;
    const std::uint32_t image_size = static_cast<std::uint32_t>(stride * img.h);

    Bytes out;
    out.u8('B');
    out.u8('M');
    out.u32(14 + 40 + image_size);
    out.u16(0);
    out.u16(0);
    out.u32(14 + 40);
    info_header(out, img.w, img.h, 24, image_size);
    for (int y = img.h - 1; y >= 0; --y) {
        for (int x = 0; x < img.w; ++x) {
            Pixel p{to_byte(background.r), to_byte(background.g), to_byte(background.b), 255};
            const Pixel& s = img.at(x, y);
            blend(p, {s.r / 255.0, s.g / 255.0, s.b / 255.0, s.a / 255.0});
            out.u8(p.b);
            out.u8(p.g);
            out.u8(p.r);
        }
        for (int i = img.w * 3; i < stride; ++i) out.u8(0);
    }
    return out.data();
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);  // a failure shows up when writing
    if (!dir.empty() && dir.back() != '/') dir += '/';

    const Colour grey = hex(0xa3a8ae);
    const Colour cyan = hex(0x4cc6ee);
    const Colour blue = hex(0x2b63d6);
    const Colour yellow_green = hex(0xb2d235);
    const Colour yellow = hex(0xf2cf1d);
    const Colour red = hex(0xdc3b32);
    const Colour green = hex(0x2fae3c);
    const Colour menu_grey = hex(0xf0f0f0);

    Image busy = router48(yellow_green);
    draw_two_lines(busy, "Server", "busy", 26, 10);
    Image wait = router48(blue);
    draw_two_lines(wait, "please", "wait", 26, 10);

    struct Out {
        int id;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Out> outputs = {
        {10, encode_ico(router48(grey))},
        {11, encode_ico(router48(cyan))},
        {12, encode_ico(router48(blue))},
        {13, encode_ico(busy)},
        {14, encode_ico(router48(red))},
        {15, encode_ico(router16(grey))},
        {16, encode_ico(router16(cyan))},
        {17, encode_ico(router16(blue))},
        {18, encode_ico(router16(yellow))},
        {19, encode_ico(router16(red))},
        {20, encode_ico(wait)},
        {60, encode_bmp(cycle_arrows(blue, red), menu_grey)},
        {61, encode_bmp(globe(), menu_grey)},
        {62, encode_bmp(cycle_arrows(blue, green), menu_grey)},
        {63, encode_bmp(router12(cyan), menu_grey)},
        {64, encode_bmp(router12(red), menu_grey)},
        {65, encode_bmp(triangle(blue), menu_grey)},
        {66, encode_bmp(triangle(green), menu_grey)},
        {67, encode_bmp(triangle(yellow), menu_grey)},
        {68, encode_bmp(notepad(), menu_grey)},
    };

    bool ok = true;
    for (const Out& o : outputs) {
        const std::string name = dir + "picture" + std::to_string(o.id) + (o.id < 60 ? ".ico" : ".bmp");
        ok = write_file(name, o.bytes) && ok;
    }
    return ok ? 0 : 1;
}
