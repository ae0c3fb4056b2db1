// The transport against real loopback peers: what the poll answers for each
// kind of waiting bytes, reads and sends byte for byte, opening and closing,
// and the headless event wait that network activity must wake.
#include "link/transport.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/ids.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/posix/net.h"
#include "tests/unit/loopback_peer.h"

namespace {

using loopback::Clock;
using loopback::ms_since;
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

// ---- Poll ------------------------------------------------------------------

TEST_F(TransportTest, PollTellsFileFromTextByTheHeadOfTheWaitingBytes) {
    using namespace std::string_literals;
    struct {
        const char* what;
        std::string bytes;
        int expected;
    } cases[] = {
        {"nothing", "", NET_EVENT_NONE},
        {"one byte", "x", NET_EVENT_DATA},
        {"seven bytes of text", "VYX>abc", NET_EVENT_DATA},
        {"the marker's first seven bytes", "QXMGSFL", NET_EVENT_DATA},
        {"the marker alone", "QXMGSFLE", NET_EVENT_FILE},
        {"a whole transfer", "QXMGSFLE\x03\0\0\0abc"s, NET_EVENT_FILE},
        {"the marker behind text", "servus\r\nQXMGSFLE\x01\0\0\0z"s, NET_EVENT_DATA},
        {"the marker one byte late", " QXMGSFLE", NET_EVENT_DATA},
        {"last byte differs", "QXMGSFLF", NET_EVENT_DATA},
        {"lower case marker", "qxmgsfle", NET_EVENT_DATA},
        {"a long answer", std::string(20000, 'a'), NET_EVENT_DATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int handle = open_watched();
        ASSERT_TRUE(peer_.send(c.bytes));
        const int size = static_cast<int>(c.bytes.size());
        ASSERT_TRUE(waiting_becomes(handle, size));
        for (int turn = 0; turn < 3; ++turn) EXPECT_EQ(poll_connection(handle), c.expected);
        EXPECT_EQ(bytes_waiting(handle), size) << "the poll must not remove bytes";
        close_connection(handle);
    }
}

TEST_F(TransportTest, MarkerCompletedByLaterBytesTurnsDataIntoFile) {
    const int handle = open_watched();
    ASSERT_TRUE(peer_.send("QXMG"));
    ASSERT_TRUE(waiting_becomes(handle, 4));
    EXPECT_EQ(poll_connection(handle), NET_EVENT_DATA);
    ASSERT_TRUE(peer_.send("SFLE"));
    ASSERT_TRUE(waiting_becomes(handle, 8));
    EXPECT_EQ(poll_connection(handle), NET_EVENT_FILE);
}

TEST_F(TransportTest, ClosedPeerIsNeverReportedByThePoll) {
    struct {
        const char* what;
        std::string last_words;
    } cases[] = {{"closes silently", ""}, {"says goodbye first", "servus\r\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int handle = open_watched();
        ASSERT_TRUE(peer_.send(c.last_words));
        peer_.close();
        if (!c.last_words.empty()) {
            ASSERT_TRUE(waiting_becomes(handle, static_cast<int>(c.last_words.size())));
            EXPECT_EQ(poll_connection(handle), NET_EVENT_DATA);
            EXPECT_EQ(read_available_text(handle, 1000), c.last_words);
        }
        char byte;
        ASSERT_TRUE(wait_until([&] { return receive_bytes(handle, &byte, 1) == 0; }));
        for (int turn = 0; turn < 3; ++turn) EXPECT_EQ(poll_connection(handle), NET_EVENT_NONE);
        EXPECT_EQ(bytes_waiting(handle), 0);
        close_connection(handle);
    }
}

TEST_F(TransportTest, NoConnectionAnswersNothing) {
    for (int handle : {0, -1, 12345}) {
        SCOPED_TRACE(handle);
        char buffer[8];
        EXPECT_EQ(poll_connection(handle), NET_EVENT_NONE);
        EXPECT_EQ(bytes_waiting(handle), 0);
        EXPECT_EQ(receive_bytes(handle, buffer, 8), -1);
        EXPECT_EQ(read_available_text(handle, 10), "");
        EXPECT_EQ(send_text(handle, "get all\r\n"), -1);
        close_connection(handle);  // harmless
    }
}

// ---- Reading ---------------------------------------------------------------

TEST_F(TransportTest, ReceiveBytesReadsAtMostSizeAndNeverWaitsOnceWatched) {
    const int handle = open_watched();
    char buffer[16] = {};
    const auto start = Clock::now();
    EXPECT_EQ(receive_bytes(handle, buffer, sizeof buffer), -1) << "nothing waiting";
    EXPECT_LT(ms_since(start), 500) << "a watched connection must not block";

    ASSERT_TRUE(peer_.send("0123456789"));
    ASSERT_TRUE(waiting_becomes(handle, 10));
    EXPECT_EQ(receive_bytes(handle, buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(receive_bytes(handle, buffer, 0), -1) << "an empty read is not a close";
    EXPECT_EQ(receive_bytes(handle, nullptr, 4), -1);
    EXPECT_EQ(receive_bytes(handle, buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), "456789");
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
        {"exactly two chunks", "0123456789abcdefghij", 10, "0123456789abcdefghij", 0},
        {"a chunk and a half", "0123456789abcde", 10, "0123456789abcde", 0},
        {"a zero byte ends its piece", "ab\0cd"s, 100, "ab", 0},
        {"the next piece goes on after a zero byte", "ab\0cd"s, 2, "abd", 0},
        {"a zero byte first", "\0abc"s, 100, "", 0},
        {"no chunk reads nothing", "abc", 0, "", 3},
        {"a negative chunk reads nothing", "abc", -5, "", 3},
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

TEST_F(TransportTest, ReadAvailableTextLeavesAnEndlessStreamToTheNextCall) {
    const int handle = open_watched();
    ASSERT_TRUE(peer_.send(std::string(1000, 'x')));
    ASSERT_TRUE(waiting_becomes(handle, 1000));
    EXPECT_EQ(read_available_text(handle, 1).size(), static_cast<std::size_t>(MAX_READS_PER_CALL));
    EXPECT_EQ(bytes_waiting(handle), 1000 - MAX_READS_PER_CALL);
    EXPECT_EQ(poll_connection(handle), NET_EVENT_DATA);
}

// ---- Sending ---------------------------------------------------------------

TEST_F(TransportTest, SendTextSendsTheTextUpToItsFirstZeroByte) {
    using namespace std::string_literals;
    struct {
        std::string text;
        std::string on_the_wire;
    } cases[] = {
        {"refresh\r\n", "refresh\r\n"},
        {"modify auto action netsendadd  a b \r\n", "modify auto action netsendadd  a b \r\n"},
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
}

TEST_F(TransportTest, SendingToAPeerThatHasGoneFailsInsteadOfEndingTheProgram) {
    const int handle = open_watched();
    peer_.close();
    // The first send may still be accepted; the reset makes later ones fail.
    EXPECT_TRUE(wait_until([&] { return send_text(handle, "get warning\r\n") == -1; }));
}

// ---- Opening and closing -----------------------------------------------------

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

TEST_F(TransportTest, OpenFailsCleanlyWithoutAServer) {
    loopback::Listener gone;
    const int closed_port = gone.port();
    gone.close();
    struct {
        const char* what;
        std::string host;
        int port;
    } cases[] = {
        {"no host", "", listener_.port()},
        {"a host that is only a zero byte", std::string(1, '\0'), listener_.port()},
        {"nobody listening", "127.0.0.1", closed_port},
        {"port 0", "127.0.0.1", 0},
        {"port 65536 is port 0", "127.0.0.1", 65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(open_connection(c.host, c.port), 0);
        EXPECT_FALSE(listener_.pending()) << "no connection may reach the listener";
    }
}

TEST_F(TransportTest, NameThatDoesNotResolveFailsWithoutAConnectAttempt) {
    // In a network of its own, so the lookup cannot leave this machine.
    const int result = loopback::in_own_network([] {
        loopback::Listener local;
        const auto open_files = [] {
            int n = 0;
            for (int fd = 0; fd < 1024; ++fd) n += ::fcntl(fd, F_GETFD) != -1;
            return n;
        };
        const int before = open_files();
        if (open_connection("no-such-host.invalid", local.port()) != 0) return 1;
        if (local.pending(50)) return 2;
        if (open_files() != before) return 3;  // the socket made for it was closed
        return 0;
    });
    if (result == loopback::CHILD_CANNOT) GTEST_SKIP() << "no network namespace can be made here";
    EXPECT_EQ(result, 0);
}

TEST_F(TransportTest, ConnectionsAreSeparateAndCloseEndsOnlyTheirOwn) {
    const int first = open_watched();
    loopback::Peer first_peer = std::move(peer_);
    const int second = open_watched();
    EXPECT_NE(first, second);

    close_connection(first);
    EXPECT_TRUE(first_peer.closed_within(2000)) << "the server sees the close";
    EXPECT_EQ(send_text(first, "x"), -1);
    EXPECT_EQ(poll_connection(first), NET_EVENT_NONE);

    ASSERT_TRUE(peer_.send("still here"));
    ASSERT_TRUE(waiting_becomes(second, 10));
    EXPECT_EQ(read_available_text(second, 1000), "still here");
}

// ---- The headless event wait and a watched connection -----------------------

class EventWaitTest : public TransportTest {
   protected:
    void SetUp() override {
        TransportTest::SetUp();
        ASSERT_EQ(create_window({0, "VYX", 0, 0, 100, 100, true, false}), 1);
        start_timer(0, TIMER_SUPERVISION, 1000);
    }

    // The peer's bytes have arrived (the wait has not looked yet).
    void arrive(int handle, const std::string& bytes) {
        const int before = bytes_waiting(handle);
        ASSERT_TRUE(peer_.send(bytes));
        ASSERT_TRUE(waiting_becomes(handle, before + static_cast<int>(bytes.size())));
    }

    static int next() { return wait_next_event(); }
    // The plain wake-up for the main window, as the posted network message is.
    static bool was_wake(int code) { return code == 0 && get_event_window() == 0; }
};

TEST_F(EventWaitTest, BytesArrivingDuringTheWaitWakeItBeforeTheTimer) {
    const int handle = open_watched();
    std::thread sender([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        peer_.send("get all");
    });
    // A busy machine may let a grace period pass first; the clock never
    // jumps more than one timer period per wait.
    int code = 0, timers = 0;
    while (!was_wake(code = next()) && timers < 5) timers += code == EVENT_TIMER;
    sender.join();
    EXPECT_TRUE(was_wake(code));
    EXPECT_LT(headless::world().now_ms, 1000LL * (timers + 1));
    EXPECT_EQ(poll_connection(handle), NET_EVENT_DATA);
}

TEST_F(EventWaitTest, BytesLeftUnreadWakeOnlyOnce) {
    const int handle = open_watched();
    arrive(handle, "busy");
    EXPECT_TRUE(was_wake(next()));
    // A nested wait that reads nothing must get on to its timer, not spin.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(next(), EVENT_TIMER);
    arrive(handle, " more");
    EXPECT_TRUE(was_wake(next())) << "more bytes are new activity";
    EXPECT_EQ(next(), EVENT_TIMER);
    EXPECT_EQ(bytes_waiting(handle), 9);
}

TEST_F(EventWaitTest, EveryReadReArmsTheWakeUp) {
    struct {
        const char* what;
        std::string first, second;
        int read_size;
        int wakes_after_read;  // before the second sending
    } cases[] = {
        {"same count again after reading everything", "abc", "xyz", 3, 0},
        {"bytes left after a partial read", "abcdef", "", 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int handle = open_watched();
        arrive(handle, c.first);
        EXPECT_TRUE(was_wake(next()));
        char buffer[16];
        ASSERT_EQ(receive_bytes(handle, buffer, c.read_size), c.read_size);
        for (int i = 0; i < c.wakes_after_read; ++i) EXPECT_TRUE(was_wake(next()));
        EXPECT_EQ(next(), EVENT_TIMER);
        if (!c.second.empty()) {
            arrive(handle, c.second);
            EXPECT_TRUE(was_wake(next()));
        }
        close_connection(handle);
    }
}

TEST_F(EventWaitTest, HangUpWakesOnce) {
    open_watched();
    peer_.close();
    EXPECT_TRUE(was_wake(next()));
    EXPECT_EQ(next(), EVENT_TIMER);
    EXPECT_EQ(next(), EVENT_TIMER);
}

TEST_F(EventWaitTest, QuietSocketsCostOnlyABoundedGraceBeforeTheTimer) {
    struct {
        const char* what;
        int timer_ms;
    } cases[] = {{"one-second timer", 1000}, {"timer due in 5 ms", 5}, {"timer due now", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int handle = open_watched();
        headless::world().now_ms = 0;
        headless::world().timers.clear();
        headless::world().timers.push_back(headless::Timer{0, TIMER_SUPERVISION, 1000, c.timer_ms});
        const auto start = Clock::now();
        EXPECT_EQ(next(), EVENT_TIMER);
        EXPECT_LT(ms_since(start), 500);
        EXPECT_EQ(headless::world().now_ms, c.timer_ms) << "the grace never passes the timer";
        close_connection(handle);
    }
}

TEST_F(EventWaitTest, UnwatchedConnectionsDoNotWakeTheWait) {
    const int handle = open_connection("127.0.0.1", listener_.port());
    peer_ = listener_.accept();
    ASSERT_TRUE(peer_.send("text"));
    ASSERT_TRUE(waiting_becomes(handle, 4));
    EXPECT_EQ(next(), EVENT_TIMER);
}

TEST_F(EventWaitTest, QueuedEventsComeFirst) {
    const int handle = open_watched();
    arrive(handle, "x");
    headless::push(EVENT_MENU, 0, MENU_QUIT);
    EXPECT_EQ(next(), EVENT_MENU);
    EXPECT_TRUE(was_wake(next()));
}

TEST_F(EventWaitTest, SleepTakesRealTimeAndMovesTheClock) {
    const auto start = Clock::now();
    sleep_ms(30);
    EXPECT_GE(ms_since(start), 30);
    EXPECT_EQ(headless::world().now_ms, 30);
    sleep_ms(0);
    sleep_ms(-5);
    EXPECT_EQ(headless::world().now_ms, 30);
}

}  // namespace
