// Connecting against a scripted loopback server, read from the status pictures and how long they stayed.
#include "link/connection.h"

#include <sys/mount.h>

#include "tests/unit/fixture.h"
#include "tests/unit/scripted_server.h"

namespace {

using loopback::GREETING;
using loopback::ScriptedServer;
using ConnectionTest = StartedTest;

void target(const std::string& host, const std::string& port) {
    set_control_text(ID_HOST, host);
    set_control_text(ID_PORT, port);
}

TEST_F(ConnectionTest, AttemptShowsWhatHappenedAndOnlyAGreetingConnects) {
    using Script = std::vector<std::pair<int, std::string>>;
    const std::string lower = "welcome to vyx mini-server v1.3\r\nVYX>", flood(20 << 20, 'x');
    const Script cut = {{0, "Welcome to VYX Mini-Server "}, {50, "v1.3\r\nVYX>"}};
    const struct {
        const char* what;
        Script script;
        std::vector<int> pictures;   // ending in 12: connected
        long long notice_ms = 0;     // how long the middle picture stayed at least (virtual)
        const char* port = nullptr;  // nullptr: the server's
        int press = ID_CONNECT, listen_ms = -1;
        long long min_ms = 0, max_ms = 4000;  // real time of the attempt
    } cases[] = {
        {"greeting cut before its last letter, by the Enter key", cut, {12}, 0, nullptr, MENU_ENTER_KEY},
        {"port not a number", {}, {12, 14, 10}, 450, "abc"},
        {"lower case greeting, then closed", {{0, lower}}, {12, 10}, 0, nullptr, ID_CONNECT, 0, 0, 500},
        {"lower case, then a flood", {{0, lower}, {0, flood}}, {12, 10}, 0, nullptr, ID_CONNECT, -1, 1000},
        {"busy cut, greeting", {{0, "bu"}, {50, "sy Welcome to VYX Mini-Server v"}}, {12, 13, 10}, 700},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        headless::world().pictures_shown.clear();
        ScriptedServer server({.script = c.script, .listen_ms = c.listen_ms, .accept_ms = c.port ? 0 : 5000});
        target("localhost", c.port ? c.port : std::to_string(server.port()));
        c.press == ID_CONNECT ? headless::push_control(ID_CONNECT) : headless::push_menu(MENU_ENTER_KEY);
        const auto start = loopback::Clock::now();
        main_loop_turn();
        const long long took = loopback::ms_since(start);
        EXPECT_TRUE(took >= c.min_ms && took < c.max_ms) << took;
        EXPECT_EQ(pictures_seen(), c.pictures);
        EXPECT_GE(c.notice_ms ? shown_for(c.pictures[1]) : 0, c.notice_ms);
        const bool connects = c.pictures.back() == 12;
        if (connects) {
            EXPECT_EQ(state.connected + state.update_in_progress, 2) << "please-wait look till an answer";
            EXPECT_TRUE(control_enabled(ID_DISCONNECT) && !control_enabled(ID_CONNECT));
            headless::push_menu(MENU_ENTER_KEY);  // while connected: nothing
            main_loop_turn();
            EXPECT_EQ(state.connected, 1);
            state.answer_text = "md_bitdn: 6016\r\n";
            state.get_auto_pending = 1;
            headless::push_control(ID_DISCONNECT);
            main_loop_turn();
            EXPECT_EQ(state.answer_text + std::to_string(state.get_auto_pending), "0") << "none of it kept";
        }
        EXPECT_EQ(state.connected + state.connection + state.update_in_progress + state.server_busy +
                      state.warning + state.auto_config_pending,
                  0);
        EXPECT_TRUE(control_enabled(ID_CONNECT) && !control_enabled(ID_DISCONNECT));
        EXPECT_EQ(pictures_seen().back(), 10);
        EXPECT_EQ(server.received(), connects ? "get all\r\n" : "");
    }
}

// In a network of its own, where echoes can be refused and names come from a hosts file of the test's.
TEST_F(ConnectionTest, OnlyAHostWithThreeDotsIsPingedFirst) {
    const struct {
        const char* host;
        bool echo_answered, connects;
    } cases[] = {{"127.0.0.1", false, false},
                 {"127.0.0.1.", false, true},  // four dots: a name
                 {"a.b.c.d", true, false}};    // three: an address, 0.0.0.0
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        const int result = loopback::in_own_network([&] {
            const std::string hosts = std::filesystem::absolute("hosts");
            if (!loopback::write_file(hosts.c_str(), "127.0.0.1 127.0.0.1. a.b.c.d\n") ||
                ::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0 ||
                (!c.echo_answered && !loopback::write_file("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1")))
                return loopback::CHILD_CANNOT;
            ScriptedServer server({.script = {{0, GREETING}}});
            target(c.host, std::to_string(server.port()));
            connect_server();
            return state.connected;
        });
        if (result == loopback::CHILD_CANNOT) GTEST_SKIP() << "no network and hosts file of our own here";
        EXPECT_EQ(result, c.connects ? 1 : 0);
    }
}

TEST_F(ProgramTest, ConnectsAtStartOnlyWhenAutoConnectIsExactlyOne) {
    for (const char* flag : {"1", "2"}) {
        SCOPED_TRACE(flag);
        ScriptedServer server({.script = {{0, GREETING}}});
        write_settings("[CLIENT]\r\nstartVYXCiconic=0\r\nIP_or_Hostname=localhost\r\nPort=" +
                       std::to_string(server.port()) + "\r\nAutoConnect=" + flag + "\r\n");
        headless::reset();
        start();
        EXPECT_EQ(state.connected, flag[0] == '1');
        release_everything();
        if (flag[0] != '1') server.stop();
        EXPECT_EQ(server.received(), flag[0] == '1' ? "get all\r\n" : "");
    }
}

}  // namespace
