// Settings reader under libFuzzer: any bytes at all as the settings file.
//
// Besides surviving the sanitizers, the reader must agree with the writer:
// what it reads, written back and read again, gives the same nodes and the
// same settings, and values read as text never carry blanks at their ends
// or a line end inside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/ini_file.h"

namespace {

constexpr const char* keys[] = {"IP_or_Hostname",    "Port",       "AutoConnect",       "startVYXCiconic",
                                "SysTrayIconPrefix", "TryConnect", "TryConnectInterval"};

void check(bool ok) {
    if (!ok) std::abort();
}

bool same_nodes(const IniFile& a, const IniFile& b) {
    if (a.utf8 != b.utf8 || a.nodes.size() != b.nodes.size()) return false;
    for (std::size_t i = 0; i < a.nodes.size(); ++i)
        if (a.nodes[i].kind != b.nodes[i].kind || a.nodes[i].name != b.nodes[i].name ||
            a.nodes[i].value != b.nodes[i].value)
            return false;
    return true;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view image(reinterpret_cast<const char*>(data), size);

    // Read as start-up does.
    IniFile file = ini_parse(image);
    const int found = ini_select_group(file, "CLIENT");
    std::string texts[std::size(keys)];
    std::int32_t numbers[std::size(keys)];
    for (std::size_t k = 0; k < std::size(keys); ++k) {
        texts[k] = ini_read_string(file, keys[k], "\x01");
        numbers[k] = ini_read_int(file, keys[k], -12345);
        const std::string& t = texts[k];
        check(t.find_first_of("\r\n") == std::string::npos);
        check(t.empty() || (!blank(t.front()) && !blank(t.back())));
        if (!found) check(t == "\x01" && numbers[k] == -12345);
    }

    // The written form reads back as the same nodes and the same values;
    // except when a file without the byte-order mark has a first line that
    // begins with its three bytes: written back, they would be taken for it.
    const std::string written = ini_serialize(file);
    if (!file.utf8 && written.starts_with("\xEF\xBB\xBF")) return 0;
    IniFile again = ini_parse(written);
    check(same_nodes(file, again));
    check(ini_serialize(again) == written);
    check(ini_select_group(again, "CLIENT") == found);
    for (std::size_t k = 0; k < std::size(keys); ++k) {
        check(ini_read_string(again, keys[k], "\x01") == texts[k]);
        check(ini_read_int(again, keys[k], -12345) == numbers[k]);
    }

    // Writing what was read into the file's own group changes no read.
    for (std::size_t k = 0; k < std::size(keys); ++k)
        if (texts[k] != "\x01") ini_write_string(file, keys[k], texts[k]);
    if (found) {
        IniFile rewritten = ini_parse(ini_serialize(file));
        ini_select_group(rewritten, "CLIENT");
        for (std::size_t k = 0; k < std::size(keys); ++k)
            check(ini_read_string(rewritten, keys[k], "\x01") == texts[k]);
    }
    return 0;
}
