// Cost of drawing the history window: a month of 10 s samples over the whole
// month, and the previous day of the same data as after a pan. The data is
// noisy in every series, with a drop a day, so every column has a band and
// the lines break; the counters show the list stays bounded by the width.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "ui/history_chart.h"

namespace {

constexpr std::int64_t START = 1796688000, MONTH = 30 * 86400;

const HistoryData& month() {
    static const HistoryData d = [] {
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
            e.dn_kbps = 16000 + static_cast<int>(noise >> 20),
            e.up_kbps = 1000 + static_cast<int>(noise >> 24);
            e.snrm_db = 6 + static_cast<float>(noise >> 28) / 10, e.warning = 0;
            d.entries.push_back(e);
        }
        return d;
    }();
    return d;
}

int plus_hour(long long) { return 3600; }

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
