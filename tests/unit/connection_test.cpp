// Connecting and disconnecting against real peers: a scripted loopback server
// on a thread (to see the exact bytes), and vyx_sim with its faults. What the
// user saw is read from the sequence of status pictures and their times.
#include "link/connection.h"

#include <thread>

#include "tests/unit/fixture.h"
#include "tests/unit/scripted_server.h"
#include "tests/unit/sim_process.h"

namespace {

using loopback::ScriptedServer;

constexpr const char* GREETING = "Welcome to VYX Mini-Server v1.3\r\nVYX>";

class ConnectionTest : public StartedTest {
   protected:
    void SetUp() override {
        StartedTest::SetUp();
        headless::world().pictures_shown.clear();
    }
    void target(const std::string& host, const std::string& port) {
        set_control_text(ID_HOST, host);
        set_control_text(ID_PORT, port);
    }
    // The status pictures shown, by picture id, in order.
    std::vector<int> seen() {
        std::vector<int> ids;
        for (const auto& s : headless::world().pictures_shown)
            for (int id = 10; id <= 20; ++id)
                if (s.picture == state.pictures[id] && s.control == ID_STATUS_PICTURE) ids.push_back(id);
        return ids;
    }
    // How long (virtual ms) the first showing of picture id stayed.
    long long shown_for(int id) {
        const auto& all = headless::world().pictures_shown;
        for (std::size_t i = 0; i + 1 < all.size(); ++i)
            if (all[i].picture == state.pictures[id]) return all[i + 1].at_ms - all[i].at_ms;
        return -1;
    }
    void expect_connected_look() {
        for (int id : {38, 40, 41, 42, 43}) EXPECT_TRUE(control_enabled(id)) << id;
        for (int id : {28, 31, 32, 33, 34, 37}) EXPECT_FALSE(control_enabled(id)) << id;
    }
    void expect_not_connected() {
        EXPECT_EQ(state.connected, 0);
        EXPECT_EQ(state.connection, 0);
        EXPECT_EQ(state.update_in_progress + state.server_busy + state.warning + state.auto_config_pending,
                  0);
        for (int id : {28, 31, 32, 33, 37}) EXPECT_TRUE(control_enabled(id)) << id;
        for (int id : {38, 40, 41, 42, 43}) EXPECT_FALSE(control_enabled(id)) << id;
    }
};

TEST_F(ConnectionTest, GreetingAcceptedSendsExactlyGetAll) {
    struct {
        const char* what;
        std::vector<std::pair<int, std::string>> pieces;
        int suppress;
        std::string expected;
    } cases[] = {
        {"whole", {{0, GREETING}}, 0, "get all\r\n"},
        {"two pieces", {{0, "Welcome to VYX Mi"}, {300, "ni-Server v1.3\r\nVYX>"}}, 0, "get all\r\n"},
        {"cut before its last letter",
         {{0, "Welcome to VYX Mini-Server "}, {300, "v1.3\r\nVYX>"}},
         0,
         "get all\r\n"},
        {"from the popup menu", {{0, GREETING}}, 1, ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server({.script = c.pieces});
        target("localhost", std::to_string(server.port()));
        state.suppress_get_all = c.suppress;
        connect_server();
        state.suppress_get_all = 0;
        EXPECT_EQ(state.connected, 1);
        EXPECT_GT(state.connection, 0);
        EXPECT_EQ(state.update_in_progress, 1) << "the please-wait look stays until the first answer";
        expect_connected_look();
        EXPECT_EQ(server.received(), c.expected);
        EXPECT_EQ(seen().back(), 12);
        state.answer_text = "md_bitdn: 6016\r\n";
        state.get_auto_pending = 1;
        disconnect_server();
        expect_not_connected();
        EXPECT_EQ(state.answer_text, "") << "the unfinished answer is forgotten";
        EXPECT_EQ(state.get_auto_pending, 0);
        EXPECT_EQ(seen().back(), 10);
    }
}

TEST_F(ConnectionTest, NoGreetingClosesWithoutFailureNotice) {
    const struct {
        const char* what;
        int listen_ms;
        long long min_ms, max_ms;
    } cases[] = {
        // 201 polls 5 ms apart, kept by the clock however long each sleep lasts.
        {"greeting in lower case, connection kept open", 3000, 1004, 3000},
        {"greeting in lower case, then closed", 0, 0, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        headless::world().pictures_shown.clear();
        ScriptedServer server(
            {.script = {{0, "welcome to vyx mini-server v1.3\r\nVYX>"}}, .listen_ms = c.listen_ms});
        target("localhost", std::to_string(server.port()));
        const auto t0 = loopback::Clock::now();
        connect_server();
        const long long took = loopback::ms_since(t0);
        expect_not_connected();
        EXPECT_GE(took, c.min_ms);
        EXPECT_LT(took, c.max_ms);
        EXPECT_EQ(seen(), (std::vector<int>{12, 10})) << "no failure notice after an open connection";
        server.stop();
        EXPECT_EQ(server.received(), "");
    }
}

TEST_F(ConnectionTest, FloodWithoutGreetingEndsTheAttemptInTime) {
    ScriptedServer server({.script = {{0, std::string(20 * 1024 * 1024, 'x')}}, .listen_ms = 3000});
    target("localhost", std::to_string(server.port()));
    const auto t0 = loopback::Clock::now();
    connect_server();
    EXPECT_LT(loopback::ms_since(t0), 4000);
    expect_not_connected();
    EXPECT_EQ(seen(), (std::vector<int>{12, 10}));
}

TEST_F(ConnectionTest, BusyShowsTheBusyNoticeFor700MsAndCloses) {
    const std::vector<std::pair<int, std::string>> answers[] = {
        {{0, "busy\r\n"}},
        {{0, "Welcome to VYX Mini-Server v1.3 busy\r\nVYX>"}},
        {{0, "bu"}, {300, "sy\r\n"}},
    };
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.back().second);
        headless::world().pictures_shown.clear();
        ScriptedServer server({.script = answer});
        target("localhost", std::to_string(server.port()));
        connect_server();
        expect_not_connected();
        EXPECT_EQ(seen(), (std::vector<int>{12, 13, 10}));
        EXPECT_GE(shown_for(13), 700);
        EXPECT_EQ(server.received(), "") << "nothing is sent to a busy server";
    }
}

TEST_F(ConnectionTest, FailedOpenShowsTheFailureNoticeFor450Ms) {
    int closed_port = 0;
    {
        loopback::Listener gone;
        closed_port = gone.port();
    }
    const std::string ports[] = {"", "abc", std::to_string(closed_port)};
    for (const std::string& port : ports) {
        SCOPED_TRACE("port '" + port + "'");
        headless::world().pictures_shown.clear();
        target("localhost", port);
        connect_server();
        expect_not_connected();
        EXPECT_EQ(seen(), (std::vector<int>{12, 14, 10}));
        EXPECT_GE(shown_for(14), 450);
    }
}

TEST_F(ConnectionTest, DisconnectWhileNothingIsOpenShowsTheFailureNotice) {
    headless::push_control(ID_DISCONNECT);
    main_loop_turn();
    EXPECT_EQ(seen(), (std::vector<int>{14, 10}));
    EXPECT_GE(shown_for(14), 450);
}

// The dotted-address gate, in a network of its own where echoes can be refused.
TEST_F(ConnectionTest, DottedAddressIsPingedFirstAndAHostNameNever) {
    struct {
        const char* host;
        bool echo_answered;
        bool connects;
    } cases[] = {
        {"127.0.0.1", true, true},
        {"127.0.0.1", false, false},  // no answer: no connect attempt at all
        {"localhost", false, true},   // a name is never pinged
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.host << " echo " << c.echo_answered);
        const int result = loopback::in_own_network([&] {
            if (!c.echo_answered && !loopback::write_file("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
                return loopback::CHILD_CANNOT;
            loopback::Listener listener;
            target(c.host, std::to_string(listener.port()));
            connect_server();
            return listener.pending(0) ? 1 : 0;
        });
        if (result == loopback::CHILD_CANNOT) GTEST_SKIP() << "no network namespace to refuse echoes in";
        EXPECT_EQ(result, c.connects ? 1 : 0);
    }
}

TEST_F(ConnectionTest, ConnectsToTheSimulatorFromTheButtonAndTheEnterKey) {
    simproc::Sim sim({"--quiet"});
    ASSERT_TRUE(sim.listening());
    target("localhost", std::to_string(sim.port()));
    headless::push_control(ID_CONNECT);
    main_loop_turn();
    EXPECT_EQ(state.connected, 1);
    headless::push_menu(MENU_ENTER_KEY);  // while connected: nothing
    main_loop_turn();
    EXPECT_EQ(state.connected, 1);
    headless::push_control(ID_DISCONNECT);
    main_loop_turn();
    expect_not_connected();
    // The simulator serves one client at a time; let it notice the close.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    headless::push_menu(MENU_ENTER_KEY);  // while not connected: connects
    main_loop_turn();
    EXPECT_EQ(state.connected, 1);
}

class StartupConnectionTest : public ProgramTest {};

TEST_F(StartupConnectionTest, ConnectsAtStartOnlyWhenAutoConnectIsExactlyOne) {
    for (const char* flag : {"1", "2"}) {
        SCOPED_TRACE(flag);
        ScriptedServer server({.script = {{0, GREETING}}});
        write_settings(std::string("[CLIENT]\r\nstartVYXCiconic=0\r\nIP_or_Hostname=localhost\r\nPort=") +
                       std::to_string(server.port()) + "\r\nAutoConnect=" + flag + "\r\n");
        headless::reset();
        start();
        EXPECT_EQ(state.connected, flag[0] == '1' ? 1 : 0);
        EXPECT_EQ(server.received(), flag[0] == '1' ? "get all\r\n" : "");
        // The supervision timer starts only after the attempt has ended.
        EXPECT_EQ(headless::world().timers.size(), 1u);
        release_everything();
    }
}

}  // namespace
