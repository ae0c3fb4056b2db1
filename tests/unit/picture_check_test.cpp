// The one check of the embedded pictures that all three platforms load through.
#include "platform/picture_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "resources/pictures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes embedded(int id) {
    const EmbeddedPicture* p = find_embedded_picture(id);
    return p ? Bytes(p->data, p->data + p->size) : Bytes{};
}

void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 2; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Where the fields lie in the embedded files: an icon's one entry and its
// image at 22, a bitmap's file header and info header.
constexpr std::size_t ENTRY = 6, IMAGE = 22, INFO = 14;

// Every embedded picture passing with its size and bits: StartupTest.WhatAStartSetsUp, whose
// headless records come from this check.
TEST(PictureCheckTest, WhatIsRefusedAndWhatIsNot) {
    using Change = std::function<void(Bytes&)>;
    const auto cut = [](std::size_t keep) { return [keep](Bytes& b) { b.resize(keep); }; };
    const auto cut_by = [](std::size_t drop) { return [drop](Bytes& b) { b.resize(b.size() - drop); }; };
    const auto set32 = [](std::size_t at, std::uint32_t v) { return [at, v](Bytes& b) { put32(b, at, v); }; };
    const auto set16 = [](std::size_t at, std::uint32_t v) { return [at, v](Bytes& b) { put16(b, at, v); }; };
    struct Row {
        const char* what;
        int picture;
        PictureKind kind;
        Change change;
        bool good;
        // When good: the height, the row order, and where the image lies (an icon's whole
        // entry, a bitmap's padded rows after its headers).
        int height = 0;
        bool top_down = false;
        std::size_t image_offset = 0, image_size = 0;
    };
    const Row rows[] = {
        // Icons (picture 11: 48 x 48, 32 bits, one entry of 9640 bytes at 22).
        {"icon as made", 11, PICTURE_ICON, [](Bytes&) {}, true, 48, false, IMAGE, 9640},
        {"icon cut by one byte", 11, PICTURE_ICON, cut_by(1), false},
        {"icon: its directory only", 11, PICTURE_ICON, cut(22), false},
        {"icon: a directory cut short", 11, PICTURE_ICON, cut(21), false},
        {"empty", 11, PICTURE_ICON, cut(0), false},
        {"icon: image offset past the end", 11, PICTURE_ICON, set32(ENTRY + 12, 9663), false},
        {"icon: image offset at the very end", 11, PICTURE_ICON, set32(ENTRY + 12, 9662), false},
        {"icon: huge image offset", 11, PICTURE_ICON, set32(ENTRY + 12, 0xFFFFFFF0), false},
        {"icon: huge image size", 11, PICTURE_ICON, set32(ENTRY + 8, 0xFFFFFFFF), false},
        {"icon: no entry", 11, PICTURE_ICON, set16(4, 0), false},
        {"icon: a cursor's directory", 11, PICTURE_ICON, set16(2, 2), false},
        {"icon: entry too short for its mask", 11, PICTURE_ICON,
         [](Bytes& b) { put32(b, ENTRY + 8, 9600), b.resize(IMAGE + 9600); }, false},
        {"icon: huge width in its image", 11, PICTURE_ICON, set32(IMAGE + 4, 0x7FFFFFFF), false},
        {"icon: negative height in its image", 11, PICTURE_ICON, set32(IMAGE + 8, 0xFFFFFFA0), false},
        {"icon: odd stacked height", 11, PICTURE_ICON, set32(IMAGE + 8, 95), false},
        {"icon: image and entry disagree", 11, PICTURE_ICON, [](Bytes& b) { b[ENTRY] = 32; }, false},
        {"icon: 16 bits", 11, PICTURE_ICON, set16(IMAGE + 14, 16), false},
        {"icon: compressed image", 11, PICTURE_ICON, set32(IMAGE + 16, 3), false},
        {"icon: a PNG image", 11, PICTURE_ICON, set32(IMAGE, 0x474E5089), false},
        // 8 bits: a palette of 256 colours and smaller rows; 9640 bytes hold them.
        {"icon: 8 bits with its palette", 11, PICTURE_ICON, set16(IMAGE + 14, 8), true, 48, false, IMAGE,
         9640},
        {"icon: more colours than 8 bits have", 11, PICTURE_ICON,
         [](Bytes& b) { put16(b, IMAGE + 14, 8), put32(b, IMAGE + 32, 257); }, false},
        {"icon handed over as a bitmap", 11, PICTURE_BITMAP, [](Bytes&) {}, false},
        {"unknown kind", 11, static_cast<PictureKind>(7), [](Bytes&) {}, false},

        // Bitmaps (picture 60: 12 x 12, 24 bits, rows of 36 bytes from 54, 486 bytes).
        {"bitmap as made", 60, PICTURE_BITMAP, [](Bytes&) {}, true, 12, false, 54, 432},
        {"bitmap top-down", 60, PICTURE_BITMAP, set32(INFO + 8, static_cast<std::uint32_t>(-12)), true, 12,
         true, 54, 432},
        {"bitmap top-down, cut by one byte", 60, PICTURE_BITMAP,
         [](Bytes& b) { put32(b, INFO + 8, static_cast<std::uint32_t>(-12)), b.resize(485); }, false},
        {"bitmap cut by one byte", 60, PICTURE_BITMAP, cut_by(1), false},
        {"bitmap: headers only", 60, PICTURE_BITMAP, cut(54), false},
        {"bitmap: headers cut short", 60, PICTURE_BITMAP, cut(53), false},
        {"bitmap: rows offset past the end", 60, PICTURE_BITMAP, set32(10, 487), false},
        {"bitmap: huge rows offset", 60, PICTURE_BITMAP, set32(10, 0xFFFFFFF0), false},
        {"bitmap: rows inside the headers", 60, PICTURE_BITMAP, set32(10, 40), false},
        {"bitmap: a later info header reaching into the rows", 60, PICTURE_BITMAP, set32(INFO, 108), false},
        {"bitmap: info header too short", 60, PICTURE_BITMAP, set32(INFO, 12), false},
        {"bitmap: huge width", 60, PICTURE_BITMAP, set32(INFO + 4, 0x7FFFFFFF), false},
        {"bitmap: width 4097", 60, PICTURE_BITMAP, set32(INFO + 4, 4097), false},
        {"bitmap: no width", 60, PICTURE_BITMAP, set32(INFO + 4, 0), false},
        {"bitmap: huge height", 60, PICTURE_BITMAP, set32(INFO + 8, 0x7FFFFFFF), false},
        {"bitmap: the most negative height", 60, PICTURE_BITMAP, set32(INFO + 8, 0x80000000), false},
        {"bitmap: no height", 60, PICTURE_BITMAP, set32(INFO + 8, 0), false},
        {"bitmap: one row", 60, PICTURE_BITMAP, set32(INFO + 8, 1), true, 1, false, 54, 36},
        {"bitmap: 32 bits", 60, PICTURE_BITMAP, set16(INFO + 14, 32), false},
        {"bitmap: run-length compressed", 60, PICTURE_BITMAP, set32(INFO + 16, 1), false},
        {"bitmap: two planes", 60, PICTURE_BITMAP, set16(INFO + 12, 2), false},
        {"bitmap: not BM", 60, PICTURE_BITMAP, [](Bytes& b) { b[1] = 'A'; }, false},
        {"bitmap handed over as an icon", 60, PICTURE_ICON, [](Bytes&) {}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Bytes b = embedded(r.picture);
        r.change(b);
        PictureFacts f;
        f.height = -1;
        // A copy of exactly its size, so that ASan sees any read past the end.
        const auto exact = std::make_unique<std::uint8_t[]>(b.size());
        std::copy(b.begin(), b.end(), exact.get());
        EXPECT_EQ(check_picture(exact.get(), b.size(), r.kind, &f), r.good);
        if (r.good)
            EXPECT_EQ(
                std::tuple(f.width, f.height, f.top_down, f.image_offset, f.image_size),
                std::tuple(r.picture == 11 ? 48 : 12, r.height, r.top_down, r.image_offset, r.image_size));
        else
            EXPECT_EQ(f.height, -1) << "facts left alone";
    }
    EXPECT_FALSE(check_picture(nullptr, 100, PICTURE_ICON, nullptr));
}

}  // namespace
