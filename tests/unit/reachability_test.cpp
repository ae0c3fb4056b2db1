// How a dotted text becomes an address, and real echoes on the loopback of a network of its own.
#include "link/reachability.h"

#include <gtest/gtest.h>
#include <netinet/ip_icmp.h>

#include "tests/unit/loopback_peer.h"

namespace {

TEST(DottedAddressTest, PartsAreReadAsNumbersAndKeepTheirLowByte) {
    using namespace std::string_literals;
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

TEST(ReachabilityTest, OneEchoThatIsAnsweredOrTimesOut) {
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "dropped" : "answered");
        const int result = loopback::in_own_network([dropped] {
            const loopback::Peer sniffer(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
            if (!sniffer.valid() ||
                (dropped && !loopback::write_file("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1")))
                return loopback::CHILD_CANNOT;
            const auto start = loopback::Clock::now();
            const int got = test_reachability("127.0.0.1");
            const long long took = loopback::ms_since(start);
            if (got != (dropped ? 0 : 1) || (dropped && (took < 145 || took >= 600))) return 1;
            return requests_seen(sniffer) == 1 ? 0 : 2;
        });
        if (result == loopback::CHILD_CANNOT) GTEST_SKIP() << "no network of our own here";
        EXPECT_EQ(result, 0);
    }
}

}  // namespace
