// Cost of exporting a month of 10 s samples: the HTML (the picture from pixel
// columns, the figures, a table of 30 days) and the CSV of every entry,
// written into a scratch working folder. Counters give the files' sizes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>

#include "ui/history_report.h"

namespace {

constexpr std::int64_t START = 1796688000, MONTH = 30 * 86400;

HistoryData month() {
    HistoryData d;
    d.details.push_back("probe");
    d.entries.reserve(MONTH / 10 + 64);
    std::uint32_t noise = 12345;
    for (std::int64_t t = 0; t < MONTH; t += 10) {
        if (t % 86400 == 43200) {
            HistoryEntry drop;
            drop.utc = START + t - 5, drop.kind = HK_DROPPED, drop.detail = 1;
            d.entries.push_back(drop);
        }
        noise = noise * 1664525 + 1013904223;
        HistoryEntry e;
        e.utc = START + t;
        e.dn_kbps = 16000 + static_cast<int>(noise >> 20), e.up_kbps = 1000 + static_cast<int>(noise >> 24);
        e.snrm_db = 6 + static_cast<float>(noise >> 28) / 10, e.warning = 0;
        d.entries.push_back(e);
    }
    return d;
}

int plus_hour(long long) { return 3600; }

void BM_HistoryExportReport30Days(benchmark::State& state) {
    namespace fs = std::filesystem;
    const HistoryData d = month();
    HistoryReportArgs r;
    r.chart.from_utc = START, r.chart.to_utc = START + MONTH, r.chart.now_utc = START + MONTH;
    r.chart.width = 900, r.chart.height = 470, r.chart.sample_seconds = 10, r.chart.offset_at = plus_hour;
    r.thresholds.bitdn_on = 1, r.thresholds.bitdn_kbps = 16500, r.thresholds.snrdn_on = 1;
    r.thresholds.snrdn_db = 6.5f;
    r.line_name = "DSL", r.server = "192.168.1.1:5025";
    const fs::path old = fs::current_path(), dir = fs::temp_directory_path() / "vyx_report_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    std::string path, problem;
    for (auto _ : state)
        if (!history_export_report(d, r, path, problem)) state.SkipWithError(problem.c_str());
    if (!path.empty()) {
        state.counters["html_KiB"] = static_cast<double>(fs::file_size(path)) / 1024;
        state.counters["csv_MiB"] =
            static_cast<double>(fs::file_size(path.substr(0, path.size() - 4) + "csv")) / (1 << 20);
    }
    state.counters["entries"] = static_cast<double>(d.entries.size());
    fs::current_path(old);
    fs::remove_all(dir);
}
BENCHMARK(BM_HistoryExportReport30Days)->Unit(benchmark::kMillisecond);

}  // namespace
