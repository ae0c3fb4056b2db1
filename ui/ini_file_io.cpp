// Settings files on disk: whole images in, whole images out.
//
// A read is bounded, as anything can stand under the file's name; a write
// never touches the old file until a complete new one is on disk.
#include <climits>

#include "platform/platform.h"
#include "ui/ini_file.h"

namespace {
constexpr std::string_view LINE_ENDS = "\r\n";
}  // namespace

IniFile ini_read_file(const std::string& name) {
    const int handle = file_open(name, FILE_READ);
    if (!handle) return {};
    // The program writes under 200 bytes, and a file edited by hand with
    // comments stays within a few kilobytes. Whatever lies past the bound
    // (a log pasted in, a disk image) is not read, so a stray huge file costs
    // neither memory nor time on the window's thread. One byte more than the
    // bound is asked for to learn whether the file goes on.
    std::string image(INI_MAX_BYTES + 1, '\0');
    std::size_t got = 0;
    while (got < image.size()) {
        const int n = file_read(handle, image.data() + got, static_cast<int>(image.size() - got));
        if (n < 0) {
            file_close(handle);
            return {};  // unreadable (a directory, a device error): defaults
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    file_close(handle);
    image.resize(got);
    if (got > INI_MAX_BYTES) {
        // Keep whole lines only: a line cut at the bound could turn
        // "Port = 8080" into "Port = 80".
        const std::size_t last_end = image.find_last_of(LINE_ENDS, INI_MAX_BYTES - 1);
        image.resize(last_end == std::string::npos ? 0 : last_end);
    }
    return ini_parse(image);
}

int ini_write_file(const IniFile& file, const std::string& name, const std::string& temp_name) {
    // The old file is replaced only by a complete new one, so a failed save
    // (full disk, no rights, a locked file) leaves the user's settings intact.
    const std::string image = ini_serialize(file);
    if (image.size() > static_cast<std::size_t>(INT_MAX)) return 0;
    const int handle = file_open(temp_name, FILE_WRITE);
    if (!handle) return 0;
    const int size = static_cast<int>(image.size());
    const bool written = file_write(handle, image.data(), size) == size;
    file_close(handle);
    if (written && file_replace(temp_name, name)) return 1;
    file_delete(temp_name);
    return 0;
}
