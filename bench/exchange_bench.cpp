// Throughput of the data handler: an answer arriving over a real loopback
// connection in pieces of a given size, one handler call per piece, as the
// main loop turns once per network wake-up.
//
// The hard part is linearity: the collected text is searched for the prompt
// and the server's special texts on every call, so a handler that searched
// all of it each time would be quadratic in the number of pieces. Bytes per
// second must therefore stay flat as the answer grows, whatever the pieces.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "app/state.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "platform/headless/headless.h"
#include "tests/unit/loopback_peer.h"
#include "ui/main_window.h"

namespace {

// An answer of at most `bytes` bytes (the client drops longer unfinished
// ones): report lines, then the prompt.
std::string answer(std::size_t bytes) {
    const std::string line = "md_note: line data of the modem, nothing the client looks for\r\n";
    const std::string end = "md_bitdn: 6016\r\n\r\nVYX>";
    std::string text;
    while (text.size() + line.size() + end.size() <= bytes) text += line;
    return text + end;
}

void handle_in_pieces(benchmark::State& bench) {
    const std::size_t total = static_cast<std::size_t>(bench.range(0));
    const std::size_t piece = static_cast<std::size_t>(bench.range(1));
    headless::reset();
    platform_init();
    state = ProgramState{};
    state.line_break = "\r\n";
    build_main_window();
    net_start();
    loopback::Listener listener;
    state.connection = open_connection("127.0.0.1", listener.port());
    loopback::Peer peer = listener.accept();
    watch_connection(state.connection);
    state.connected = 1;

    const std::string text = answer(total);
    for (auto _ : bench) {
        for (std::size_t at = 0; at < text.size(); at += piece) {
            peer.send(text.substr(at, piece));
            while (bytes_waiting(state.connection) == 0) {
            }
            handle_server_data();
        }
        if (state.md_bitdn != 6016) bench.SkipWithError("answer not parsed");
        state.md_bitdn = 0;
    }
    bench.SetBytesProcessed(static_cast<std::int64_t>(bench.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    peer.close();
    close_connection(state.connection);
    state.connection = 0;
}

}  // namespace

// 1 KiB pieces: 256 KiB and 1 MiB answers; 1-byte pieces: 64 KiB and 1 MiB
// (a million handler calls: one iteration is plenty).
BENCHMARK(handle_in_pieces)
    ->Args({256 << 10, 1 << 10})
    ->Args({1 << 20, 1 << 10})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(handle_in_pieces)
    ->Args({64 << 10, 1})
    ->Args({1 << 20, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
