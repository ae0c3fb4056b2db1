// The server's side of loopback connections, played on a thread: each client
// is sent the script, then what it sends is recorded and every whole line
// handed to answer, until it closes, listen_ms pass or the server is stopped.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "tests/unit/loopback_peer.h"

namespace loopback {

// What a server says when a client connects.
inline constexpr const char* GREETING = "Welcome to VYX Mini-Server v1.3\r\nVYX>";

class ScriptedServer {
   public:
    using Answer = std::function<void(const std::string& line, Peer& client)>;
    struct Plan {
        std::vector<std::pair<int, std::string>> script = {};  // pieces, each sent after a pause in ms
        int listen_ms = 400;                                   // -1: until the client closes or stop()
        int accept_ms = 5000;                                  // for the one client
        bool every_client = false;                             // one after the other, until stop()
        Answer answer = {};                                    // gets each line without its CR LF
    };

    // Listens on a free port of its own.
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
    // These two wait for a server that ends by itself: one client, listened to for a while.
    bool accepted() { return received(), !received_.empty(); }
    std::string received() {
        if (thread_.joinable()) thread_.join();
        return received_.empty() ? "" : received_.front();
    }
    // What each client has sent so far, in the order they came.
    std::vector<std::string> received_so_far() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

   private:
    // In short waits, so that a stop is noticed soon.
    void accept_clients() {
        for (const auto start = Clock::now();
             !stop_ && (plan_.every_client || ms_since(start) < plan_.accept_ms);) {
            Peer client = listener_.accept(20);
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
        std::string got, line;
        for (const auto start = Clock::now(); !stop_; got.clear()) {
            const long long wait = plan_.listen_ms < 0 ? 5 : std::min(5LL, plan_.listen_ms - ms_since(start));
            if (wait <= 0 || client.read_some(got, static_cast<int>(wait)) < 0) break;
            lock.lock();
            received_.back() += got;
            for (char byte : got)
                if ((line += byte).ends_with("\r\n")) {
                    lines_.push_back(line.substr(0, line.size() - 2));
                    line.clear();
                    if (plan_.answer) plan_.answer(lines_.back(), client);
                }
            lock.unlock();
        }
    }

    const Plan plan_;
    Listener listener_;
    std::mutex mutex_;
    std::vector<std::string> received_;
    std::vector<std::string> lines_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace loopback
