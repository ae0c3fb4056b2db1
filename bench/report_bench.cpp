// Throughput of the client's handling of what the server sends, over the
// headless platform with the main window built so every control write lands.
//
// The hard part is measuring the cost that grows with the answer rather than
// the fixed cost of refreshing the window: answers are a real report padded
// to a megabyte with lines that hold colons and key-like words but no key,
// so every search for a key has to look at all of them.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/state.h"
#include "monitor/report.h"
#include "platform/headless/headless.h"
#include "ui/main_window.h"

namespace {

// ---- Shared set-up ---------------------------------------------------------

// A fresh headless world holding the main window, as after start-up.
void prepare_window() {
    headless::reset();
    platform_init();
    state = ProgramState{};
    state.line_break = "\r\n";
    build_main_window();
}

// The server's answers to "get all" and "get auto", as vyx_sim sends them.
const std::string MODEM_LINES = "md_state:showtime\r\nmd_bitdn:6091\r\nmd_bitup:591\r\nmd_snrdn:6.8\r\n";
const std::string MONITORING_LINES =
    "auto_status:enabled\r\nauto_interval:60\r\nauto_bitdn:3000\r\nauto_bitup:256\r\nauto_snrdn:3\r\n"
    "auto_snrdnx:15\r\nauto_switch_bitdn:enabled\r\nauto_switch_bitup:disabled\r\n"
    "auto_switch_snrdn:enabled\r\nauto_switch_cantconnect:enabled\r\nauto_action_writelog:enabled\r\n"
    "auto_action_ipdetect:disabled\r\nauto_action_resync:enabled\r\nauto_action_reboot:disabled\r\n"
    "auto_action_netsend:disabled\r\nauto_action_netsendadd:admin-pc\r\n";
const std::string GET_ALL_LINES = MODEM_LINES + MONITORING_LINES + "warning:0\r\n";
const std::string PROMPT = "VYX>";

// Lines a server might add that carry no key: colons, and the keys' words
// without their colons.
std::string padding(std::size_t bytes) {
    std::string text;
    text.reserve(bytes + 100);
    char line[100];
    for (int n = 0; text.size() < bytes; ++n) {
        std::snprintf(line, sizeof line, "note_%06d: md_bitdn 6016 auto_snrdn 6 warning none at 12:%02d\r\n",
                      n, n % 60);
        text += line;
    }
    return text;
}

// ---- Report parser ---------------------------------------------------------

enum Layout { PADDING_FIRST, REPORT_FIRST, MONITORING_ONLY };

std::string padded_answer(Layout layout, std::size_t bytes) {
    switch (layout) {
        case PADDING_FIRST:
            return padding(bytes) + GET_ALL_LINES + PROMPT;
        case REPORT_FIRST:
            return GET_ALL_LINES + padding(bytes) + PROMPT;
        case MONITORING_ONLY:
            return padding(bytes) + MONITORING_LINES + PROMPT;  // four keys never found
    }
    return {};
}

void parse(benchmark::State& bench, const std::string& answer) {
    prepare_window();
    for (auto _ : bench) {
        parse_report(answer);
        benchmark::DoNotOptimize(state.md_bitdn);
    }
    bench.SetBytesProcessed(static_cast<std::int64_t>(bench.iterations()) *
                            static_cast<std::int64_t>(answer.size()));
}

constexpr std::size_t MIB = 1 << 20;

void BM_ParseReport_PaddingFirst(benchmark::State& bench) { parse(bench, padded_answer(PADDING_FIRST, MIB)); }
void BM_ParseReport_ReportFirst(benchmark::State& bench) { parse(bench, padded_answer(REPORT_FIRST, MIB)); }
void BM_ParseReport_KeysMissing(benchmark::State& bench) {
    parse(bench, padded_answer(MONITORING_ONLY, MIB));
}

// The worst the server can do: no line end anywhere, so every value found
// reads to the end of the text, and a megabyte of colons behind key-like
// words, each of which looks like a missing key up to its last byte.
void BM_ParseReport_NoLineEnds(benchmark::State& bench) {
    std::string answer = MONITORING_LINES;
    for (char& c : answer)
        if (c == '\r' || c == '\n') c = ' ';
    while (answer.size() < MIB) answer += "x_bitdn:x_snrdn:";
    parse(bench, answer);
}

// The answer as it comes, without padding: the fixed cost of one report.
void BM_ParseReport_Plain(benchmark::State& bench) { parse(bench, GET_ALL_LINES + PROMPT); }

// Time per byte stays flat as the answer grows.
void BM_ParseReport_Growth(benchmark::State& bench) {
    const std::string answer = padded_answer(MONITORING_ONLY, static_cast<std::size_t>(bench.range(0)));
    parse(bench, answer);
    bench.SetComplexityN(static_cast<std::int64_t>(answer.size()));
}

// The floor: one look at every byte of the same answer.
void BM_ScanOnce(benchmark::State& bench) {
    const std::string answer = padded_answer(PADDING_FIRST, MIB);
    for (auto _ : bench) benchmark::DoNotOptimize(std::string_view(answer).find('\x01'));
    bench.SetBytesProcessed(static_cast<std::int64_t>(bench.iterations()) *
                            static_cast<std::int64_t>(answer.size()));
}

}  // namespace

BENCHMARK(BM_ParseReport_PaddingFirst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseReport_ReportFirst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseReport_KeysMissing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseReport_NoLineEnds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseReport_Plain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseReport_Growth)
    ->RangeMultiplier(4)
    ->Range(16 << 10, 4 << 20)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanOnce)->Unit(benchmark::kMicrosecond);
