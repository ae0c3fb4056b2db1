// What the reader reads, written back and read again, is the same; texts have no end blanks or line ends.
#include <string_view>

#include "fuzz/networked_program.h"
#include "ui/ini_file.h"

namespace {

using fuzz::check;

constexpr const char* keys[] = {"IP_or_Hostname",    "Port",       "AutoConnect",       "startVYXCiconic",
                                "SysTrayIconPrefix", "TryConnect", "TryConnectInterval"};
constexpr std::size_t KEYS = std::size(keys);

// The texts ("\x01" when absent), then the numbers (-12345), of each key in CLIENT.
std::vector<std::string> reads(IniFile& file) {
    ini_select_group(file, "CLIENT");
    std::vector<std::string> found;
    for (const char* key : keys) found.push_back(ini_read_string(file, key, "\x01"));
    for (const char* key : keys) found.push_back(std::to_string(ini_read_int(file, key, -12345)));
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IniFile file = ini_parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool found = ini_select_group(file, "CLIENT") == 1;
    const std::vector<std::string> read = reads(file);
    for (std::size_t k = 0; k < KEYS; ++k) {
        const std::string& t = read[k];
        check(t.find_first_of("\r\n") == std::string::npos);
        check(t.empty() || (t.front() != ' ' && t.front() != '\t' && t.back() != ' ' && t.back() != '\t'));
        check(found || (t == "\x01" && read[KEYS + k] == "-12345"));
    }

    // Written back, a first line beginning with the byte-order mark's bytes would be taken for it.
    const std::string written = ini_serialize(file);
    if (!file.utf8 && written.starts_with("\xEF\xBB\xBF")) return 0;
    IniFile again = ini_parse(written);
    const auto same = [](const IniNode& a, const IniNode& b) {
        return a.kind == b.kind && a.name == b.name && a.value == b.value;
    };
    check(again.utf8 == file.utf8 && std::ranges::equal(again.nodes, file.nodes, same));
    check(ini_serialize(again) == written && (ini_select_group(again, "CLIENT") == 1) == found);
    check(reads(again) == read);

    // Writing what was read into the file's own group changes no read.
    for (std::size_t k = 0; k < KEYS; ++k)
        if (read[k] != "\x01") ini_write_string(file, keys[k], read[k]);
    IniFile rewritten = ini_parse(ini_serialize(file));
    const std::vector<std::string> reread = reads(rewritten);
    check(!found || std::equal(read.begin(), read.begin() + KEYS, reread.begin()));
    return 0;
}
