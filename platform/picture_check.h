// Which embedded pictures every platform shows alike, and what they are.
// Each window system has loaders of its own that differ at the edges (one
// shows the top of a cut-off file, one reads rows past the end, one takes
// a compressed image another refuses), so all three platforms ask this one
// check first and hand their loader only what it accepts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

struct PictureFacts {
    int width = 0, height = 0;  // in pixels, positive whatever the row order
    int bits = 0;               // per pixel
    bool top_down = false;      // bitmaps whose first row is the top one (a negative height)
    // Where the image lies inside the buffer: an icon's whole image (header,
    // colours, mask), a bitmap's rows.
    std::size_t image_offset = 0, image_size = 0;
};

// True when data holds a complete picture of the kind:
// - PICTURE_ICON: an icon directory with at least one entry, whose first
//   image is an uncompressed device-independent bitmap of 1, 4, 8, 24 or 32
//   bits, 1 to 256 pixels each way as its entry says, with its palette,
//   colours and mask inside the entry's bytes, and those inside the buffer;
// - PICTURE_BITMAP: a bitmap file of 24 bits, uncompressed, 1 to 4096 pixels
//   each way in either row order, its rows inside the buffer after its headers.
// facts (may be nullptr) are filled when it is.
bool check_picture(const std::uint8_t* data, std::size_t size, PictureKind kind, PictureFacts* facts);
