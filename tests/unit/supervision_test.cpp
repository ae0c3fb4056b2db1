// Supervision on the virtual clock: when checks run, field 34 kept in range, none inside a short wait,
// and how a live or a silent server is handled.
#include "app/supervision.h"

#include <tuple>

#include "app/short_wait.h"
#include "link/connection.h"
#include "tests/unit/fixture.h"
#include "tests/unit/scripted_server.h"

namespace {

class SupervisionTest : public ProgramTest {
   protected:
    // Pointed at a closed port unless told otherwise.
    void start_with(const std::string& box, const std::string& interval, int port = 0) {
        restart("[CLIENT]\r\nAutoConnect=0\r\nstartVYXCiconic=0\r\nIP_or_Hostname=localhost\r\nPort=" +
                std::to_string(port ? port : loopback::Listener().port()) + "\r\nTryConnect=" + box +
                "\r\nTryConnectInterval=" + interval + "\r\n");
        start_s_ = seconds_clock();
    }
    int start_s_ = 0;
};

TEST_F(SupervisionTest, ChecksComeOneIntervalApartAfterTheFirstDelayByTheWallClock) {
    // Box and interval loaded; at the 14th tick the clock's move, whether the box gets checked and a short
    // wait; seconds to run and of each attempt (the clock's move not counted); field 34 at the end.
    const std::tuple<const char*, const char*, int, bool, int, int, std::vector<int>, const char*> cases[] = {
        {"1", "15", 0, false, 0, 60, {25, 40, 55}, "15"},
        {"1", "4", 0, false, 0, 25, {14, 19, 24}, "5"},  // first due from the loaded value, then clamped
        {"0", "1000", 0, false, 0, 60, {}, "1000"},      // no checks, no correction
        {"0", "5000", 0, true, 0, 6010, {5010, 6009}, "999"},
        {"1", "15", -100, false, 0, 130, {125}, "15"},   // set back: later by as much
        {"1", "15", 100, false, 0, 30, {14, 29}, "15"},  // set forward: due at once
        {"1", "5", 0, false, 3500, 23, {17, 22}, "5"},   // none in the wait: the due one after it, once
    };
    for (const auto& [box, interval, shift_s, check_box, wait_ms, run_s, attempts_at, field] : cases) {
        SCOPED_TRACE(::testing::Message() << box << " " << interval << " " << shift_s << " " << wait_ms);
        start_with(box, interval);
        std::vector<int> at;
        for (int tick = 1, s = 0; s < run_s; ++tick) {
            const auto before = std::ranges::count(pictures_seen(), 12);  // please wait: an attempt
            if (tick == 14) {
                headless::world().now_ms += shift_s * 1000LL;
                for (auto& t : headless::world().timers) t.due_ms += shift_s * 1000LL;
                start_s_ += shift_s;
                if (check_box) set_checked(ID_TRY_CONNECT, 1), headless::push_control(ID_TRY_CONNECT);
                if (wait_ms) wait_with_events(wait_ms);
            }
            main_loop_turn();
            s = seconds_clock() - start_s_;
            if (std::ranges::count(pictures_seen(), 12) > before) at.push_back(s);
        }
        EXPECT_EQ(at, attempts_at);
        EXPECT_EQ(get_control_text(ID_INTERVAL), field);
        for (int id : {34, 35, 36}) EXPECT_EQ(control_enabled(id), box[0] == '1' || check_box) << id;
    }
}

TEST_F(SupervisionTest, ProbeKeepsALiveServerAndDropsASilentOneThenReconnectsAtOnce) {
    for (bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "answers" : "silent");
        loopback::ScriptedServer server({.script = {{0, loopback::GREETING}},
                                         .listen_ms = -1,
                                         .every_client = true,
                                         .answer = [&](const std::string& line, loopback::Peer& client) {
                                             if (answers && line == "get warning")
                                                 client.send("warning: 0\r\nVYX>");
                                         }});
        start_with("1", "5", server.port());
        connect_server();
        ASSERT_EQ(state.connected, 1);
        const int first = state.connection;
        const auto t0 = loopback::Clock::now();
        while (seconds_clock() - start_s_ < 15) main_loop_turn();  // the check is due at 15 s
        const long long took = loopback::ms_since(t0);
        EXPECT_EQ(state.connected, 1);
        EXPECT_EQ(state.connection == first, answers);
        std::vector<std::string> received = {"get all\r\nget warning\r\n"};  // per connection
        if (!answers) received.push_back("get all\r\n");
        loopback::wait_until([&] { return server.received_so_far() == received; });
        EXPECT_EQ(server.received_so_far(), received);
        // A silent server holds the check for the whole 30 + 60 + ... + 390 ms.
        EXPECT_TRUE(answers ? took < 2000 : took >= 2730 && took < 5000) << took;
        release_everything();
    }
}

}  // namespace
