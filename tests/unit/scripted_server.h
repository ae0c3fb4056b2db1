// The server's side of loopback connections on a thread: the script out, then each line to answer.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "tests/unit/loopback_peer.h"

namespace loopback {

inline constexpr const char* GREETING = "Welcome to VYX Mini-Server v1.3\r\nVYX>";

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
    // Waits for a server that ends by itself: what its one client sent.
    std::string received() {
        if (thread_.joinable()) thread_.join();
        return received_.empty() ? "" : received_.front();
    }
    std::vector<std::string> received_so_far() {
        std::lock_guard lock(mutex_);
        return received_;
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
        std::string got, line;
        for (const auto start = Clock::now(); !stop_; got.clear()) {
            const long long wait = plan_.listen_ms < 0 ? 5 : std::min(5LL, plan_.listen_ms - ms_since(start));
            if (wait <= 0 || client.read_some(got, static_cast<int>(wait)) < 0) break;
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

}  // namespace loopback
