// Real peers on the loopback interface for the network tests: a listening
// socket, the accepted (or connecting) end with reads that always time out,
// and a child process in a network namespace of its own for what must never
// leave this machine (name lookups) or needs other ICMP settings.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace loopback {

using Clock = std::chrono::steady_clock;

inline long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Polls cond every millisecond until it holds or timeout_ms passed.
template <class F>
bool wait_until(F cond, int timeout_ms = 2000) {
    const auto start = Clock::now();
    while (!cond()) {
        if (ms_since(start) > timeout_ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// One end of a TCP connection, owned by the test.
class Peer {
   public:
    Peer() = default;
    explicit Peer(int fd) : fd_(fd) {}
    Peer(Peer&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Peer& operator=(Peer&& o) noexcept {
        if (this != &o) {
            close();
            fd_ = o.fd_;
            o.fd_ = -1;
        }
        return *this;
    }
    ~Peer() { close(); }

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Closes with a reset, as a crashed server's system does.
    void reset() {
        const linger abort{1, 0};
        if (fd_ >= 0) ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close();
    }

    bool send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Everything that arrives within ms (stops early at the peer's close).
    std::string read_for(int ms) {
        std::string got;
        const auto start = Clock::now();
        for (long long left = ms; left > 0; left = ms - ms_since(start))
            if (read_some(got, static_cast<int>(left)) <= 0) break;
        return got;
    }

    // Reads until text has arrived (returns all read so far) or timeout_ms.
    std::string read_until(const std::string& text, int timeout_ms = 3000) {
        std::string got;
        const auto start = Clock::now();
        while (got.find(text) == std::string::npos) {
            const long long left = timeout_ms - ms_since(start);
            if (left <= 0 || read_some(got, static_cast<int>(left)) <= 0) break;
        }
        return got;
    }

    // Reads exactly n bytes unless timeout_ms passes or the peer closes.
    std::string read_exact(std::size_t n, int timeout_ms = 3000) {
        std::string got;
        const auto start = Clock::now();
        while (got.size() < n) {
            const long long left = timeout_ms - ms_since(start);
            if (left <= 0 || read_some(got, static_cast<int>(left), n - got.size()) <= 0) break;
        }
        return got;
    }

    // True when the other side closed within timeout_ms (bytes before that are dropped).
    bool closed_within(int timeout_ms) {
        const auto start = Clock::now();
        for (long long left = timeout_ms; left >= 0; left = timeout_ms - ms_since(start)) {
            std::string ignored;
            const long n = read_some(ignored, static_cast<int>(left));
            if (n <= 0) return n < 0;
        }
        return false;
    }

    // One read after waiting at most ms: how many bytes were appended, 0 on
    // time-out, -1 once the other side has closed.
    long read_some(std::string& into, int ms, std::size_t limit = 65536) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return 0;
        char buffer[65536];
        const ssize_t n = ::recv(fd_, buffer, std::min(limit, sizeof buffer), 0);
        if (n <= 0) return -1;
        into.append(buffer, static_cast<std::size_t>(n));
        return n;
    }

   private:
    int fd_ = -1;
};

// A listening socket on 127.0.0.1 and a free port.
class Listener {
   public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd_, 8) != 0) return;
        socklen_t size = sizeof at;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &size);
        port_ = ntohs(at.sin_port);
    }
    ~Listener() { close(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    int port() const { return port_; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // True when a connection waits to be accepted within ms.
    bool pending(int ms = 0) const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    Peer accept(int timeout_ms = 2000) const {
        if (!pending(timeout_ms)) return Peer();
        return Peer(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
    }

   private:
    int fd_ = -1;
    int port_ = 0;
};

// Connects to 127.0.0.1:port; an invalid Peer when refused.
inline Peer connect_to(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return Peer();
    }
    return Peer(fd);
}

inline bool write_file(const char* path, const std::string& text) {
    std::ofstream f(path);
    f << text;
    f.flush();
    return static_cast<bool>(f);
}

// Exit code of a child that found it cannot do what the test needs.
constexpr int CHILD_CANNOT = 77;

// Runs body in a child process inside a fresh network namespace whose only
// interface, loopback, is up. Returns body's result, CHILD_CANNOT when the
// namespace cannot be had, or -1 when the child died or hung.
inline int in_own_network(const std::function<int()>& body, int timeout_ms = 10000) {
    const pid_t child = ::fork();
    if (child < 0) return CHILD_CANNOT;
    if (child == 0) {
        if (::unshare(CLONE_NEWNET) != 0) ::_exit(CHILD_CANNOT);
        const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
        ifreq lo{};
        std::strcpy(lo.ifr_name, "lo");
        if (s < 0 || ::ioctl(s, SIOCGIFFLAGS, &lo) != 0) ::_exit(CHILD_CANNOT);
        lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
        if (::ioctl(s, SIOCSIFFLAGS, &lo) != 0) ::_exit(CHILD_CANNOT);
        ::close(s);
        ::_exit(body());
    }
    int status = 0;
    const auto start = Clock::now();
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (ms_since(start) > timeout_ms) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace loopback
