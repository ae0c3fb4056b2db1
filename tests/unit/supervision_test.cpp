// Supervision on the virtual clock: when checks run, how field 34 is kept in
// range, what a check sends, and how a silent or absent server is handled.
// One loop turn with an empty queue is one tick, so turn numbers are seconds.
#include "app/supervision.h"

#include "link/connection.h"
#include "tests/unit/fixture.h"
#include "tests/unit/scripted_server.h"
#include "tests/unit/sim_process.h"

namespace {

constexpr const char* GREETING = "Welcome to VYX Mini-Server v1.3\r\nVYX>";

class SupervisionTest : public ProgramTest {
   protected:
    void start_with(const std::string& try_connect, const std::string& interval, int port = 0) {
        write_settings("[CLIENT]\r\nAutoConnect=0\r\nstartVYXCiconic=0\r\nIP_or_Hostname=localhost\r\nPort=" +
                       std::to_string(port ? port : closed_port()) + "\r\nTryConnect=" + try_connect +
                       "\r\nTryConnectInterval=" + interval + "\r\n");
        start();
        start_s_ = seconds_clock();
    }
    static int closed_port() {
        loopback::Listener gone;
        return gone.port();
    }
    // Seconds since start-up, on the program's own clock.
    int elapsed_s() { return seconds_clock() - start_s_; }
    // Each connection attempt shows the please-wait picture first.
    int attempts() {
        int n = 0;
        for (const auto& s : headless::world().pictures_shown)
            if (s.control == ID_STATUS_PICTURE && s.picture == state.pictures[PIC_REFRESH]) ++n;
        return n;
    }
    // Runs ticks until `until_s` after start; returns the seconds at which a
    // connection attempt began. `at_tick` runs before each tick.
    std::vector<int> attempt_times(int until_s, const std::function<void(int)>& at_tick = {}) {
        std::vector<int> at;
        for (int tick = 1; tick <= until_s; ++tick) {
            if (at_tick) at_tick(tick);
            const int before = attempts();
            const int s = elapsed_s() + 1;
            main_loop_turn();
            if (attempts() > before) at.push_back(s);
        }
        return at;
    }
    // Moves the wall clock; the tick timer keeps its own pace.
    static void move_clock(long long ms) {
        headless::world().now_ms += ms;
        for (auto& t : headless::world().timers) t.due_ms += ms;
    }
    int start_s_ = 0;
};

TEST_F(SupervisionTest, ChecksComeOneIntervalApartAfterTheFirstDelay) {
    struct {
        const char* try_connect;
        const char* interval;
        int run_s;
        std::vector<int> attempts_at;
    } cases[] = {
        {"1", "15", 60, {25, 40, 55}},
        {"1", "5", 31, {15, 20, 25, 30}},
        {"1", "3", 24, {13, 18, 23}},  // first due from the loaded value, then clamped to 5
        {"0", "15", 60, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "TryConnect=" << c.try_connect << " interval " << c.interval);
        headless::reset();
        start_with(c.try_connect, c.interval);
        EXPECT_EQ(attempt_times(c.run_s), c.attempts_at);
        release_everything();
    }
}

TEST_F(SupervisionTest, FieldIsKeptInRangeOnlyWhileTheBoxIsChecked) {
    struct {
        int box;
        const char* typed;
        const char* shown;
        int interval;
    } cases[] = {
        {1, "", "5", 5},         {1, "abc", "5", 5},    {1, "4", "5", 5},        {1, "-20", "5", 5},
        {1, "5", "5", 5},        {1, " 42", " 42", 42}, {1, "999", "999", 999},  {1, "1000", "999", 999},
        {1, "5000", "999", 999}, {0, "", "", 15},       {0, "1000", "1000", 15},
    };
    start_with("0", "15");
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "box " << c.box << " '" << c.typed << "'");
        state.try_connect_interval = 15;
        set_checked(ID_TRY_CONNECT, c.box);
        set_control_text(ID_INTERVAL, c.typed);
        main_loop_turn();
        EXPECT_EQ(get_control_text(ID_INTERVAL), c.shown);
        EXPECT_EQ(state.try_connect_interval, c.interval);
    }
}

TEST_F(SupervisionTest, LargeLoadedIntervalIsClampedWhenCheckedButTheFirstCheckKeepsItsTime) {
    start_with("0", "5000");
    attempt_times(30);
    EXPECT_EQ(get_control_text(ID_INTERVAL), "5000");
    set_checked(ID_TRY_CONNECT, 1);
    headless::push_control(ID_TRY_CONNECT);
    main_loop_turn();
    main_loop_turn();
    EXPECT_EQ(get_control_text(ID_INTERVAL), "999");
    EXPECT_EQ(attempt_times(6010), (std::vector<int>{5010, 6009}));
}

TEST_F(SupervisionTest, WallClockMovesDecideWhenTheCheckComes) {
    struct {
        const char* what;
        int shift_s;
        int first_check_tick;
    } cases[] = {
        {"unchanged", 0, 25},
        {"set back 100 s", -100, 125},
        {"set forward 100 s", 100, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        headless::reset();
        start_with("1", "15");
        int first_tick = 0;
        for (int tick = 1; tick <= 200 && first_tick == 0; ++tick) {
            if (tick == 11) move_clock(c.shift_s * 1000LL);
            const int before = attempts();
            main_loop_turn();
            if (attempts() > before) first_tick = tick;
        }
        EXPECT_EQ(first_tick, c.first_check_tick);
        release_everything();
    }
}

TEST_F(SupervisionTest, ProbeKeepsALiveServerAndDropsASilentOneThenReconnectsAtOnce) {
    struct {
        const char* what;
        bool answers;
        const char* box;
        std::vector<std::string> received;  // per connection, in order
    } cases[] = {
        {"answers", true, "1", {"get all\r\nget warning\r\n"}},
        {"silent", false, "1", {"get all\r\nget warning\r\n", "get all\r\n"}},
        {"box unchecked: no check at all", true, "0", {"get all\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        headless::reset();
        // Greets every client and answers "get warning" only when told to.
        loopback::ScriptedServer server({.script = {{0, GREETING}},
                                         .listen_ms = -1,
                                         .every_client = true,
                                         .answer = [&](const std::string& line, loopback::Peer& client) {
                                             if (c.answers && line == "get warning")
                                                 client.send("warning: 0\r\nVYX>");
                                         }});
        start_with(c.box, "5", server.port());
        connect_server();
        ASSERT_EQ(state.connected, 1);
        const int first = state.connection;
        const auto t0 = loopback::Clock::now();
        attempt_times(c.box[0] == '1' ? 15 : 60);  // one check, at 15 s, when the box is checked
        const long long took = loopback::ms_since(t0);
        EXPECT_EQ(state.connected, 1);
        EXPECT_EQ(state.connection == first, c.answers);
        loopback::wait_until([&] { return server.received_so_far() == c.received; });
        EXPECT_EQ(server.received_so_far(), c.received);
        // A silent server holds the check for the whole 2730 ms, and only once.
        if (c.box[0] == '1') {
            EXPECT_TRUE(c.answers ? took < 2000 : took >= 2730) << took;
            EXPECT_LT(took, 5000);
        }
        release_everything();
    }
}

TEST_F(SupervisionTest, SilentSimulatorIsDroppedAfterTheLongestWait) {
    simproc::Sim sim({"--fault", "silent", "--quiet"});
    ASSERT_TRUE(sim.listening());
    start_with("0", "15", sim.port());
    connect_server();
    ASSERT_EQ(state.connected, 1);
    const auto before = loopback::Clock::now();
    EXPECT_EQ(await_any_answer(12), 0);
    const long long took = loopback::ms_since(before);
    EXPECT_GE(took, 2729) << "13 polls after 30, 60, ... 390 ms";
    EXPECT_LT(took, 2730 + 1000);
}

}  // namespace
