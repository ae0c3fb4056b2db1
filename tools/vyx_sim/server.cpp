// vyx_sim's server loop: one thread, one poll() over the stop pipe, the
// listening socket, the client and the refused clients still closing.
//
// The hard parts: every wait is bounded (timers drive delayed answers, and a
// client's timers die with it, so a late answer never reaches the next
// client); nothing can grow without limit (lines, output, log); and a
// closing connection sends what it has, shuts its side and drains the
// client's bytes before closing, so the last answer ("busy", "servus")
// is not lost to a reset.
#include "tools/vyx_sim/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vyx_sim {
namespace {

constexpr std::size_t MAX_LINE = 4096;
constexpr std::size_t MAX_OUTPUT = 32u << 20;
constexpr std::size_t ENDLESS_HIGH_WATER = 64u << 10;
constexpr std::size_t MAX_CLOSING = 64;
constexpr int LINGER_MS = 2000;
constexpr int ENDLESS_STEP_MS = 10;
constexpr const char* CONFIRMATION = "modification successfully\r\nVYX>";

std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string le32(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const char bytes[4] = {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                           static_cast<char>(u >> 24)};
    return std::string(bytes, 4);
}

std::string values_text(const LineValues& v) {
    char text[96];
    std::snprintf(text, sizeof text, "DN %d kbit/s, UP %d kbit/s, SNRM %.1f dB", v.bitdn, v.bitup, v.snr);
    return text;
}

}  // namespace

Server::Server(const Options& options)
    : options_(options), modem_(options), random_(options.seed), started_(Clock::now()) {
    journal_.seed(options.log_lines);
    journal_.add("VYX Mini-Server v" + options.server_version + " started");
}

Server::~Server() {
    if (client_) ::close(client_->fd);
    for (auto& p : closing_) ::close(p->fd);
    if (listener_ >= 0) ::close(listener_);
}

bool Server::listen_now(std::string& error) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(options_.port));
    ::inet_pton(AF_INET, options_.bind.c_str(), &at.sin_addr);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) < 0 || ::listen(listener_, 8) < 0) {
        error = "cannot listen on " + options_.bind + " port " + std::to_string(options_.port) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t size = sizeof at;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size);
    port_ = ntohs(at.sin_port);
    return true;
}

void Server::note(const std::string& text) const {
    if (options_.quiet) return;
    std::fprintf(stderr, "[%s] %s\n", local_time_text(true).c_str(), text.c_str());
}

LineValues Server::line_now() {
    return modem_.line(std::chrono::duration<double>(Clock::now() - started_).count());
}

// ---- Timers ----------------------------------------------------------------

void Server::after(long long ms, bool for_client, std::function<void()> run) {
    timers_.push_back(Timer{Clock::now() + std::chrono::milliseconds(std::max(0LL, ms)),
                            for_client ? generation_ : 0u, std::move(run)});
}

void Server::run_timers() {
    const auto now = Clock::now();
    std::vector<Timer> due;
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->generation != 0 && it->generation != generation_) {
            it = timers_.erase(it);
        } else if (it->when <= now) {
            due.push_back(std::move(*it));
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
    std::stable_sort(due.begin(), due.end(), [](const Timer& a, const Timer& b) { return a.when < b.when; });
    for (Timer& t : due)
        if (t.generation == 0 || t.generation == generation_) t.run();
}

int Server::poll_timeout() const {
    auto next = Clock::now() + std::chrono::seconds(1);
    for (const Timer& t : timers_) next = std::min(next, t.when);
    for (const auto& p : closing_) next = std::min(next, p->linger_until);
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 1000));
}

// ---- Connections -----------------------------------------------------------

bool Server::flush(Peer& peer) {
    while (!peer.out.empty()) {
        const ssize_t n = ::send(peer.fd, peer.out.data(), peer.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            return false;
        }
        peer.out.erase(0, static_cast<std::size_t>(n));
    }
    if (peer.closing && !peer.write_shut) {
        ::shutdown(peer.fd, SHUT_WR);
        peer.write_shut = true;
    }
    return true;
}

void Server::accept_clients() {
    for (;;) {
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const int fd =
            ::accept4(listener_, reinterpret_cast<sockaddr*>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN, or a client that gave up meanwhile
        }
        auto peer = std::make_unique<Peer>();
        peer->fd = fd;
        char address[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
        peer->name = std::string(address) + ":" + std::to_string(ntohs(from.sin_port));
        note(peer->name + " connected");
        if (client_ || (options_.faults & FAULT_BUSY)) {
            refuse(std::move(peer));
        } else {
            client_ = std::move(peer);
            journal_.add("client " + client_->name + " connected");
            greet();
        }
    }
}

void Server::refuse(std::unique_ptr<Peer> peer) {
    if (closing_.size() >= MAX_CLOSING) {
        ::close(peer->fd);
        return;
    }
    note(peer->name + " refused: busy");
    journal_.add("client " + peer->name + " refused: busy");
    peer->out = "busy\r\n";
    peer->closing = true;
    peer->linger_until = Clock::now() + std::chrono::milliseconds(LINGER_MS);
    flush(*peer);
    closing_.push_back(std::move(peer));
}

void Server::greet() {
    pushed_ = false;
    drip_rest_.clear();
    if (options_.faults & FAULT_RESET) after(options_.reset_ms, true, [this] { reset_client(); });
    if (options_.faults & FAULT_FLOOD) {
        const std::string line = "no greeting here, only text that goes on and on\r\n";
        std::string flood;
        while (flood.size() < static_cast<std::size_t>(options_.flood_mb) << 20) flood += line;
        return send(flood);
    }
    const std::string text =
        ((options_.faults & FAULT_LOWER) ? "welcome to vyx mini-server v" : "Welcome to VYX Mini-Server v") +
        options_.server_version + "\r\nVYX>";
    if (options_.faults & FAULT_SPLIT) {
        const std::size_t cut = 12;  // "Welcome to V"
        send(text.substr(0, cut));
        after(options_.split_ms, true, [this, rest = text.substr(cut)] { send(rest); });
    } else {
        send(text);
    }
}

void Server::drop_client(const char* why) {
    if (!client_) return;
    note(client_->name + " " + why);
    journal_.add("client " + client_->name + " disconnected");
    ::close(client_->fd);
    client_.reset();
    ++generation_;  // its pending answers go with it
    endless_running_ = false;
}

// As a crashed server's system does: a reset, no goodbye.
void Server::reset_client() {
    if (!client_) return;
    const linger abort{1, 0};
    ::setsockopt(client_->fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    drop_client("reset");
}

// As when the server's machine goes away: the client is reset and new
// connections are refused until it is back.
void Server::begin_outage() {
    journal_.add("server away for " + std::to_string(options_.outage_ms) + " ms");
    note("outage for " + std::to_string(options_.outage_ms) + " ms");
    reset_client();
    ::close(listener_);
    listener_ = -1;
    after(options_.outage_ms, false, [this] {
        options_.port = port_;  // the same port again, also when the first one was chosen by the system
        std::string error;
        if (!listen_now(error)) note(error);
        journal_.add("server back");
        after(options_.outage_every_ms, false, [this] { begin_outage(); });
    });
}

void Server::close_client_after_send() {
    if (!client_) return;
    note(client_->name + " closing");
    journal_.add("client " + client_->name + " disconnected");
    client_->closing = true;
    client_->linger_until = Clock::now() + std::chrono::milliseconds(LINGER_MS);
    flush(*client_);
    closing_.push_back(std::move(client_));
    ++generation_;
    endless_running_ = false;
}

void Server::send(const std::string& bytes) {
    if (!client_ || bytes.empty()) return;
    client_->out += bytes;
    if (client_->out.size() > MAX_OUTPUT) return drop_client("dropped: does not read its answers");
    if (!flush(*client_)) drop_client("lost");
}

void Server::answer(const std::string& text) {
    if (options_.faults & FAULT_CLOSE_MID) {
        send(text.substr(0, std::max<std::size_t>(1, text.size() / 2)));
        close_client_after_send();
        return;
    }
    send(text);
}

void Server::read_client() {
    Peer* const peer = client_.get();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(peer->fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) return drop_client("disconnected");
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            return drop_client("lost");
        }
        peer->in.append(buffer, static_cast<std::size_t>(n));
        for (;;) {
            const std::size_t end = peer->in.find('\n');
            if (end == std::string::npos) {
                if (peer->in.size() > MAX_LINE) {
                    note(peer->name + " sent a line longer than " + std::to_string(MAX_LINE) +
                         " bytes; ignored");
                    peer->in.clear();
                    peer->skipping_line = true;
                }
                break;
            }
            std::string line = peer->in.substr(0, end);
            peer->in.erase(0, end + 1);
            if (peer->skipping_line) {
                peer->skipping_line = false;
                continue;
            }
            handle_line(line);
            if (client_.get() != peer) return;  // closed by its command
        }
    }
}

// ---- Commands --------------------------------------------------------------

void Server::handle_line(const std::string& raw) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    note(client_->name + " > " + printable(line));
    handle_command(line);
}

void Server::handle_command(const std::string& line) {
    drip_rest_.clear();  // a command ends a dripped log
    if (options_.faults & FAULT_SILENT) return;
    if (options_.faults & FAULT_GARBAGE) return send_garbage();
    if (options_.faults & FAULT_ENDLESS) return start_endless();

    const std::string command = trimmed(line);
    if (command == "get all") {
        answer(modem_.full_report(line_now()));
        if ((options_.faults & FAULT_PUSH) && !pushed_) {
            pushed_ = true;
            for (int i = 1; i <= options_.push_count; ++i)
                after(300LL * i, true, [this] { send_log_file(); });
        }
    } else if (command == "get auto") {
        answer(modem_.monitoring_report());
    } else if (command == "get warning") {
        answer(modem_.warning_report(line_now()));
    } else if (command == "refresh" || command == "resync" || command == "reboot") {
        start_action(command);
    } else if (command == "get logfile") {
        send_log_file();
    } else if (command == "modify auto" || line.rfind("modify auto ", 0) == 0) {
        const Monitoring before = modem_.settings();
        const std::string done = modem_.modify(line.size() > 12 ? line.substr(12) : std::string());
        note("  " + done);
        journal_.add("modify auto: " + done);
        const Monitoring& now = modem_.settings();
        if (now.status != before.status || now.interval != before.interval) schedule_checks();
        confirm();
    } else if (command == "commit") {
        journal_.add("configuration saved");
        confirm();
    } else if (command == "modify logfile action delete") {
        journal_.clear();
        note("  log deleted");
        answer("logfile deleted\r\nVYX>");
    } else if (command == "shutdown") {
        journal_.add("shutdown requested by " + client_->name);
        send("servus\r\n");
        exit_when_sent_ = true;
        close_client_after_send();
    } else if (command == "help") {
        answer(
            "commands: get all, get auto, get warning, refresh, resync, reboot, get logfile,\r\n"
            "modify auto <setting> <value>, commit, modify logfile action delete, shutdown\r\nVYX>");
    } else if (command.empty()) {
        answer("\r\nVYX>");
    } else {
        answer("unknown command, try help\r\nVYX>");
    }
}

void Server::confirm() {
    if (options_.faults & FAULT_NO_CONFIRM) return;
    if (options_.faults & FAULT_LATE_CONFIRM)
        return after(options_.late_ms, true, [this] { answer(CONFIRMATION); });
    answer(CONFIRMATION);
}

void Server::start_action(const std::string& action) {
    const int factor = action == "refresh" ? 1 : action == "resync" ? 2 : 4;
    const std::string what = action == "refresh"  ? "data refresh"
                             : action == "resync" ? "DSL resync"
                                                  : "modem reboot";
    journal_.add(what + " requested by " + client_->name);
    if (!options_.please_wait) {
        journal_.add(what + " done: " + values_text(line_now()));
        return answer(modem_.full_report(line_now()));
    }
    answer("ok. please wait ...\r\n");
    if (!client_) return;
    begin_training(what, static_cast<long long>(options_.wait_ms) * factor, true);
}

// Refresh reads the modem again; resync and reboot also take the line down
// meanwhile. With report set the client that asked gets the new report.
void Server::begin_training(const std::string& what, long long duration_ms, bool report) {
    const bool line_down = what != "data refresh";
    if (line_down) modem_.set_training(++training_count_ > 0);
    const unsigned asker = report ? generation_ : 0;
    after(duration_ms, false, [this, what, line_down, asker] {
        if (line_down) {
            modem_.set_training(--training_count_ > 0);
            modem_.retrained();
        }
        journal_.add(what + " done: " + values_text(line_now()));
        if (asker != 0 && asker == generation_ && client_) answer(modem_.full_report(line_now()));
    });
}

std::string Server::log_content() const {
    std::string content = journal_.text();
    if (options_.log_bytes <= 0) return content;
    const auto size = static_cast<std::size_t>(options_.log_bytes);
    if (content.empty()) content = "VYX Mini-Server log\r\n";
    while (content.size() < size) content += content.substr(0, size - content.size());
    content.resize(size);
    return content;
}

void Server::send_log_file() {
    const std::string content = log_content();
    auto length = static_cast<std::int32_t>(content.size());
    if (options_.faults & FAULT_NEGATIVE) length = -length - 1;
    if (options_.faults & FAULT_TRUNCATED) length += 1000;
    if (options_.faults & FAULT_DRIP) {
        send("QXMGSFLE" + le32(length));
        drip_rest_ = content;
        after(options_.drip_ms, true, [this] { drip_tick(); });
    } else {
        answer("QXMGSFLE" + le32(length) + content);
    }
    journal_.add("log file sent, " + std::to_string(content.size()) + " bytes");
}

void Server::drip_tick() {
    if (!client_ || drip_rest_.empty()) return;
    send(drip_rest_.substr(0, 1));
    drip_rest_.erase(0, 1);
    after(options_.drip_ms, true, [this] { drip_tick(); });
}

void Server::send_garbage() {
    std::uniform_int_distribution<int> size(64, 256), byte(0, 255);
    std::string bytes(static_cast<std::size_t>(size(random_)), '\0');
    for (char& c : bytes) {
        c = static_cast<char>(byte(random_));
        // Never a prompt, nor a text a client acts on ("busy", "servus", "ok.").
        if (c == '>') c = '<';
        if (c == 'u') c = 'U';
        if (c == 'k') c = 'K';
    }
    send(bytes);
}

void Server::start_endless() {
    if (endless_running_) return;
    endless_running_ = true;
    endless_tick();
}

void Server::endless_tick() {
    if (!client_ || !endless_running_) return;
    if (client_->out.size() < ENDLESS_HIGH_WATER) {
        std::string text;
        for (int i = 0; i < 20; ++i)
            text += "line " + std::to_string(++endless_lines_) + " of an answer that goes on and on\r\n";
        send(text);
    }
    after(ENDLESS_STEP_MS, true, [this] { endless_tick(); });
}

// ---- Automatic monitoring --------------------------------------------------

// A change of status or interval starts the count anew; older planned
// checks see a newer epoch and do nothing.
void Server::schedule_checks() { plan_check(++check_epoch_); }

void Server::plan_check(unsigned epoch) {
    const Monitoring& m = modem_.settings();
    if (m.status != 1) return;
    const long long minutes = std::clamp(m.interval, 1, 10080);
    after(minutes * options_.minute_ms, false, [this, epoch] { run_check(epoch); });
}

void Server::run_check(unsigned epoch) {
    if (epoch != check_epoch_) return;
    const Monitoring& m = modem_.settings();
    const LineValues v = line_now();
    const std::string trigger = modem_.trigger(v);
    if (m.action_writelog == 1)
        journal_.add("check: " + values_text(v) + (trigger.empty() ? " - ok" : " - " + trigger));
    if (!trigger.empty() && training_count_ == 0) {
        if (m.action_netsend == 1) journal_.add("net send to " + m.action_netsendadd + ": " + trigger);
        if (m.action_reboot == 1)
            begin_training("modem reboot", 4LL * options_.wait_ms, false);
        else if (m.action_resync == 1)
            begin_training("DSL resync", 2LL * options_.wait_ms, false);
    }
    if (m.action_ipdetect == 1) journal_.add("IP detection: address unchanged");
    plan_check(epoch);
}

// ---- The loop --------------------------------------------------------------

void Server::run(int stop_fd) {
    if (options_.outage_every_ms > 0) after(options_.outage_every_ms, false, [this] { begin_outage(); });
    if (options_.exit_after_s > 0)
        after(options_.exit_after_s * 1000LL, false, [this] {
            note("stopping after " + std::to_string(options_.exit_after_s) + " s");
            stop_ = true;
        });
    std::vector<pollfd> fds;
    while (!stop_) {
        fds.clear();
        fds.push_back(pollfd{stop_fd, POLLIN, 0});
        fds.push_back(pollfd{listener_, POLLIN, 0});
        Peer* const polled = client_.get();
        if (polled)
            fds.push_back(
                pollfd{polled->fd, static_cast<short>(POLLIN | (polled->out.empty() ? 0 : POLLOUT)), 0});
        const std::size_t first_closing = fds.size();
        for (const auto& p : closing_)
            fds.push_back(pollfd{p->fd, static_cast<short>(POLLIN | (p->out.empty() ? 0 : POLLOUT)), 0});
        const std::size_t closing_count = closing_.size();

        if (::poll(fds.data(), fds.size(), poll_timeout()) < 0) {
            if (errno == EINTR) continue;
            note(std::string("poll: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents) {
            note("stopping on signal");
            break;
        }
        if (fds[1].revents & POLLIN) accept_clients();
        if (polled && client_.get() == polled) {
            const short events = fds[2].revents;
            if (events & (POLLIN | POLLHUP | POLLERR)) read_client();
            if (client_.get() == polled && (events & POLLOUT) && !flush(*polled)) drop_client("lost");
        }

        // Refused and finished clients: send the rest, drain, close.
        const auto now = Clock::now();
        for (std::size_t i = 0; i < closing_count; ++i) {
            Peer& p = *closing_[i];
            const short events = fds[first_closing + i].revents;
            bool done = now >= p.linger_until;
            if ((events & POLLOUT) && !flush(p)) done = true;
            if (events & (POLLIN | POLLHUP | POLLERR)) {
                char sink[4096];
                const ssize_t n = ::recv(p.fd, sink, sizeof sink, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                    done = true;
            }
            if (done) {
                ::close(p.fd);
                p.fd = -1;
            }
        }
        std::erase_if(closing_, [](const std::unique_ptr<Peer>& p) { return p->fd < 0; });

        run_timers();
        if (exit_when_sent_ &&
            std::none_of(closing_.begin(), closing_.end(), [](const auto& p) { return !p->out.empty(); }))
            stop_ = true;
    }
}

}  // namespace vyx_sim
