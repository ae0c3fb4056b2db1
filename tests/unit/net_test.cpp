// The Linux sockets' activity reports to the event loops, over a real loopback
// connection: once per change, a re-check only where more can still come.
#include <sys/resource.h>

#include "platform/posix/net.h"
#include "tests/unit/fixture.h"

namespace {

// What a wait of 200 ms amounts to: activity, whether it lasted its time, and whether it slept
// through (neither waking every few ms nor spinning).
std::tuple<bool, bool, bool> quiet_wait() {
    rusage before{}, after{};
    const auto cpu_us = [](const rusage& u) {
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000L + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
    };
    ::getrusage(RUSAGE_THREAD, &before);
    bool activity = false;
    const long long ms = loopback::ms_taken([&] { activity = posix::wait_socket_activity(200); });
    ::getrusage(RUSAGE_THREAD, &after);
    return {activity, ms >= 195,
            after.ru_nvcsw - before.ru_nvcsw < 20 && cpu_us(after) - cpu_us(before) < 20000};
}

// What the GTK loop is told: sockets to poll, and whether to look again soon.
std::tuple<std::size_t, bool> gtk_view() {
    bool recheck = true;
    const std::size_t polled = posix::quiet_watched_fds(&recheck).size();
    return {polled, recheck};
}

using NetActivityTest = ConnectedTest;

TEST_F(NetActivityTest, UnreadBytesAreLookedAtAgainUntilTheServerHangsUpThenAllIsQuietUntilARead) {
    char buffer[10];
    const auto receive = [&](int size) {
        return std::string(buffer, std::max(receive_bytes(state.connection, buffer, size), 0));
    };
    EXPECT_EQ(gtk_view(), std::tuple(1u, false)) << "a fresh connection is polled";
    ASSERT_TRUE(peer_.send("abc"));
    EXPECT_TRUE(posix::wait_socket_activity(2000));
    EXPECT_EQ(gtk_view(), std::tuple(0u, true)) << "not polled, but looked at again soon";
    EXPECT_FALSE(posix::wait_socket_activity(0)) << "reported once";
    std::thread later([&] { std::this_thread::sleep_for(std::chrono::milliseconds(50)), peer_.send("def"); });
    EXPECT_LT(loopback::ms_taken([] { EXPECT_TRUE(posix::wait_socket_activity(2000)) << "more came"; }),
              1000);
    later.join();
    EXPECT_EQ(receive(2), "ab");
    EXPECT_TRUE(posix::wait_socket_activity(0)) << "a read re-arms";
    EXPECT_EQ(receive(10), "cdef");
    EXPECT_FALSE(posix::wait_socket_activity(0)) << "nothing left";
    EXPECT_EQ(gtk_view(), std::tuple(1u, false)) << "polled again";

    // More, then the hang-up: reported once, then neither polled nor looked at again, though bytes wait.
    ASSERT_TRUE(peer_.send("ghijk"));
    EXPECT_TRUE(posix::wait_socket_activity(2000));
    peer_.close();
    EXPECT_TRUE(posix::wait_socket_activity(2000)) << "the hang-up is reported";
    EXPECT_EQ(std::tuple(bytes_waiting(state.connection), gtk_view()), std::tuple(5, std::tuple(0u, false)));
    EXPECT_EQ(quiet_wait(), std::tuple(false, true, true)) << "reported once, then a real wait";
    // Each read re-arms: what is still waiting is reported once more, then it is quiet again.
    EXPECT_EQ(receive(3), "ghi");
    EXPECT_EQ(std::tuple(posix::wait_socket_activity(0), gtk_view()),
              std::tuple(true, std::tuple(0u, false)));
    EXPECT_EQ(receive(3), "jk");
    EXPECT_FALSE(posix::wait_socket_activity(0));
    EXPECT_EQ(quiet_wait(), std::tuple(false, true, true)) << "quiet after the reads";
    EXPECT_EQ(std::tuple(receive(10), connection_ended(state.connection)), std::tuple("", 1));
}

}  // namespace
