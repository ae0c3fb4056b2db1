// Whatever bytes a day file holds, the reader's entries stay inside its model,
// and a line the writer then appends is read back whole, after exactly the
// entries read before: no cut or broken line can swallow or change it.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string_view>

#include "monitor/history_store.h"
#include "platform/platform.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::string read_back(const std::string& name) {
    const int file = file_open(name, FILE_READ);
    std::string text(static_cast<std::size_t>(file_size(file)), '\0');
    std::size_t used = 0;
    for (int n; used < text.size() &&
                (n = file_read(file, text.data() + used, static_cast<int>(text.size() - used))) > 0;)
        used += static_cast<std::size_t>(n);
    file_close(file);
    text.resize(used);
    return text;
}

bool same(const HistoryData& a, const HistoryEntry& x, const HistoryData& b, const HistoryEntry& y) {
    return x.utc == y.utc && x.kind == y.kind && x.dn_kbps == y.dn_kbps && x.up_kbps == y.up_kbps &&
           x.warning == y.warning && a.detail(x) == b.detail(y) &&
           (x.snrm_db == y.snrm_db || (std::isnan(x.snrm_db) && std::isnan(y.snrm_db)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool scratch = [] {
        char dir[] = "/tmp/vyx_fuzz_XXXXXX";
        return ::mkdtemp(dir) != nullptr && ::chdir(dir) == 0 && make_folder("h") == 1;
    }();
    check(scratch && size < (1 << 19));
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    HistoryData before;
    history_parse(text, before);
    for (const HistoryEntry& e : before.entries)
        check(e.kind < HK_COUNT && e.detail < before.details.size() && e.warning >= -1 && e.warning <= 1 &&
              e.dn_kbps >= -1 && e.up_kbps >= -1);

    const std::string name = "h/2026-12-08.csv";
    const int file = file_open(name, FILE_WRITE);
    check(file_write(file, text.data(), static_cast<int>(size)) == static_cast<int>(size));
    file_close(file);
    HistoryLine line;
    line.utc = 1796770790, line.offset_s = 3600, line.kind = HK_DROPPED, line.snrm = "6.1";
    line.detail = "\"a\",\r\nb";
    check(HistoryWriter("h").append(line));

    HistoryData after;
    history_parse(read_back(name), after);
    check(after.entries.size() == before.entries.size() + 1);
    for (std::size_t i = 0; i < before.entries.size(); ++i)
        check(same(before, before.entries[i], after, after.entries[i]));
    const HistoryEntry& last = after.entries.back();
    check(last.utc == line.utc && last.kind == line.kind && last.snrm_db == 6.1f &&
          after.detail(last) == line.detail);
    return 0;
}
