// The Linux sockets' activity reports to the event loops, over real loopback
// connections: once per change, a re-check only where more can still come.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/net.h"
#include "tests/unit/loopback_peer.h"

namespace {

// Times this thread went to sleep on its own: a wait that spins wakes and sleeps again every few ms.
long sleeps() {
    rusage use{};
    ::getrusage(RUSAGE_THREAD, &use);
    return use.ru_nvcsw;
}

// What a wait of 200 ms amounts to: activity, whether it lasted its time, and whether it slept through.
std::tuple<bool, bool, bool> quiet_wait() {
    const long before = sleeps();
    bool activity = false;
    const long long ms = loopback::ms_taken([&] { activity = posix::wait_socket_activity(200); });
    return {activity, ms >= 195, sleeps() - before < 20};
}

// What the GTK loop is told: sockets to poll, and whether to look again soon.
std::tuple<std::size_t, bool> gtk_view() {
    bool recheck = true;
    const std::size_t polled = posix::quiet_watched_fds(&recheck).size();
    return {polled, recheck};
}

std::string receive(int handle, int size) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const int n = net_receive(handle, bytes.data(), size);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

// A watched connection to a peer the test plays the server with; no other socket open.
struct Link {
    Link() {
        posix::close_all_sockets();
        handle = net_open("127.0.0.1", listener.port());
        peer = listener.accept();
        net_watch(handle, 0);
    }
    ~Link() { posix::close_all_sockets(); }

    loopback::Listener listener;
    loopback::Peer peer;
    int handle = 0;
};

TEST(NetActivityTest, AfterTheServerHangsUpTheWaitIsQuietUntilARead) {
    // Bytes the server sends before it closes, and how many the client then reads at a time.
    const std::tuple<const char*, std::string, int> rows[] = {
        {"nothing sent", "", 0},
        {"bytes sent, read whole", "abcdef", 100},
        {"bytes sent, read in pieces", "abcdef", 4},
    };
    for (const auto& [what, sent, piece] : rows) {
        SCOPED_TRACE(what);
        Link link;
        const int handle = link.handle;
        ASSERT_TRUE(handle > 0 && link.peer.valid());
        EXPECT_EQ(gtk_view(), std::tuple(1u, false)) << "a fresh connection is polled";
        ASSERT_TRUE(link.peer.send(sent));
        link.peer.close();
        ASSERT_TRUE(loopback::wait_until([&] { return net_wait_readable(handle, 0) == 1; }));
        EXPECT_TRUE(posix::wait_socket_activity(2000)) << "the hang-up is reported";
        EXPECT_EQ(net_bytes_waiting(handle), static_cast<int>(sent.size())) << "what came before it waits";
        EXPECT_EQ(gtk_view(), std::tuple(0u, false)) << "neither polled nor looked at again";
        EXPECT_EQ(quiet_wait(), std::tuple(false, true, true)) << "reported once, then a real wait";

        // Each read re-arms: what is still waiting is reported once more, then it is quiet again.
        std::string got;
        for (int reads = 0; piece > 0 && got.size() < sent.size() && reads < 10; ++reads) {
            got += receive(handle, piece);
            const bool left = got.size() < sent.size();
            EXPECT_EQ(posix::wait_socket_activity(0), left) << got.size();
            EXPECT_EQ(gtk_view(), std::tuple(0u, false)) << got.size();
        }
        EXPECT_EQ(got, piece > 0 ? sent : "");
        EXPECT_EQ(quiet_wait(), std::tuple(false, true, true)) << "quiet after the reads";
        EXPECT_EQ(std::tuple(receive(handle, 10), net_ended(handle)), std::tuple("", 1));
    }
}

TEST(NetActivityTest, UnreadBytesOnALiveConnectionAreLookedAtAgainForMore) {
    Link link;
    const int handle = link.handle;
    loopback::Peer& peer = link.peer;
    ASSERT_TRUE(handle > 0 && peer.valid());
    ASSERT_TRUE(peer.send("abc"));
    EXPECT_TRUE(posix::wait_socket_activity(2000));
    EXPECT_EQ(gtk_view(), std::tuple(0u, true)) << "not polled, but looked at again soon";
    EXPECT_FALSE(posix::wait_socket_activity(0)) << "reported once";
    ASSERT_TRUE(peer.send("def"));
    EXPECT_TRUE(posix::wait_socket_activity(2000)) << "more came";
    EXPECT_EQ(receive(handle, 2), "ab");
    EXPECT_TRUE(posix::wait_socket_activity(0)) << "a read re-arms";
    EXPECT_EQ(receive(handle, 10), "cdef");
    EXPECT_FALSE(posix::wait_socket_activity(0)) << "nothing left";
    EXPECT_EQ(gtk_view(), std::tuple(1u, false)) << "polled again";
    // Then the hang-up: reported once, and quiet from then on.
    peer.close();
    EXPECT_TRUE(posix::wait_socket_activity(2000));
    EXPECT_EQ(quiet_wait(), std::tuple(false, true, true));
}

}  // namespace
