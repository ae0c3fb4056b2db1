// The reachability test: how a dotted text becomes an address, and real
// echoes on the loopback interface, including the kinds of ICMP socket the
// system may or may not grant and a host that drops echo requests (the last
// ones in a network namespace of their own, so nothing changes for others).
#include "link/reachability.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/syscall.h>

#include "platform/platform.h"
#include "tests/unit/loopback_peer.h"

namespace {

using loopback::Clock;
using loopback::ms_since;

constexpr std::uint32_t address(int a, int b, int c, int d) {
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
           static_cast<std::uint32_t>(c) << 8 | static_cast<std::uint32_t>(d);
}

TEST(DottedAddressTest, PartsAreReadAsNumbersAndKeepTheirLowByte) {
    using namespace std::string_literals;
    struct {
        std::string text;
        std::uint32_t expected;
    } cases[] = {
        {"192.168.1.1", address(192, 168, 1, 1)},
        {"127.0.0.1", address(127, 0, 0, 1)},
        {" 10.\t0. 0.  7", address(10, 0, 0, 7)},
        {"+10.+1.+2.+3", address(10, 1, 2, 3)},
        {"300.1.1.1", address(44, 1, 1, 1)},
        {"-1.0.0.0", address(255, 0, 0, 0)},
        {"1.2.3.-1", address(1, 2, 3, 255)},
        {"256.257.258.65535", address(0, 1, 2, 255)},
        {"4294967297.0.0.1", address(1, 0, 0, 1)},
        {"a.b.c.d", 0},
        {"modem.fritz.box.lan", 0},
        {"1x.2y.3z.4!", address(1, 2, 3, 4)},
        {"1..3.4", address(1, 0, 3, 4)},
        {"...", 0},
        {"1.2.3.4.5", address(1, 2, 3, 4)},
        {"1.2.3.4\0.9.9.9"s, address(1, 2, 3, 4)},
        {"1.2.3", 0},
        {"1.2", 0},
        {"localhost", 0},
        {"", 0},
        {"1.2\0.3.4"s, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parse_dotted_address(c.text), c.expected);
    }
}

bool can_open(int kind) {
    const int fd = ::socket(AF_INET, kind, IPPROTO_ICMP);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Four labels that are names become 0.0.0.0; a reply from elsewhere is no answer.
TEST(ReachabilityTest, LoopbackAnswersWithinTheTimeOutAndNoAddressDoesNot) {
    if (!can_open(SOCK_DGRAM) && !can_open(SOCK_RAW))
        GTEST_SKIP() << "neither a datagram nor a raw ICMP socket may be opened here";
    for (const char* host : {"127.0.0.1", "127.0.0.2", " 127.0.0.1", "a.b.c.d"}) {
        SCOPED_TRACE(host);
        const auto start = Clock::now();
        EXPECT_EQ(test_reachability(host), host[0] == 'a' ? 0 : 1);
        EXPECT_LT(ms_since(start), 150 + (host[0] == 'a' ? 200 : 0));
    }
}

TEST(ReachabilityTest, TheRequestCarriesExactlyTestPing) {
    const int sniffer = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP);
    if (sniffer < 0) GTEST_SKIP() << "a raw ICMP socket is needed to watch the request";
    ASSERT_EQ(test_reachability("127.0.0.1"), 1);
    int requests = 0;
    unsigned char packet[1500];
    ssize_t n;
    while ((n = ::recv(sniffer, packet, sizeof packet, 0)) > 0) {
        const int header = (packet[0] & 0x0F) * 4;
        if (n < header + 8 || packet[header] != ICMP_ECHO) continue;
        const std::string data(reinterpret_cast<char*>(packet) + header + 8,
                               static_cast<std::size_t>(n - header - 8));
        if (data.find("TestPing") == std::string::npos) continue;  // someone else's
        EXPECT_EQ(data, "TestPing") << "8 bytes, no terminator";
        ++requests;
    }
    ::close(sniffer);
    EXPECT_EQ(requests, 1);
}

TEST(ReachabilityTest, ImpossibleRequestsFailAtOnce) {
    struct {
        const char* what;
        const char* data;
        int size, reply_size;
    } cases[] = {
        {"negative data size", "TestPing", -1, 154},
        {"data missing", nullptr, 8, 154},
        {"no reply buffer", "TestPing", 8, 0},
        {"oversized data", "TestPing", 70000, 154},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(icmp_echo(address(127, 0, 0, 1), c.data, c.size, c.reply_size, 150), 0);
    }
}

// ---- In a network of its own -------------------------------------------------

bool drop_raw_privilege() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned bit = 1u << CAP_NET_RAW;
    data[0].effective &= ~bit;
    data[0].permitted &= ~bit;
    return ::syscall(SYS_capset, &header, data) == 0;
}

constexpr const char* PING_RANGE = "/proc/sys/net/ipv4/ping_group_range";
constexpr const char* IGNORE_ECHO = "/proc/sys/net/ipv4/icmp_echo_ignore_all";

// What each child reports back.
enum : int { OK = 0, WRONG_RESULT = 1, TOO_FAST = 2, TOO_SLOW = 3 };

int expect_echo(int expected, long long min_ms, long long max_ms) {
    const auto start = Clock::now();
    const int got = test_reachability("127.0.0.1");
    const long long took = ms_since(start);
    if (got != expected) return WRONG_RESULT;
    if (took < min_ms) return TOO_FAST;
    if (took > max_ms) return TOO_SLOW;
    return OK;
}

TEST(ReachabilityTest, EachKindOfIcmpSocketWorksAloneAndNoneMeansUnreachable) {
    struct {
        const char* what;
        bool datagram_allowed, raw_allowed;
        int expected;
    } cases[] = {
        {"only datagram ICMP sockets", true, false, 1},
        {"only raw sockets", false, true, 1},
        {"no ICMP socket at all", false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int result = loopback::in_own_network([&c] {
            if (!loopback::write_file(PING_RANGE, c.datagram_allowed ? "0 2147483647" : "1 0"))
                return loopback::CHILD_CANNOT;
            if (!c.raw_allowed && !drop_raw_privilege()) return loopback::CHILD_CANNOT;
            if (can_open(SOCK_DGRAM) != c.datagram_allowed || can_open(SOCK_RAW) != c.raw_allowed)
                return loopback::CHILD_CANNOT;
            return expect_echo(c.expected, 0, c.expected ? 150 : 50);
        });
        if (result == loopback::CHILD_CANNOT)
            GTEST_SKIP() << "cannot set up ICMP permissions in a namespace here";
        EXPECT_EQ(result, OK);
    }
}

TEST(ReachabilityTest, HostThatDropsEchoesTimesOutAfter150Ms) {
    for (const char* range : {"0 2147483647", "1 0"}) {  // datagram socket, then raw
        SCOPED_TRACE(range);
        const int result = loopback::in_own_network([range] {
            if (!loopback::write_file(PING_RANGE, range) || !loopback::write_file(IGNORE_ECHO, "1"))
                return loopback::CHILD_CANNOT;
            return expect_echo(0, 145, 300);
        });
        if (result == loopback::CHILD_CANNOT) GTEST_SKIP() << "cannot make loopback drop echoes here";
        EXPECT_EQ(result, OK);
    }
}

}  // namespace
