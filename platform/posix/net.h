// What the Linux sockets offer the headless event wait beyond platform.h:
// waiting for activity on watched connections, reported edge-like as the
// real program's posted network messages are.
#pragma once

#include <vector>

namespace posix {

// True while at least one open connection is watched.
bool sockets_watched();

// Waits at most max_ms real milliseconds for new activity on a watched
// connection: more (or fewer) bytes waiting than when it was last reported,
// or a hang-up not reported before. A read on a connection re-arms it, so
// bytes still waiting after a read are reported once more. Bytes that nobody
// reads are reported only once, however often this is called.
bool wait_socket_activity(int max_ms);

// For an event loop that polls descriptors itself (GTK): the watched
// connections with nothing reported standing, which poll() can wait on, and
// in *others_ready whether any live watched connection has unread bytes
// reported already, which poll() would report at once on every turn, while
// more may come: look again soon. A connection whose hang-up was reported is
// neither: nothing new can arrive there, and a read re-arms it.
std::vector<int> quiet_watched_fds(bool* others_ready);

// Closes every connection (between tests; at program end).
void close_all_sockets();

}  // namespace posix
