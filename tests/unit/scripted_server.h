// The server's side of loopback connections, played on a thread: each client
// is sent the script, then what it sends is recorded and every whole line
// handed to answer, until it closes, listen_ms pass or the server is stopped.
#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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
    explicit ScriptedServer(Plan plan) : plan_(std::move(plan)) {
        thread_ = std::thread([this] {
            do {
                Peer client = listener_.accept(plan_.every_client ? 50 : plan_.accept_ms);
                if (client.valid()) serve(client);
            } while (plan_.every_client && !stop_);
        });
    }
    // Plays the server on a connection the test already holds.
    ScriptedServer(Peer& client, Plan plan) : plan_(std::move(plan)) {
        thread_ = std::thread([this, &client] { serve(client); });
    }
    ~ScriptedServer() { stop(); }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return listener_.port(); }
    // Waits for a server that ends by itself: one client, listened to for a while.
    void finish() {
        if (thread_.joinable()) thread_.join();
    }
    void stop() {
        stop_ = true;
        finish();
    }
    bool accepted() {
        finish();
        return !received_.empty();
    }
    // What the one client sent, once the server is done with it.
    std::string received() {
        finish();
        return received_.empty() ? "" : received_.front();
    }
    // What each client has sent so far, in the order they came.
    std::vector<std::string> received_so_far() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

   private:
    void serve(Peer& client) {
        std::size_t index;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = received_.size();
            received_.emplace_back();
        }
        for (const auto& [pause_ms, bytes] : plan_.script) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
            client.send(bytes);
        }
        const auto start = Clock::now();
        std::string pending;
        while (!stop_) {
            // Short waits, so that a stop is noticed soon.
            const long long wait = plan_.listen_ms < 0 ? 5 : std::min(5LL, plan_.listen_ms - ms_since(start));
            std::string got;
            if (wait <= 0 || client.read_some(got, static_cast<int>(wait)) < 0) return;
            pending += got;
            std::lock_guard<std::mutex> lock(mutex_);
            received_[index] += got;
            for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;
                 pending.erase(0, end + 2)) {
                lines_.push_back(pending.substr(0, end));
                if (plan_.answer) plan_.answer(lines_.back(), client);
            }
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
