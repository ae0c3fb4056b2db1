// Files, folders and the true time as the system answers them, in a folder of
// the test's own under the temporary folder. The offset rows only mean
// something in a zone away from UTC: run with TZ=Europe/Berlin, say.
#include "platform/win32/internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

std::string read_all(const std::string& name) {
    std::string text;
    const int f = file_open(name, FILE_READ);
    char buffer[64];
    for (int got = 0; f && (got = file_read(f, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    file_close(f);
    return text;
}

void write(const std::string& name, int mode, const char* text) {
    const int f = file_open(name, mode);
    file_write(f, text, static_cast<int>(std::strlen(text)));
    file_close(f);
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

int files_test() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "vyx_files_test_" + std::to_string(GetCurrentProcessId());
    const std::string a = dir + "\\a.csv", b = dir + "\\b.csv";

    const bool made = make_folder(dir) == 1 && make_folder(dir) == 1 && make_folder(dir + "\\sub") == 1;
    write(a, FILE_WRITE, "ab");
    const int f = file_open(a, FILE_APPEND);
    file_write(f, "cd", 2);
    const long long size_after_append = file_size(f);
    file_close(f);
    write(a, FILE_APPEND, "e");
    write(b, FILE_APPEND, "new");
    const std::vector<std::string> files{"a.csv", "b.csv"};

    // A January and a July noon (2025) are a zone's standard and daylight time, in either hemisphere.
    TIME_ZONE_INFORMATION zone{};
    const bool daylight = GetTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID && zone.DaylightDate.wMonth;
    const int saving = daylight ? static_cast<int>(zone.StandardBias - zone.DaylightBias) * 60 : 0;
    const long long now = utc_seconds();

    const struct {
        const char* what;
        bool ok;
    } rows[] = {
        {"a folder made, made again, and one inside it", made},
        {"a file standing where a folder is asked for", make_folder(a) == 0},
        {"appends land after what was written, one handle or two", read_all(a) == "abcde"},
        {"the size of a file opened to append", size_after_append == 4},
        {"an append creates a missing file", read_all(b) == "new"},
        {"only plain files listed, by name", sorted(list_folder(dir)) == files},
        {"a folder named with its separator", sorted(list_folder(dir + "\\")) == files},
        {"a missing folder lists nothing", list_folder(dir + "\\none").empty()},
        {"the true time is the C library's",
         std::llabs(now - static_cast<long long>(std::time(nullptr))) <= 1},
        {"the offset now is local time minus the true time",
         std::llabs(utc_offset_seconds(now) - (seconds_clock() - now)) <= 1},
        {"summer and winter apart by the daylight saving",
         std::abs(utc_offset_seconds(1752580800) - utc_offset_seconds(1736942400)) == std::abs(saving)},
    };
    DeleteFileA(a.c_str());
    DeleteFileA(b.c_str());
    RemoveDirectoryA((dir + "\\sub").c_str());
    RemoveDirectoryA(dir.c_str());

    int failed = 0;
    for (const auto& row : rows) {
        std::printf("%s %s\n", row.ok ? "ok  " : "FAIL", row.what);
        failed += row.ok ? 0 : 1;
    }
    std::printf("offset now %d s, daylight saving %d s\n", utc_offset_seconds(now), saving);
    return failed;
}
