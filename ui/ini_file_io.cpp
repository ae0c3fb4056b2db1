// Settings files on disk: whole images in, whole images out.
//
// A read is bounded, as anything can stand under the file's name; a write
// never touches the old file until a complete new one is on disk.
#include <climits>

#include "platform/platform.h"
#include "ui/ini_file.h"

IniFile ini_read_file(const std::string& name) {
    IniFile unread;
    unread.unreadable = true;
    const int handle = file_open(name, FILE_READ);
    if (!handle) {
        // No file gives the defaults; a file we may not open is the user's all the same.
        if (file_exists(name)) return unread;
        return {};
    }
    // Read whole or not at all: a file cut anywhere could lose the group
    // or cut a value short. Past the bound it is no settings file of ours.
    std::string image;
    char piece[65536];
    int n;
    while ((n = file_read(handle, piece, sizeof piece)) > 0) {
        image.append(piece, static_cast<std::size_t>(n));
        if (image.size() > INI_MAX_BYTES) break;
    }
    file_close(handle);
    if (n < 0 || image.size() > INI_MAX_BYTES) return unread;  // a directory, a device error, too big
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
