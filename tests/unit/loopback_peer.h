// Real loopback peers, every read bounded, and a child in a network namespace of its own.
#pragma once

#include <arpa/inet.h>
#include <net/if.h>
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
#include <utility>

namespace loopback {

using Clock = std::chrono::steady_clock;

inline long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

template <class F>
bool wait_until(F cond, int timeout_ms = 2000) {
    for (const auto start = Clock::now(); !cond(); std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        if (ms_since(start) > timeout_ms) return false;
    return true;
}

// One end of a connection, owned by the test.
class Peer {
   public:
    explicit Peer(int fd = -1) : fd_(fd) {}
    Peer(Peer&& o) noexcept : fd_(std::exchange(o.fd_, -1)), closed_(o.closed_) {}
    Peer& operator=(Peer&& o) noexcept {
        std::swap(fd_, o.fd_);  // o closes what this held
        closed_ = o.closed_;
        return *this;
    }
    ~Peer() { close(); }

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close() {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    }
    bool send(const std::string& bytes) const {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // These read until their text, size or time-out, or the peer's close, and return all they read.
    std::string read_for(int ms) { return read(ms, SIZE_MAX, ""); }
    std::string read_until(const std::string& text, int timeout_ms = 3000) {
        return read(timeout_ms, SIZE_MAX, text);
    }
    std::string read_exact(std::size_t n, int timeout_ms = 3000) { return read(timeout_ms, n, ""); }
    bool closed_within(int timeout_ms) { return read_for(timeout_ms), closed_; }
    // One read after waiting at most ms: bytes appended, 0 on time-out, -1 once the other side closed.
    long read_some(std::string& into, int ms, std::size_t limit = 65536) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return 0;
        char buffer[65536];
        const ssize_t n = ::recv(fd_, buffer, std::min(limit, sizeof buffer), 0);
        if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
        closed_ = n <= 0;
        return closed_ ? -1 : n;
    }

   private:
    std::string read(int timeout_ms, std::size_t most, const std::string& text) {
        std::string got;
        const auto start = Clock::now();
        for (long long left = timeout_ms, n = 1;
             n > 0 && left > 0 && got.size() < most && (text.empty() || got.find(text) == std::string::npos);
             left = timeout_ms - ms_since(start))
            n = read_some(got, static_cast<int>(left), most - got.size());
        return got;
    }

    int fd_;
    bool closed_ = false;
};

inline sockaddr_in loopback_port(int port) {
    return {.sin_family = AF_INET,
            .sin_port = htons(static_cast<in_port_t>(port)),
            .sin_addr = {htonl(INADDR_LOOPBACK)},
            .sin_zero = {}};
}

// A listening socket on 127.0.0.1 and a free port.
class Listener {
   public:
    Listener() {
        sockaddr_in at = loopback_port(0);
        socklen_t size = sizeof at;
        if (::bind(socket_.fd(), reinterpret_cast<sockaddr*>(&at), size) == 0 &&
            ::listen(socket_.fd(), 8) == 0 &&
            ::getsockname(socket_.fd(), reinterpret_cast<sockaddr*>(&at), &size) == 0)
            port_ = ntohs(at.sin_port);
    }
    int port() const { return port_; }
    Peer accept(int timeout_ms = 2000) const {
        pollfd p{socket_.fd(), POLLIN, 0};
        return Peer(::poll(&p, 1, timeout_ms) > 0 ? ::accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC)
                                                  : -1);
    }

   private:
    Peer socket_{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    int port_ = 0;
};

// Connects to 127.0.0.1:port; an invalid Peer when refused.
inline Peer connect_to(int port) {
    Peer peer(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in to = loopback_port(port);
    if (::connect(peer.fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) peer.close();
    return peer;
}

inline bool write_file(const char* path, const std::string& text) {
    std::ofstream f(path);
    return static_cast<bool>(f << text << std::flush);
}

// Exit code of a child that cannot set up what the test needs.
constexpr int CHILD_CANNOT = 77;

// body's result in a child whose network has only loopback, up; -1 when it died or hung.
inline int in_own_network(const std::function<int()>& body, int timeout_ms = 10000) {
    const pid_t child = ::fork();
    if (child == 0) {
        ifreq lo{};
        std::strcpy(lo.ifr_name, "lo");
        const int s = ::unshare(CLONE_NEWNET) == 0 ? ::socket(AF_INET, SOCK_DGRAM, 0) : -1;
        if (s < 0 || ::ioctl(s, SIOCGIFFLAGS, &lo) != 0) ::_exit(CHILD_CANNOT);
        lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
        ::_exit(::ioctl(s, SIOCSIFFLAGS, &lo) == 0 ? body() : CHILD_CANNOT);
    }
    int status = 0;
    if (child < 0) return CHILD_CANNOT;
    if (!wait_until([&] { return ::waitpid(child, &status, WNOHANG) != 0; }, timeout_ms)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace loopback
