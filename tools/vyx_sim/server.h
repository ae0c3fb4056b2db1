// vyx_sim's TCP side: one listening socket, one client at a time, answers
// and delayed answers, all on one thread around poll().
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/vyx_sim/journal.h"
#include "tools/vyx_sim/modem.h"
#include "tools/vyx_sim/options.h"

namespace vyx_sim {

class Server {
   public:
    explicit Server(const Options& options);
    ~Server();

    // Binds and listens; on failure returns false with a message.
    bool listen_now(std::string& error);
    int port() const { return port_; }
    // Serves until stop_fd turns readable, "shutdown", or --exit-after.
    void run(int stop_fd);

   private:
    using Clock = std::chrono::steady_clock;

    struct Peer {
        int fd = -1;
        std::string name;  // address:port
        std::string in, out;
        bool skipping_line = false;  // the current line was too long
        bool closing = false;        // close once out is sent
        bool write_shut = false;     // our side is finished
        Clock::time_point linger_until{};
    };

    struct Timer {
        Clock::time_point when;
        unsigned generation;  // 0: the server's own; else dropped with that client
        std::function<void()> run;
    };

    void accept_clients();
    void greet();
    void refuse(std::unique_ptr<Peer> peer);
    void read_client();
    void drop_client(const char* why);
    void handle_line(const std::string& raw);
    void handle_command(const std::string& command);
    void start_action(const std::string& action);
    void send_log_file();
    std::string log_content() const;
    void drip_tick();
    void reset_client();
    void begin_outage();
    void confirm();
    void start_endless();
    void schedule_checks();
    void plan_check(unsigned epoch);
    void run_check(unsigned epoch);
    void begin_training(const std::string& what, long long duration_ms, bool report);
    void endless_tick();
    void send_garbage();

    // Output to the client; answer() is where a fault may cut an answer.
    void send(const std::string& bytes);
    void answer(const std::string& text);
    void close_client_after_send();
    static bool flush(Peer& peer);

    void after(long long ms, bool for_client, std::function<void()> run);
    void run_timers();
    int poll_timeout() const;
    LineValues line_now();
    void note(const std::string& text) const;  // on stderr unless quiet

    Options options_;
    Modem modem_;
    Journal journal_;
    int listener_ = -1;
    int port_ = 0;
    std::unique_ptr<Peer> client_;
    unsigned generation_ = 1;  // of the current client
    std::vector<std::unique_ptr<Peer>> closing_;
    std::vector<Timer> timers_;
    unsigned check_epoch_ = 0;
    bool endless_running_ = false;
    unsigned long endless_lines_ = 0;
    int training_count_ = 0;
    std::mt19937 random_;
    bool exit_when_sent_ = false;
    std::string drip_rest_;  // of a dripped log; emptied by the client's next command
    bool pushed_ = false;    // this client has had its unasked log files
    bool stop_ = false;
    Clock::time_point started_;
};

}  // namespace vyx_sim
