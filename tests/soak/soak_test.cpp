// Long runs against vyx_sim over real sockets: whatever the program does
// 10,000 times must leave the heap and every kind of handle where it was.
// Not part of the unit tests (a run takes about a minute); scripts/test runs
// it on its own and prints the figures.
#include <malloc.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "link/connection.h"
#include "link/transport.h"
#include "tests/unit/fixture.h"
#include "tests/unit/sim_process.h"

namespace {

constexpr int ROUNDS = 10000;
constexpr int WARM_UP = 200;  // lets every buffer and history reach its working size

struct Footprint {
    long long heap_bytes;
    int controls, windows, pictures, fonts, files;
};

// Buffers settle at slightly different sizes from round to round, so the heap
// may move a little either way; a leak of even one byte a round would grow it
// by ROUNDS bytes.
bool unchanged(const Footprint& before, const Footprint& after) {
    return after.heap_bytes - before.heap_bytes < ROUNDS && after.controls == before.controls &&
           after.windows == before.windows && after.pictures == before.pictures &&
           after.fonts == before.fonts && after.files == before.files;
}

int open_descriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// The headless world keeps a history of what was shown for the tests to read;
// emptied each round so only the program's own memory is counted.
void forget_history() {
    headless::World& w = headless::world();
    w.pictures_shown.clear();
    w.message_boxes.clear();
    w.popup_shown.clear();
    w.shell_opens.clear();
}

Footprint footprint() {
    forget_history();
    return {static_cast<long long>(mallinfo2().uordblks),
            headless::live_controls(),
            headless::live_windows(),
            headless::live_pictures(),
            headless::live_fonts(),
            open_descriptors()};
}

void PrintTo(const Footprint& f, std::ostream* os) {
    *os << "heap " << f.heap_bytes << " B, controls " << f.controls << ", windows " << f.windows
        << ", pictures " << f.pictures << ", fonts " << f.fonts << ", descriptors " << f.files;
}

class SoakTest : public StartedTest {
   protected:
    // Loop turns as the data arrives, until the condition holds.
    bool turn_until(const std::function<bool()>& done) {
        for (int turns = 0; !done(); ++turns) {
            if (state.connected != 1 || turns > 1000) return false;
            if (!loopback::wait_until([] { return bytes_waiting(state.connection) > 0; }, 5000)) return false;
            main_loop_turn();
        }
        return true;
    }

    // Connects (again, should the server still be busy with the last round's
    // close) and waits for the first report. Returns the attempts it took.
    int connect_and_report() {
        for (int attempt = 1; attempt <= 50; ++attempt) {
            connect_server();
            forget_history();
            if (state.connected == 1 && turn_until([] { return !get_control_text(ID_VALUE_DN).empty(); }))
                return attempt;
        }
        return 0;
    }

    void run(const char* what, const std::function<void()>& round) {
        for (int i = 0; i < WARM_UP && !HasFatalFailure(); ++i) round();
        const Footprint before = footprint();
        const auto start = loopback::Clock::now();
        for (int i = 0; i < ROUNDS && !HasFatalFailure(); ++i) round();
        const Footprint after = footprint();
        std::printf("%s: %d rounds in %lld ms\n  before: ", what, ROUNDS, loopback::ms_since(start));
        PrintTo(before, &std::cout);
        std::printf("\n  after:  ");
        PrintTo(after, &std::cout);
        std::printf("\n");
        EXPECT_TRUE(unchanged(before, after));
    }

    simproc::Sim sim_{{"--quiet", "--no-please-wait", "--exit-after", "3600"}};
};

TEST_F(SoakTest, ConnectReportDisconnect) {
    ASSERT_TRUE(sim_.listening());
    set_control_text(ID_HOST, "localhost");
    set_control_text(ID_PORT, std::to_string(sim_.port()));
    int retries = 0;
    run("connect / report / disconnect", [&] {
        const int attempts = connect_and_report();
        ASSERT_GT(attempts, 0) << "no report after 50 attempts";
        retries += attempts - 1;
        disconnect_server();
        // The server takes a new client only once it has seen this one go.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    std::printf("  connects refused as busy while the server was still closing the last one: %d\n", retries);
}

TEST_F(SoakTest, Refresh) {
    ASSERT_TRUE(sim_.listening());
    set_control_text(ID_HOST, "localhost");
    set_control_text(ID_PORT, std::to_string(sim_.port()));
    ASSERT_GT(connect_and_report(), 0);
    run("refresh", [&] {
        headless::push_control(ID_REFRESH);
        main_loop_turn();
        ASSERT_FALSE(control_enabled(ID_REFRESH));
        ASSERT_TRUE(turn_until([] { return control_enabled(ID_REFRESH) != 0; })) << "no report after refresh";
    });
}

}  // namespace
