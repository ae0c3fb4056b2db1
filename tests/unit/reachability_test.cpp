// The reachability test: how a dotted text becomes an address, and real echoes
// on the loopback interface of a network namespace of its own, with the kinds
// of ICMP socket the system may or may not grant and a host that drops echoes.
#include "link/reachability.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <netinet/ip_icmp.h>
#include <sys/syscall.h>

#include "platform/platform.h"
#include "tests/unit/loopback_peer.h"

namespace {

TEST(DottedAddressTest, PartsAreReadAsNumbersAndKeepTheirLowByte) {
    using namespace std::string_literals;
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"192.168.1.1", 0xC0A80101}, {" 10.\t0. 0.  7", 0x0A000007}, {"300.1.1.1", 0x2C010101},
        {"-1.0.0.0", 0xFF000000},    {"1.2.3.-1", 0x010203FF},       {"4294967297.0.0.1", 0x01000001},
        {"a.b.c.d", 0x00000000},     {"1x.2y.3z.4!", 0x01020304},    {"1..3.4", 0x01000304},
        {"1.2.3.4.5", 0x01020304},   {"1.2.3", 0x00000000},          {"1.2\0.3.4"s, 0x00000000}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(parse_dotted_address(text), expected) << text;
}

bool can_open(int kind) { return loopback::Peer(::socket(AF_INET, kind, IPPROTO_ICMP)).valid(); }

bool drop_raw_privilege() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    data[0].effective &= ~(1u << CAP_NET_RAW);
    data[0].permitted &= ~(1u << CAP_NET_RAW);
    return ::syscall(SYS_capset, &header, data) == 0;
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

TEST(ReachabilityTest, EchoOfEachKindOfSocketAnswersInTimeAndADroppedOneTimesOut) {
    const struct {
        const char* host;
        bool datagram, raw, dropped;
        int expected;
        long long min_ms, max_ms;
    } cases[] = {{"127.0.0.1", true, false, false, 1, 0, 150},  {"127.0.0.2", false, true, false, 1, 0, 150},
                 {" 127.0.0.1", true, true, false, 1, 0, 150},  {"a.b.c.d", true, true, false, 0, 145, 600},
                 {"127.0.0.1", false, false, false, 0, 0, 100}, {"127.0.0.1", true, true, true, 0, 145, 600},
                 {"127.0.0.1", false, true, true, 0, 145, 600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.host << " datagram " << c.datagram << " raw " << c.raw);
        const int result = loopback::in_own_network([&c] {
            // Opened before the privilege may go.
            const loopback::Peer sniffer(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
            if (!sniffer.valid() ||
                !loopback::write_file("/proc/sys/net/ipv4/ping_group_range",
                                      c.datagram ? "0 2147483647" : "1 0") ||
                (c.dropped && !loopback::write_file("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1")) ||
                (!c.raw && !drop_raw_privilege()) || can_open(SOCK_DGRAM) != c.datagram ||
                can_open(SOCK_RAW) != c.raw)
                return loopback::CHILD_CANNOT;
            const auto start = loopback::Clock::now();
            const int got = test_reachability(c.host);
            const long long took = loopback::ms_since(start);
            if (got != c.expected || took < c.min_ms || took >= c.max_ms) return 1;
            return requests_seen(sniffer) == (c.datagram || c.raw) ? 0 : 2;
        });
        if (result == loopback::CHILD_CANNOT)
            GTEST_SKIP() << "cannot set up ICMP permissions in a namespace here";
        EXPECT_EQ(result, 0);
    }
}

}  // namespace
