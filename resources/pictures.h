// The twenty pictures, embedded as complete .ico / .bmp files.
#pragma once

#include <cstddef>

struct EmbeddedPicture {
    int id;
    const unsigned char* data;
    std::size_t size;
};

extern const EmbeddedPicture embedded_pictures[];
extern const int embedded_picture_count;

// nullptr when the id has no embedded picture.
inline const EmbeddedPicture* find_embedded_picture(int id) {
    for (int i = 0; i < embedded_picture_count; ++i)
        if (embedded_pictures[i].id == id) return &embedded_pictures[i];
    return nullptr;
}
