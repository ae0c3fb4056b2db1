// Cost of drawing the history window: a month of 10 s samples over the whole
// month, and the previous day of the same data as after a pan. The data is
// noisy in every series, with a drop a day, so every column has a band and
// the lines break; the counters show the list stays bounded by the width.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/history_month.h"
#include "ui/history_chart.h"

namespace {

void draw(benchmark::State& state, std::int64_t from, std::int64_t to) {
    const HistoryData& d = month();
    HistoryChartArgs a;
    a.from_utc = from, a.to_utc = to, a.now_utc = START + MONTH;
    a.width = 860, a.height = 470, a.sample_seconds = 10, a.offset_at = plus_hour, a.pointer_x = 400;
    DrawList out;
    for (auto _ : state) {
        history_draw(d, a, out);
        benchmark::DoNotOptimize(out.ops.data());
    }
    state.counters["entries"] = static_cast<double>(d.entries.size());
    state.counters["ops"] = static_cast<double>(out.ops.size());
    state.counters["points"] = static_cast<double>(out.points.size());
    state.counters["entry_MiB"] = static_cast<double>(d.entries.size() * sizeof(HistoryEntry)) / (1 << 20);
}

void BM_HistoryDraw30Days(benchmark::State& state) { draw(state, START, START + MONTH); }
BENCHMARK(BM_HistoryDraw30Days)->Unit(benchmark::kMillisecond);

void BM_HistoryPan(benchmark::State& state) { draw(state, START + MONTH - 2 * 86400, START + MONTH - 86400); }
BENCHMARK(BM_HistoryPan)->Unit(benchmark::kMillisecond);

void BM_HistoryFigures30Days(benchmark::State& state) {
    HistoryThresholds t;
    t.bitdn_on = 1, t.bitdn_kbps = 16500, t.snrdn_on = 1, t.snrdn_db = 6.5f;
    for (auto _ : state)
        benchmark::DoNotOptimize(history_figures(month(), START, START + MONTH, 10, START + MONTH, t));
}
BENCHMARK(BM_HistoryFigures30Days)->Unit(benchmark::kMillisecond);

}  // namespace
