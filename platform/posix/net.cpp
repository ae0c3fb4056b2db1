// TCP connections for the Linux build, over BSD sockets.
//
// The hard parts: the real program gets one posted message per network event
// and reads never block once a connection is watched, so here a watched
// socket turns non-blocking and its activity is reported edge-like (see
// net.h) to the event wait; and a send to a closed peer must fail with -1
// rather than raise SIGPIPE, which would end the process.
#include "platform/posix/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <vector>

#include "platform/platform.h"

namespace {

struct Socket {
    int fd = -1;
    bool watched = false;
    // What the event wait last reported; armed = false means "report again
    // if anything is waiting" (never reported, or read since).
    bool armed = false;
    int reported_waiting = 0;
    bool reported_hangup = false;
};

std::map<int, Socket> g_sockets;
int g_next_handle = 1;

Socket* find(int handle) {
    auto it = g_sockets.find(handle);
    return it == g_sockets.end() ? nullptr : &it->second;
}

int fd_of(int handle) {
    const Socket* s = find(handle);
    return s ? s->fd : -1;
}

bool resolve(const std::string& host, in_addr* out) {
    const in_addr_t dotted = inet_addr(host.c_str());
    if (dotted != INADDR_NONE) {
        out->s_addr = dotted;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    bool ok = false;
    for (const addrinfo* a = found; a; a = a->ai_next)
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            *out = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
            ok = true;
            break;
        }
    freeaddrinfo(found);
    return ok;
}

// A connect interrupted by a signal goes on in the background; wait for it
// so the caller still sees one blocking call.
bool connect_blocking(int fd, const sockaddr_in& to) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    if (errno != EINTR) return false;
    pollfd p{fd, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0)
        if (errno != EINTR) return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

int waiting_on(int fd) {
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 && n > 0 ? n : 0;
}

}  // namespace

int net_open(const std::string& host, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
    if (!resolve(host, &to.sin_addr) || !connect_blocking(fd, to)) {
        ::close(fd);
        return 0;
    }
    const int handle = g_next_handle++;
    g_sockets[handle] = Socket{fd};
    return handle;
}

void net_watch(int handle, int) {
    Socket* s = find(handle);
    if (!s) return;
    const int flags = ::fcntl(s->fd, F_GETFL);
    if (flags >= 0) ::fcntl(s->fd, F_SETFL, flags | O_NONBLOCK);
    s->watched = true;
    s->armed = false;
}

int net_bytes_waiting(int handle) {
    const int fd = fd_of(handle);
    return fd < 0 ? 0 : waiting_on(fd);
}

int net_peek(int handle, char* buffer, int size) {
    const int fd = fd_of(handle);
    if (fd < 0 || !buffer || size <= 0) return -1;
    const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(size), MSG_PEEK | MSG_DONTWAIT);
    return n < 0 ? -1 : static_cast<int>(n);
}

int net_wait_readable(int handle, int timeout_ms) {
    const int fd = fd_of(handle);
    if (fd < 0) return 0;
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    int n;
    do n = ::poll(&p, 1, std::max(timeout_ms, 0));
    while (n < 0 && errno == EINTR);
    return n > 0 ? 1 : 0;
}

int net_receive(int handle, char* buffer, int size) {
    Socket* s = find(handle);
    if (!s || !buffer || size <= 0) return -1;
    ssize_t n;
    do n = ::recv(s->fd, buffer, static_cast<size_t>(size), 0);
    while (n < 0 && errno == EINTR);
    s->armed = false;
    return n < 0 ? -1 : static_cast<int>(n);
}

int net_send(int handle, const char* data, int size) {
    const int fd = fd_of(handle);
    if (fd < 0 || size < 0 || (size > 0 && !data)) return -1;
    ssize_t n;
    do n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n >= 0) return static_cast<int>(n);
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

int net_ended(int handle) {
    const int fd = fd_of(handle);
    if (fd < 0) return 1;
    if (waiting_on(fd) > 0) return 0;
    char probe;
    ssize_t n;
    do n = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n == 0) return 1;
    return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK ? 1 : 0;
}

void net_close(int handle) {
    auto it = g_sockets.find(handle);
    if (it == g_sockets.end()) return;
    ::close(it->second.fd);
    g_sockets.erase(it);
}

namespace posix {

bool sockets_watched() {
    for (const auto& [handle, s] : g_sockets)
        if (s.watched) return true;
    return false;
}

bool wait_socket_activity(int max_ms) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(max_ms > 0 ? max_ms : 0);
    std::vector<pollfd> fds;
    std::vector<Socket*> owners;
    for (;;) {
        fds.clear();
        owners.clear();
        for (auto& [handle, s] : g_sockets)
            if (s.watched) {
                fds.push_back(pollfd{s.fd, POLLIN | POLLRDHUP, 0});
                owners.push_back(&s);
            }
        if (fds.empty()) return false;
        ::poll(fds.data(), fds.size(), 0);

        // Report what changed; note what cannot be waited for with poll()
        // because it is ready already: unread bytes on a live connection, to
        // which more may come. After a hang-up nothing new can arrive, and
        // only a read changes what waits (and re-arms the connection).
        bool activity = false, recheck = false;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            Socket& s = *owners[i];
            const int waiting = waiting_on(s.fd);
            const bool hangup = (fds[i].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
            const bool news =
                (hangup && !s.reported_hangup) || (s.armed ? waiting != s.reported_waiting : waiting > 0);
            if (news) activity = true;
            if (news || !s.armed) {
                s.armed = true;
                s.reported_waiting = waiting;
                s.reported_hangup = s.reported_hangup || hangup;
            }
            if (waiting > 0 && !s.reported_hangup) recheck = true;
        }
        if (activity) return true;

        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0) return false;
        // Sockets that are ready already would wake poll() at once: watch
        // only the others, and look at live ones with unread bytes again
        // every few ms.
        std::size_t quiet = 0;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            const Socket& s = *owners[i];
            if (s.reported_waiting == 0 && !s.reported_hangup)
                fds[quiet++] = pollfd{s.fd, POLLIN | POLLRDHUP, 0};
        }
        const long step = recheck ? std::min<long>(left, 2) : std::min<long>(left, INT_MAX);
        ::poll(fds.data(), quiet, static_cast<int>(step));
    }
}

std::vector<int> quiet_watched_fds(bool* others_ready) {
    std::vector<int> fds;
    bool ready = false;
    for (const auto& [handle, s] : g_sockets) {
        if (!s.watched || s.reported_hangup) continue;  // nothing new can arrive there
        if (s.reported_waiting > 0)
            ready = true;
        else
            fds.push_back(s.fd);
    }
    if (others_ready) *others_ready = ready;
    return fds;
}

void close_all_sockets() {
    for (auto& [handle, s] : g_sockets) ::close(s.fd);
    g_sockets.clear();
}

}  // namespace posix
