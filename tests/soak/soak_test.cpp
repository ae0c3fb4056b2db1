// 10,000 rounds against vyx_sim must leave the heap and every kind of handle as they were; scripts/test
// runs it apart from the unit tests (a minute or two) and prints the figures.
#include <malloc.h>

#include "tests/unit/fixture.h"

namespace {

constexpr int ROUNDS = 10000;

// Heap bytes, live controls, windows, pictures, fonts, descriptors; not the headless world's records.
std::vector<long long> footprint() {
    using namespace headless;
    world().pictures_shown.clear(), world().message_boxes.clear(), world().popup_shown.clear();
    world().shell_opens.clear();
    const long long heap = static_cast<long long>(mallinfo2().uordblks),
                    fds = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    return {heap, live_controls(), live_windows(), live_pictures(), live_fonts(), fds};
}

bool turn_until(const std::function<bool()>& done) {
    for (int turns = 0; !done(); ++turns, main_loop_turn())
        if (state.connected != 1 || turns > 1000 ||
            !loopback::wait_until([] { return bytes_waiting(state.connection) > 0; }, 5000))
            return false;
    return true;
}

using SoakTest = StartedTest;

TEST_F(SoakTest, ConnectReportRefreshDisconnect) {
    simproc::Sim sim("--quiet --no-please-wait --exit-after 3600");
    type_into("28=localhost|31=" + std::to_string(sim.port()));
    int busy = 0;  // the server may still be closing the last round's connection
    auto round = [&] {
        for (int attempt = 0; !turn_until([] { return !get_control_text(ID_VALUE_DN).empty(); }); ++attempt) {
            ASSERT_LT(attempt, 50) << "no report";
            busy += attempt > 0;
            connect_server();
        }
        headless::push_control(ID_REFRESH);
        main_loop_turn();
        ASSERT_FALSE(control_enabled(ID_REFRESH));
        ASSERT_TRUE(turn_until([] { return control_enabled(ID_REFRESH) != 0; })) << "no report after refresh";
        disconnect_server();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // lets the server see this client go
        footprint();
    };
    for (int i = 0; i < 200 && !HasFatalFailure(); ++i) round();  // every buffer reaches its working size
    const std::vector<long long> before = footprint();
    const auto start = loopback::Clock::now();
    for (int i = 0; i < ROUNDS && !HasFatalFailure(); ++i) round();
    std::vector<long long> after = footprint();
    std::printf("%d rounds in %lld ms, %d connects answered busy\n", ROUNDS, loopback::ms_since(start), busy);
    for (const auto& f : {before, after})
        std::printf("  heap %lld, controls %lld, windows %lld, pictures %lld, fonts %lld, descriptors %lld\n",
                    f[0], f[1], f[2], f[3], f[4], f[5]);
    // Buffers settle at slightly different sizes; a leak of a byte a round grows the heap by ROUNDS.
    EXPECT_LT(after[0] - before[0], ROUNDS);
    after[0] = before[0];
    EXPECT_EQ(after, before);
}

}  // namespace
