#include "platform/picture_check.h"

namespace {

std::uint32_t u16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }

std::uint32_t u32(const std::uint8_t* p) { return u16(p) | u16(p + 2) << 16; }

std::int64_t s32(const std::uint8_t* p) { return static_cast<std::int32_t>(u32(p)); }

// Rows of a device-independent bitmap are padded to whole 32-bit words.
std::uint64_t stride(std::uint64_t width, std::uint64_t bits) { return (width * bits + 31) / 32 * 4; }

constexpr std::size_t ICON_DIRECTORY = 6, ICON_ENTRY = 16, FILE_HEADER = 14, INFO_HEADER = 40;

bool check_icon(const std::uint8_t* data, std::size_t size, PictureFacts& facts) {
    if (size < ICON_DIRECTORY + ICON_ENTRY || u16(data) != 0 || u16(data + 2) != 1 || u16(data + 4) < 1)
        return false;
    const std::uint8_t* entry = data + ICON_DIRECTORY;
    const std::uint64_t bytes = u32(entry + 8), offset = u32(entry + 12);
    if (bytes < INFO_HEADER || offset > size || bytes > size - offset) return false;

    // The image: an info header, then a palette (8 bits or fewer), the colour
    // rows and the transparency mask's rows, colours and mask stacked in one height.
    const std::uint8_t* image = data + offset;
    const std::int64_t width = s32(image + 4), stacked = s32(image + 8);
    const std::uint32_t bits = u16(image + 14), colours_used = u32(image + 32);
    if (u32(image) != INFO_HEADER || u16(image + 12) != 1 || u32(image + 16) != 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    if (width < 1 || width > 256 || stacked < 2 || stacked > 512 || stacked % 2 != 0) return false;
    const std::int64_t height = stacked / 2;
    // The directory's entry says the same size (0 standing for 256).
    if ((entry[0] ? entry[0] : 256) != width || (entry[1] ? entry[1] : 256) != height) return false;
    std::uint64_t palette = 0;
    if (bits <= 8) {
        if (colours_used > (1u << bits)) return false;
        palette = 4 * std::uint64_t(colours_used ? colours_used : 1u << bits);
    }
    const std::uint64_t needed =
        INFO_HEADER + palette +
        std::uint64_t(height) * (stride(std::uint64_t(width), bits) + stride(std::uint64_t(width), 1));
    if (needed > bytes) return false;
    facts = PictureFacts{static_cast<int>(width),          static_cast<int>(height),
                         static_cast<int>(bits),           false,
                         static_cast<std::size_t>(offset), static_cast<std::size_t>(bytes)};
    return true;
}

bool check_bitmap(const std::uint8_t* data, std::size_t size, PictureFacts& facts) {
    if (size < FILE_HEADER + INFO_HEADER || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint64_t rows_offset = u32(data + 10), header = u32(data + FILE_HEADER);
    const std::uint8_t* info = data + FILE_HEADER;
    const std::int64_t width = s32(info + 4), height = s32(info + 8);
    // Larger (later) info headers begin as the 40-byte one; all of it lies before the rows.
    if (header < INFO_HEADER || rows_offset < FILE_HEADER + header || rows_offset > size) return false;
    if (u16(info + 12) != 1 || u16(info + 14) != 24 || u32(info + 16) != 0) return false;
    if (width < 1 || width > 4096 || height == 0 || height < -4096 || height > 4096) return false;
    const std::uint64_t rows = std::uint64_t(height < 0 ? -height : height);
    const std::uint64_t bytes = rows * stride(std::uint64_t(width), 24);
    if (bytes > size - rows_offset) return false;
    facts = PictureFacts{static_cast<int>(width),
                         static_cast<int>(rows),
                         24,
                         height < 0,
                         static_cast<std::size_t>(rows_offset),
                         static_cast<std::size_t>(bytes)};
    return true;
}

}  // namespace

bool check_picture(const std::uint8_t* data, std::size_t size, PictureKind kind, PictureFacts* facts) {
    PictureFacts found;
    if (!data) return false;
    const bool good = kind == PICTURE_ICON     ? check_icon(data, size, found)
                      : kind == PICTURE_BITMAP ? check_bitmap(data, size, found)
                                               : false;
    if (good && facts) *facts = found;
    return good;
}
