// The transport against real loopback peers: what the poll answers for each
// kind of waiting bytes, reads and sends byte for byte, opening and closing.
#include "link/transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "platform/posix/net.h"
#include "tests/unit/loopback_peer.h"

namespace {

using loopback::wait_until;
using namespace std::string_literals;

class TransportTest : public ::testing::Test {
   protected:
    void SetUp() override { headless::reset(); }
    void TearDown() override { posix::close_all_sockets(); }

    // A watched connection to host whose far end, peer_, has sent bytes.
    int open_watched(const std::string& bytes = "", const char* host = "127.0.0.1", int port_offset = 0) {
        const int handle = open_connection(host, listener_.port() + port_offset);
        EXPECT_GT(handle, 0);
        peer_ = listener_.accept();
        EXPECT_TRUE(peer_.send(bytes));
        watch_connection(handle);
        EXPECT_TRUE(wait_until([&] { return bytes_waiting(handle) == static_cast<int>(bytes.size()); }));
        return handle;
    }

    loopback::Listener listener_;
    loopback::Peer peer_;
};

// The poll looks without taking; a read takes each waiting byte once, a zero byte ending its piece;
// a connection opens to an address or a name, on the port's low 16 bits.
TEST_F(TransportTest, OpenPollAndReadTakeEachPieceOnce) {
    const struct {
        std::string bytes;
        int poll;  // 0 nothing, 2 text, 3 a file
        int chunk;
        std::string read;
        bool peer_closes = false;
        const char* host = "127.0.0.1";
        int port_offset = 0;
    } cases[] = {
        {"x", 2, 10, "x"},
        {"QXMGSFL", 2, 10, "QXMGSFL"},
        {"QXMGSFLE", 3, 10, "QXMGSFLE"},
        {"servus\r\nQXMGSFLE\x01\0\0\0z"s, 2, 1000, "servus\r\nQXMGSFLE\x01"},
        {"QXMGSFLF", 2, 10, "QXMGSFLF"},
        {"0123456789", 2, 10, "0123456789"},
        {"0123456789abcde", 2, 10, "0123456789abcde"},
        {"ab\0cd"s, 2, 2, "abd"},
        {"\0abc"s, 2, 100, ""},
        {"abc", 2, 0, ""},
        {"", 0, 10, "", true},
        {"servus\r\n", 2, 1000, "servus\r\n", true},
        {"hello", 2, 1000, "hello", false, "localhost", 65536},
        {"hello", 2, 1000, "hello", false, "127.0.0.1", 3 * 65536},
        {"hello", 2, 1000, "hello", false, "127.0.0.1", -65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes + " read by " + std::to_string(c.chunk) + " from " + c.host);
        const int handle = open_watched(c.bytes, c.host, c.port_offset);
        if (c.peer_closes) peer_.close();
        for (int turn = 0; turn < 3; ++turn) EXPECT_EQ(poll_connection(handle), c.poll);
        EXPECT_EQ(bytes_waiting(handle), static_cast<int>(c.bytes.size()));
        EXPECT_EQ(read_available_text(handle, c.chunk), c.read);
        EXPECT_EQ(read_available_text(handle, 10), c.chunk ? "" : "abc") << "read twice";
        char byte;
        EXPECT_TRUE(!c.peer_closes || wait_until([&] { return receive_bytes(handle, &byte, 1) == 0; }));
        EXPECT_EQ(poll_connection(handle), 0);
        close_connection(handle);
    }
}

TEST_F(TransportTest, SendTextSendsUpToItsFirstZeroByteAndSurvivesAGonePeer) {
    const std::pair<std::string, std::string> cases[] = {
        {"refresh\r\n", "refresh\r\n"},
        {"get\0 all\r\n"s, "get"},
        {"", ""},
        {"\xE4\xF6\xFC\r\n", "\xE4\xF6\xFC\r\n"},
    };
    const int handle = open_watched();
    for (const auto& [text, on_the_wire] : cases) {
        EXPECT_EQ(send_text(handle, text), static_cast<int>(on_the_wire.size())) << on_the_wire;
        EXPECT_EQ(peer_.read_exact(on_the_wire.size(), 2000), on_the_wire);
    }
    EXPECT_EQ(peer_.read_for(50), "") << "nothing else on the wire";
    peer_.close();  // the first send after may still be taken; later ones fail, raising no signal
    EXPECT_TRUE(wait_until([&] { return send_text(handle, "get warning\r\n") == -1; }));
}

TEST_F(TransportTest, NameThatDoesNotResolveFailsWithoutAConnectAttempt) {
    // In a network of its own, so the lookup cannot leave this machine.
    const int result = loopback::in_own_network([] {
        loopback::Listener local;
        int open_files = 0;
        for (int fd = 0; fd < 1024; ++fd) open_files += ::fcntl(fd, F_GETFD) != -1;
        if (open_connection("no-such-host.invalid", local.port()) != 0 || local.pending(50)) return 1;
        for (int fd = 0; fd < 1024; ++fd) open_files -= ::fcntl(fd, F_GETFD) != -1;
        return open_files;  // the socket made for it was closed
    });
    if (result == loopback::CHILD_CANNOT) GTEST_SKIP() << "no network namespace can be made here";
    EXPECT_EQ(result, 0);
}

}  // namespace
