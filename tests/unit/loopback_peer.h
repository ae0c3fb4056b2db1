// Real loopback peers, every read bounded; a scripted server on a thread.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace loopback {

using Clock = std::chrono::steady_clock;
inline constexpr const char* GREETING = "Welcome to VYX Mini-Server v1.3\r\nVYX>";

inline long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

template <class F>
long long ms_taken(F f) {
    const auto start = Clock::now();
    f();
    return ms_since(start);
}

template <class F>
bool wait_until(F cond, int timeout_ms = 2000) {
    for (const auto start = Clock::now(); !cond(); std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        if (ms_since(start) > timeout_ms) return false;
    return true;
}

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
    bool closed() const { return closed_; }  // the other side, as the last read saw
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
    // All that came until the text, most bytes, ms (0: what is there) or the other side's close.
    std::string read(int ms, const std::string& until = "", std::size_t most = SIZE_MAX) {
        std::string got;
        char buffer[65536];
        for (const auto start = Clock::now();
             !closed_ && got.size() < most && (until.empty() || got.find(until) == std::string::npos);) {
            pollfd p{fd_, POLLIN, 0};
            const long long left = ms - ms_since(start);
            if (left < 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            const ssize_t n = ::recv(fd_, buffer, std::min(most - got.size(), sizeof buffer), 0);
            if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
            closed_ = n <= 0;
        }
        return got;
    }

   private:
    int fd_;
    bool closed_ = false;
};

inline sockaddr_in loopback_port(int port) {
    return {.sin_family = AF_INET,
            .sin_port = htons(static_cast<in_port_t>(port)),
            .sin_addr = {htonl(INADDR_LOOPBACK)},
            .sin_zero = {}};
}

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

// The server's side on a thread: the script out, then each line to answer.
class ScriptedServer {
   public:
    using Answer = std::function<void(const std::string& line, Peer& client)>;
    struct Plan {
        std::vector<std::pair<int, std::string>> script = {};  // pieces, each sent after a pause in ms
        int listen_ms = -1;                                    // -1: until the client closes or stop()
        int accept_ms = 5000;                                  // for the one client
        bool every_client = false;                             // one after the other, until stop()
        Answer answer = {};                                    // gets each line without its CR LF
    };

    explicit ScriptedServer(Plan plan) : plan_(std::move(plan)), thread_([this] { accept_clients(); }) {}
    // Plays the server on a connection the test already holds.
    ScriptedServer(Peer& client, Plan plan)
        : plan_(std::move(plan)), thread_([this, &client] { serve(client); }) {}
    ~ScriptedServer() { stop(); }

    int port() const { return listener_.port(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // What each client sent so far; once the server ended by itself, what its one client sent.
    std::vector<std::string> received_so_far() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::string received() {
        if (thread_.joinable()) thread_.join();
        return received_.empty() ? "" : received_.front();
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

   private:
    void accept_clients() {
        for (const auto start = Clock::now();
             !stop_ && (plan_.every_client || ms_since(start) < plan_.accept_ms);) {
            Peer client = listener_.accept(20);  // in short waits, so that a stop is noticed soon
            if (client.valid()) serve(client);
            if (client.valid() && !plan_.every_client) return;
        }
    }
    void serve(Peer& client) {
        std::unique_lock lock(mutex_);
        received_.emplace_back();
        lock.unlock();
        for (const auto& [pause_ms, bytes] : plan_.script) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
            client.send(bytes);
        }
        std::string line;
        for (const auto start = Clock::now(); !stop_ && !client.closed();) {
            const long long wait = plan_.listen_ms < 0 ? 5 : std::min(5LL, plan_.listen_ms - ms_since(start));
            if (wait <= 0) break;
            const std::string got = client.read(static_cast<int>(wait), "\n");
            std::lock_guard guard(mutex_);
            received_.back() += got;
            for (line += got; line.find("\r\n") != std::string::npos;
                 line.erase(0, lines_.back().size() + 2)) {
                lines_.push_back(line.substr(0, line.find("\r\n")));
                if (plan_.answer) plan_.answer(lines_.back(), client);
            }
        }
    }

    const Plan plan_;
    Listener listener_;
    std::mutex mutex_;
    std::vector<std::string> received_, lines_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A log transfer as the server frames it: marker, length (little-endian), content.
inline std::string frame_with_length(std::int32_t length, const std::string& content) {
    std::string bytes = "QXMGSFLE";
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(std::uint32_t(length) >> shift);
    return bytes + content;
}
inline std::string frame(const std::string& content) {
    return frame_with_length(std::ssize(content), content);
}

}  // namespace loopback
