// The history's two costs that users feel: recording a sample (an appended
// line handed to the system at once) and opening 30 days of samples taken
// every 10 s. Both over real files in a scratch folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "monitor/history_store.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t START = 1793487600;  // 2026-11-01T00:00:00+01:00
constexpr int OFFSET = 3600, PERIOD = 10, DAYS = 30;

// A scratch folder that goes when the benchmark ends.
struct Scratch {
    fs::path path = fs::temp_directory_path() / ("vyx_history_bench_" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(path); }
    ~Scratch() { fs::remove_all(path); }
};

HistoryLine sample(std::int64_t utc, int i) {
    HistoryLine l;
    l.utc = utc, l.offset_s = OFFSET, l.dn_kbps = 6000 + i % 97, l.up_kbps = 590 + i % 7,
    l.warning = i % 50 == 0;
    l.snrm = std::to_string(5 + i % 30 / 10) + "." + std::to_string(i % 10);
    return l;
}

void BM_HistoryRecordSample(benchmark::State& state) {
    Scratch scratch;
    HistoryWriter writer((scratch.path / "h").string());
    std::int64_t i = 0;
    for (auto _ : state) {
        if (!writer.append(sample(START + i * PERIOD, static_cast<int>(i))))
            state.SkipWithError("not written");
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_HistoryLoad30Days(benchmark::State& state) {
    Scratch scratch;
    const std::string folder = (scratch.path / "h").string();
    fs::create_directories(folder);
    constexpr int PER_DAY = 86400 / PERIOD;
    for (int day = 0; day < DAYS; ++day) {
        std::string text = HISTORY_HEADER;
        for (int i = 0; i < PER_DAY; ++i)
            text += history_csv_line(sample(START + (day * PER_DAY + i) * PERIOD, i));
        std::ofstream(folder + "/" + history_day_name(history_local_day(START + OFFSET) + day) + ".csv",
                      std::ios::binary)
            << text;
    }
    std::size_t loaded = 0;
    for (auto _ : state) {
        HistoryData data;
        history_load(folder, START, START + std::int64_t{DAYS} * 86400, data);
        loaded = data.entries.size();
        benchmark::DoNotOptimize(data.entries.data());
    }
    if (loaded != static_cast<std::size_t>(DAYS) * PER_DAY) state.SkipWithError("not every sample loaded");
    state.counters["samples"] = static_cast<double>(loaded);
}

}  // namespace

BENCHMARK(BM_HistoryRecordSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HistoryLoad30Days)->Unit(benchmark::kMillisecond);
