// Connecting against scripted loopback servers and in a network of the test's own; supervision.
#include "link/connection.h"

#include <net/if.h>
#include <netinet/ip_icmp.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <grp.h>
#include <sys/mount.h>

#include <cstring>

#include "app/supervision.h"
#include "link/reachability.h"
#include "tests/unit/fixture.h"

namespace {

using namespace std::string_literals;
using loopback::GREETING;
using loopback::ScriptedServer;
using ConnectionTest = StartedTest;

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
        type_into("28=localhost|31=" + (c.port ? c.port : std::to_string(server.port())));
        c.press == ID_CONNECT ? headless::push_control(ID_CONNECT) : headless::push_menu(MENU_ENTER_KEY);
        const long long took = loopback::ms_taken(main_loop_turn);
        EXPECT_TRUE(took >= c.min_ms && took < c.max_ms) << took;
        EXPECT_EQ(pictures_seen(), c.pictures);
        const auto& shown = headless::world().pictures_shown;
        EXPECT_GE(c.notice_ms ? shown.at(2).at_ms - shown.at(1).at_ms : 0, c.notice_ms);
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

TEST(DottedAddressTest, PartsAreReadAsNumbersAndKeepTheirLowByte) {
    const std::pair<std::string, std::uint32_t> cases[] = {{"300.1.1.1", 0x2C010101},
                                                           {"1.2.3.-1", 0x010203FF},
                                                           {"1x.2y.3z.4!", 0x01020304},
                                                           {"1.2.3.4.5", 0x01020304},
                                                           {"1.2.3", 0},
                                                           {"1.2\0.3.4"s, 0},
                                                           {"a.b.c.d", 0}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(parse_dotted_address(text), expected) << text;
}

// Echo requests seen on the sniffer, each carrying exactly the 8 bytes "TestPing" (else counted 100).
int requests_seen(const loopback::Peer& sniffer) {
    int requests = 0;
    unsigned char packet[1500];
    for (ssize_t n; (n = ::recv(sniffer.fd(), packet, sizeof packet, MSG_DONTWAIT)) > 0;) {
        const int at = (packet[0] & 0x0F) * 4 + 8;  // behind the IP and ICMP headers
        if (n >= at && packet[at - 8] == ICMP_ECHO)
            requests += std::string(reinterpret_cast<char*>(packet) + at, n - at) == "TestPing" ? 1 : 100;
    }
    return requests;
}

// Exit code of a child that cannot set up what the test needs.
constexpr int CHILD_CANNOT = 77;

// body's result in a child whose network has only loopback, up, answering echoes or not, and whose
// /etc/hosts is a file of the test's naming 127.0.0.1 three ways; -1 when it hung, 128 + signal when it died.
int in_own_network(bool echoes, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ifreq lo{};
        std::strcpy(lo.ifr_name, "lo");
        const std::string hosts = std::filesystem::absolute("hosts");
        const int s = ::unshare(CLONE_NEWNET | CLONE_NEWNS) == 0 ? ::socket(AF_INET, SOCK_DGRAM, 0) : -1;
        if (s < 0 || ::ioctl(s, SIOCGIFFLAGS, &lo) != 0) ::_exit(CHILD_CANNOT);
        lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
        if (::ioctl(s, SIOCSIFFLAGS, &lo) != 0 ||
            (!echoes && !(std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "1" << std::endl)) ||
            !(std::ofstream(hosts) << "127.0.0.1 127.0.0.1. a.b.c.d" << std::endl) ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
            ::_exit(CHILD_CANNOT);
        ::_exit(body());
    }
    return child < 0 ? CHILD_CANNOT : simproc::exit_code(child, 10000);
}

// An ordinary user where only the groups in ping_group_range may ping, and that range is empty (as
// on many desktops): neither kind of ICMP socket opens.
bool as_user_who_cannot_ping() {
    const gid_t nobody = 65534;
    return static_cast<bool>(std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "1 0" << std::endl) &&
           ::setgroups(0, nullptr) == 0 && ::setresgid(nobody, nobody, nobody) == 0 &&
           ::setresuid(nobody, nobody, nobody) == 0 && ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP) < 0;
}

// In a network of its own, where echoes can be ignored and names come from a hosts file of the test's:
// the reachability test alone sends one echo, answered or timed out; an attempt pings only three dots;
// where the user may not ping at all, nothing is sent and the gate stays open.
TEST_F(ConnectionTest, InANetworkOfItsOwnOnlyAHostWithThreeDotsIsPingedFirst) {
    const struct {
        const char* host;  // nullptr: the reachability test of 127.0.0.1 alone
        bool echoes;
        int result;  // connected, or for the test alone 0 when right
        bool may_ping = true;
    } cases[] = {{nullptr, true, 0},         {nullptr, false, 0},
                 {"127.0.0.1", false, 0},    {"127.0.0.1.", false, 1},  // four dots: a name
                 {"a.b.c.d", true, 0},                                  // three: an address, 0.0.0.0
                 {nullptr, false, 0, false}, {"127.0.0.1", false, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.host ? c.host : "alone") << " " << c.echoes << c.may_ping);
        const int result = in_own_network(c.echoes, [&] {
            const loopback::Peer sniffer(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
            if (!sniffer.valid() || (!c.may_ping && !as_user_who_cannot_ping())) return CHILD_CANNOT;
            if (c.host) {
                ScriptedServer server({.script = {{0, GREETING}}});
                type_into("28=" + std::string(c.host) + "|31=" + std::to_string(server.port()));
                connect_server();
                return state.connected;
            }
            int got = 0;
            const long long took = loopback::ms_taken([&] { got = test_reachability("127.0.0.1"); });
            if (!c.may_ping) return got == 1 && took < 50 && requests_seen(sniffer) == 0 ? 0 : 3;
            if (got != c.echoes || (!c.echoes && (took < 145 || took >= 600))) return 1;
            return requests_seen(sniffer) == 1 ? 0 : 2;
        });
        if (result == CHILD_CANNOT) GTEST_SKIP() << "no network and hosts file of our own here";
        EXPECT_EQ(result, c.result);
    }
}

class SupervisionTest : public ProgramTest {
   protected:
    // Pointed at a closed port unless told otherwise.
    void start_with(const std::string& box, const std::string& interval, int port = 0,
                    char auto_connect = '0') {
        restart("[CLIENT]\r\nstartVYXCiconic=0\r\nIP_or_Hostname=localhost\r\nAutoConnect=" +
                std::string(1, auto_connect) +
                "\r\nPort=" + std::to_string(port ? port : loopback::Listener().port()) +
                "\r\nTryConnect=" + box + "\r\nTryConnectInterval=" + interval + "\r\n");
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

TEST_F(SupervisionTest, StartConnectsAtOneOnlyAndTheProbeKeepsALiveServerAndDropsASilentOne) {
    for (const auto& [auto_connect, answers] : {std::pair{'1', true}, {'2', false}}) {
        SCOPED_TRACE(answers ? "answers" : "silent");
        ScriptedServer server({.script = {{0, GREETING}},
                               .every_client = true,
                               .answer = [&](const std::string& line, loopback::Peer& client) {
                                   if (answers && line == "get warning") client.send("warning: 0\r\nVYX>");
                               }});
        start_with("1", "5", server.port(), auto_connect);
        EXPECT_EQ(state.connected, auto_connect == '1');
        EXPECT_EQ(server.received_so_far().size(), auto_connect == '1' ? 1u : 0u);
        if (!state.connected) connect_server();
        ASSERT_EQ(state.connected, 1);
        const int first = state.connection;
        const long long took = loopback::ms_taken([&] {  // the check is due at 15 s
            while (seconds_clock() - start_s_ < 15) main_loop_turn();
        });
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
