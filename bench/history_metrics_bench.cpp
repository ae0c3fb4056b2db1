// What the metrics file costs each sample: the text built, written beside the
// file and renamed over it, in a scratch folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/state.h"
#include "monitor/metrics_file.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

void BM_HistoryMetricsWrite(benchmark::State& st) {
    const fs::path folder = fs::temp_directory_path() / ("vyx_metrics_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    state.systray_icon_prefix = "DSL-Modem \"1\"";
    HistorySettings s;
    s.sample_seconds = 10;
    s.metrics_file = (folder / "vyx.prom").string();
    metrics_start(s);
    HistoryEntry e;
    e.kind = HK_CONNECTED;
    metrics_entry(e);
    e.kind = HK_SAMPLE, e.up_kbps = 1024, e.snrm_db = 6.5f;
    int i = 0;
    for (auto _ : st) {
        e.utc = utc_seconds(), e.dn_kbps = 8000 + i++ % 97;  // a changed text each time: written each time
        metrics_entry(e);
    }
    if (!fs::exists(folder / "vyx.prom")) st.SkipWithError("not written");
    fs::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_HistoryMetricsWrite)->Unit(benchmark::kMicrosecond);
