// The transport against real loopback peers: what the poll answers for each
// kind of waiting bytes, reads and sends byte for byte, opening and closing.
#include "link/transport.h"

#include <gtest/gtest.h>

#include "app/ids.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/posix/net.h"
#include "tests/unit/loopback_peer.h"

namespace {

using loopback::wait_until;

class TransportTest : public ::testing::Test {
   protected:
    void SetUp() override { headless::reset(); }
    void TearDown() override { posix::close_all_sockets(); }

    // Opens and watches a connection to a fresh listener; peer_ is its far end.
    int open_watched() {
        const int handle = open_connection("127.0.0.1", listener_.port());
        EXPECT_GT(handle, 0);
        peer_ = listener_.accept();
        EXPECT_TRUE(peer_.valid());
        watch_connection(handle);
        return handle;
    }

    static bool waiting_becomes(int handle, int n) {
        return wait_until([&] { return bytes_waiting(handle) == n; });
    }

    loopback::Listener listener_;
    loopback::Peer peer_;
};

TEST_F(TransportTest, PollTellsFileFromTextByTheHeadOfTheWaitingBytes) {
    using namespace std::string_literals;
    struct {
        const char* what;
        std::string bytes;
        int expected;
        bool peer_closes;  // after sending: once the bytes are read, the poll says nothing
    } cases[] = {
        {"nothing", "", NET_EVENT_NONE, false},
        {"one byte", "x", NET_EVENT_DATA, false},
        {"seven bytes of text", "VYX>abc", NET_EVENT_DATA, false},
        {"the marker's first seven bytes", "QXMGSFL", NET_EVENT_DATA, false},
        {"the marker alone", "QXMGSFLE", NET_EVENT_FILE, false},
        {"a whole transfer", "QXMGSFLE\x03\0\0\0abc"s, NET_EVENT_FILE, false},
        {"the marker behind text", "servus\r\nQXMGSFLE\x01\0\0\0z"s, NET_EVENT_DATA, false},
        {"last byte differs", "QXMGSFLF", NET_EVENT_DATA, false},
        {"lower case marker", "qxmgsfle", NET_EVENT_DATA, false},
        {"peer closes silently", "", NET_EVENT_NONE, true},
        {"peer says goodbye and closes", "servus\r\n", NET_EVENT_DATA, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int handle = open_watched();
        ASSERT_TRUE(peer_.send(c.bytes));
        if (c.peer_closes) peer_.close();
        const int size = static_cast<int>(c.bytes.size());
        ASSERT_TRUE(waiting_becomes(handle, size));
        for (int turn = 0; turn < 3; ++turn) EXPECT_EQ(poll_connection(handle), c.expected);
        EXPECT_EQ(bytes_waiting(handle), size) << "the poll must not remove bytes";
        if (c.peer_closes) {
            EXPECT_EQ(read_available_text(handle, 1000), c.bytes);
            char byte;
            ASSERT_TRUE(wait_until([&] { return receive_bytes(handle, &byte, 1) == 0; }));
            for (int turn = 0; turn < 3; ++turn) EXPECT_EQ(poll_connection(handle), NET_EVENT_NONE);
        }
        close_connection(handle);
    }
}

TEST_F(TransportTest, ReadAvailableTextTakesEveryPieceOnce) {
    using namespace std::string_literals;
    struct {
        const char* what;
        std::string bytes;
        int chunk;
        std::string expected;
        int left;  // bytes still waiting afterwards
    } cases[] = {
        {"nothing waiting", "", 10, "", 0},
        {"less than a chunk", "abc", 10, "abc", 0},
        {"exactly one chunk", "0123456789", 10, "0123456789", 0},
        {"a chunk and a half", "0123456789abcde", 10, "0123456789abcde", 0},
        {"a zero byte ends its piece", "ab\0cd"s, 100, "ab", 0},
        {"the next piece goes on after a zero byte", "ab\0cd"s, 2, "abd", 0},
        {"a zero byte first", "\0abc"s, 100, "", 0},
        {"no chunk reads nothing", "abc", 0, "", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int handle = open_watched();
        ASSERT_TRUE(peer_.send(c.bytes));
        ASSERT_TRUE(waiting_becomes(handle, static_cast<int>(c.bytes.size())));
        EXPECT_EQ(read_available_text(handle, c.chunk), c.expected);
        EXPECT_EQ(bytes_waiting(handle), c.left);
        if (c.left == 0) {
            EXPECT_EQ(read_available_text(handle, 10), "") << "nothing is read twice";
        }
        close_connection(handle);
    }
}

TEST_F(TransportTest, SendTextSendsUpToItsFirstZeroByteAndSurvivesAGonePeer) {
    using namespace std::string_literals;
    struct {
        std::string text;
        std::string on_the_wire;
    } cases[] = {
        {"refresh\r\n", "refresh\r\n"},
        {"get\0 all\r\n"s, "get"},
        {"", ""},
        {"\xE4\xF6\xFC\r\n", "\xE4\xF6\xFC\r\n"},
    };
    const int handle = open_watched();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.on_the_wire);
        EXPECT_EQ(send_text(handle, c.text), static_cast<int>(c.on_the_wire.size()));
        EXPECT_EQ(peer_.read_exact(c.on_the_wire.size(), 2000), c.on_the_wire);
    }
    EXPECT_EQ(peer_.read_for(50), "") << "nothing else on the wire";
    // A peer that has gone: the first send may still be accepted, the reset makes
    // later ones fail instead of ending the program by a signal.
    peer_.close();
    EXPECT_TRUE(wait_until([&] { return send_text(handle, "get warning\r\n") == -1; }));
}

TEST_F(TransportTest, OpenConnectsToDottedAddressesAndNamesWithThePortsLow16Bits) {
    struct {
        const char* host;
        long long port_offset;  // added to the listener's port
    } cases[] = {
        {"127.0.0.1", 0},         {"localhost", 0},     {"127.0.0.1", 65536},
        {"127.0.0.1", 3 * 65536}, {"localhost", 65536}, {"127.0.0.1", -65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " +" + std::to_string(c.port_offset));
        const int handle = open_connection(c.host, static_cast<int>(listener_.port() + c.port_offset));
        EXPECT_GT(handle, 0);
        loopback::Peer far = listener_.accept(1000);
        ASSERT_TRUE(far.valid());
        ASSERT_TRUE(far.send("hello"));
        watch_connection(handle);
        ASSERT_TRUE(waiting_becomes(handle, 5));
        EXPECT_EQ(read_available_text(handle, 1000), "hello");
        close_connection(handle);
    }
}

TEST_F(TransportTest, NameThatDoesNotResolveFailsWithoutAConnectAttempt) {
    // In a network of its own, so the lookup cannot leave this machine.
    const int result = loopback::in_own_network([] {
        loopback::Listener local;
        int open_files = 0;
        for (int fd = 0; fd < 1024; ++fd) open_files += ::fcntl(fd, F_GETFD) != -1;
        if (open_connection("no-such-host.invalid", local.port()) != 0) return 1;
        if (local.pending(50)) return 2;
        for (int fd = 0; fd < 1024; ++fd) open_files -= ::fcntl(fd, F_GETFD) != -1;
        return open_files == 0 ? 0 : 3;  // the socket made for it was closed
    });
    if (result == loopback::CHILD_CANNOT) GTEST_SKIP() << "no network namespace can be made here";
    EXPECT_EQ(result, 0);
}

}  // namespace
