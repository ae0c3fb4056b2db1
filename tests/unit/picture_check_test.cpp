// The one check of the embedded pictures that all three platforms load through.
#include "platform/picture_check.h"

#include "resources/pictures.h"
#include "tests/unit/fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Where the fields lie: an icon's one entry and its image, a bitmap's info header.
constexpr std::size_t ENTRY = 6, IMAGE = 22, INFO = 14;

// Every embedded picture passes, with its size and bits, in StartupTest.WhatAStartSetsUp.
TEST(PictureCheckTest, WhatIsRefusedAndWhatIsNot) {
    using Change = std::function<void(Bytes&)>;
    const auto cut = [](std::size_t keep) { return [keep](Bytes& b) { b.resize(keep); }; };
    const auto cut_by = [](std::size_t drop) { return [drop](Bytes& b) { b.resize(b.size() - drop); }; };
    // n bytes of v, little-endian, at at.
    const auto set = [](std::size_t at, std::uint32_t v, int n = 4) {
        return [=](Bytes& b) {
            for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
    };
    const Change as_made = [](Bytes&) {};
    // The facts when it passes: the size, the row order, and where the image lies (an icon's whole
    // entry, a bitmap's padded rows after its headers); "" when refused, leaving them alone.
    const std::tuple<const char*, int, PictureKind, Change, std::string> rows[] = {
        // Icons (picture 11: 48 x 48, 32 bits, one entry of 9640 bytes at 22).
        {"icon as made", 11, PICTURE_ICON, as_made, "48x48 at 22+9640"},
        {"icon cut by one byte", 11, PICTURE_ICON, cut_by(1), ""},
        {"icon: a directory cut short", 11, PICTURE_ICON, cut(21), ""},
        {"icon: image offset past the end", 11, PICTURE_ICON, set(ENTRY + 12, 9663), ""},
        {"icon: huge image size", 11, PICTURE_ICON, set(ENTRY + 8, 0xFFFFFFFF), ""},
        {"icon: no entry", 11, PICTURE_ICON, set(4, 0, 2), ""},
        {"icon: a cursor's directory", 11, PICTURE_ICON, set(2, 2, 2), ""},
        {"icon: entry too short for its mask", 11, PICTURE_ICON,
         [&](Bytes& b) { set(ENTRY + 8, 9600)(b), b.resize(IMAGE + 9600); }, ""},
        {"icon: image and entry disagree", 11, PICTURE_ICON, [](Bytes& b) { b[ENTRY] = 32; }, ""},
        {"icon: 16 bits", 11, PICTURE_ICON, set(IMAGE + 14, 16, 2), ""},
        {"icon: compressed image", 11, PICTURE_ICON, set(IMAGE + 16, 3), ""},
        {"icon: a PNG image", 11, PICTURE_ICON, set(IMAGE, 0x474E5089), ""},
        // 8 bits: a palette of 256 colours and smaller rows; 9640 bytes hold them.
        {"icon: 8 bits with its palette", 11, PICTURE_ICON, set(IMAGE + 14, 8, 2), "48x48 at 22+9640"},
        {"icon: more colours than 8 bits have", 11, PICTURE_ICON,
         [&](Bytes& b) { set(IMAGE + 14, 8, 2)(b), set(IMAGE + 32, 257)(b); }, ""},
        {"icon handed over as a bitmap", 11, PICTURE_BITMAP, as_made, ""},
        {"unknown kind", 11, static_cast<PictureKind>(7), as_made, ""},

        // Bitmaps (picture 60: 12 x 12, 24 bits, rows of 36 bytes from 54, 486 bytes).
        {"bitmap as made", 60, PICTURE_BITMAP, as_made, "12x12 at 54+432"},
        {"bitmap top-down", 60, PICTURE_BITMAP, set(INFO + 8, static_cast<std::uint32_t>(-12)),
         "12x12 top-down at 54+432"},
        {"bitmap top-down, cut by one byte", 60, PICTURE_BITMAP,
         [&](Bytes& b) { set(INFO + 8, static_cast<std::uint32_t>(-12))(b), b.resize(485); }, ""},
        {"bitmap cut by one byte", 60, PICTURE_BITMAP, cut_by(1), ""},
        {"bitmap: rows offset past the end", 60, PICTURE_BITMAP, set(10, 487), ""},
        {"bitmap: rows inside the headers", 60, PICTURE_BITMAP, set(10, 40), ""},
        {"bitmap: a later info header reaching into the rows", 60, PICTURE_BITMAP, set(INFO, 108), ""},
        {"bitmap: info header too short", 60, PICTURE_BITMAP, set(INFO, 12), ""},
        {"bitmap: no width", 60, PICTURE_BITMAP, set(INFO + 4, 0), ""},
        {"bitmap: no height", 60, PICTURE_BITMAP, set(INFO + 8, 0), ""},
        {"bitmap: one row", 60, PICTURE_BITMAP, set(INFO + 8, 1), "12x1 at 54+36"},
        {"bitmap: 32 bits", 60, PICTURE_BITMAP, set(INFO + 14, 32, 2), ""},
        {"bitmap: run-length compressed", 60, PICTURE_BITMAP, set(INFO + 16, 1), ""},
        {"bitmap: two planes", 60, PICTURE_BITMAP, set(INFO + 12, 2, 2), ""},
        {"bitmap: not BM", 60, PICTURE_BITMAP, [](Bytes& b) { b[1] = 'A'; }, ""},
        {"bitmap handed over as an icon", 60, PICTURE_ICON, as_made, ""},
    };
    for (const auto& [what, picture, kind, change, facts] : rows) {
        SCOPED_TRACE(what);
        const EmbeddedPicture* p = find_embedded_picture(picture);
        Bytes b(p->data, p->data + p->size);
        change(b);
        // A copy of exactly its size, so that ASan sees any read past the end.
        const auto exact = std::make_unique<std::uint8_t[]>(b.size());
        std::copy(b.begin(), b.end(), exact.get());
        PictureFacts f;
        f.height = -1;
        const bool good = check_picture(exact.get(), b.size(), kind, &f);
        EXPECT_EQ(good ? std::to_string(f.width) + "x" + std::to_string(f.height) +
                             (f.top_down ? " top-down" : "") + " at " + std::to_string(f.image_offset) + "+" +
                             std::to_string(f.image_size)
                  : f.height == -1 ? ""
                                   : "facts changed",
                  facts);
    }
    EXPECT_FALSE(check_picture(nullptr, 100, PICTURE_ICON, nullptr));
}

}  // namespace
