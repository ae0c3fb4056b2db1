// Cost of exporting a month of 10 s samples: the HTML (the picture from pixel
// columns, the figures, a table of 30 days) and the CSV of every entry,
// written into a scratch working folder. Counters give the files' sizes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>

#include "bench/history_month.h"
#include "ui/history_report.h"

namespace {

void BM_HistoryExportReport30Days(benchmark::State& state) {
    namespace fs = std::filesystem;
    const HistoryData& d = month();
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
