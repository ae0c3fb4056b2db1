// INI-style settings files: "[group]" headers, "; comment" lines and
// "key = value" entries, one per line.
//
// The image is parsed whole into nodes and looked up in memory, so every
// rule of reading is reachable on a plain byte buffer, without a file. The
// file side only moves whole images: a bounded read, and a write that goes
// to a temporary file first and then replaces the old one in one step.
//
// A file that starts with a UTF-8 byte-order mark is read as UTF-8: its
// text values are turned into the local code page as they are read, and a
// value that has no form there reads as empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum IniKind : int { INI_GROUP, INI_COMMENT, INI_ENTRY };

struct IniNode {
    IniKind kind = INI_ENTRY;
    std::string name;   // group name, comment text or key
    std::string value;  // entries only; trailing blanks kept as they stood
};

struct IniFile {
    bool utf8 = false;  // began with a byte-order mark; written back with one
    // A file stands under the name but could not be read whole; the image is
    // empty, and writing it over the file would lose what the file holds.
    bool unreadable = false;
    std::vector<IniNode> nodes;  // in file order
    // Index of the current group's header; -1 for the entries before the
    // first header.
    int group = -1;
    // A selected group that has no header yet: reads give their defaults,
    // and the first write appends the header.
    bool group_pending = false;
    std::string pending_name;
};

// Anything bigger than this is not a settings file of ours; see ini_read_file.
inline constexpr std::size_t INI_MAX_BYTES = 8 * 1024 * 1024;

IniFile ini_parse(std::string_view image);
// Each node as one line ended by CR LF; a UTF-8 file starts with the mark and CR LF.
std::string ini_serialize(const IniFile& file);

// Group and key names compare with ASCII letters folded.
bool ini_names_equal(std::string_view a, std::string_view b);

// 1 when a header of that name exists (the first one becomes current);
// otherwise 0 and the name is pending. An empty name selects the entries
// before the first header.
int ini_select_group(IniFile& file, std::string_view name);

// Reads look in the current group only; the first entry of a key wins. The
// fallback is returned only when the key is not there (or the group is
// pending): a present but empty or non-numeric value reads as "" or 0.
std::string ini_read_string(const IniFile& file, std::string_view key, std::string_view fallback);
std::int32_t ini_read_int(const IniFile& file, std::string_view key, std::int32_t fallback);

// Replaces the first entry of the key in the current group (taking the new
// spelling of the key), or adds one at the group's end.
void ini_write_string(IniFile& file, std::string_view key, std::string_view value);
void ini_write_int(IniFile& file, std::string_view key, std::int32_t value);

// The file's whole image, parsed. A missing file gives an empty image, so
// every read gives its default; so does one that cannot be read whole (no
// rights, a read error, larger than INI_MAX_BYTES), which is marked unreadable.
// Never creates anything.
IniFile ini_read_file(const std::string& name);
// Writes the image to temp_name, then replaces name with it. 1 on success;
// on failure 0, name untouched and temp_name removed.
int ini_write_file(const IniFile& file, const std::string& name, const std::string& temp_name);
