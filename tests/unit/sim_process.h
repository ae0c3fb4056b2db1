// vyx_sim as a child process for the tests: started on a free loopback port,
// its stderr log kept in a file, killed at the end of the test if still running.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/unit/loopback_peer.h"

namespace simproc {

using loopback::Clock;
using loopback::ms_since;
using loopback::Peer;

inline constexpr const char* PROMPT = "\r\nVYX>";
inline constexpr const char* GREETING = "Welcome to VYX Mini-Server v";

// Exit code, or 128 + signal, or -1 while still running after timeout_ms.
inline int wait_for_exit(pid_t pid, int timeout_ms) {
    const auto start = Clock::now();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (ms_since(start) > timeout_ms) return -1;
        ::usleep(2000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Everything a pipe delivers until stop appears, it closes, or timeout_ms.
inline std::string read_pipe(int fd, const std::string& stop, int timeout_ms) {
    std::string got;
    const auto start = Clock::now();
    while (got.find(stop) == std::string::npos) {
        const long long left = timeout_ms - ms_since(start);
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

inline pid_t spawn(const std::vector<std::string>& args, int out_fd, int err_fd) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        std::vector<char*> argv{const_cast<char*>(VYX_SIM_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(VYX_SIM_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

// A running simulator; killed at the end of the test if still running.
class Sim {
   public:
    explicit Sim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "0", "--exit-after", "60"});
        int out[2];
        ::pipe2(out, O_CLOEXEC);
        char path[] = "/tmp/vyx_sim_test_XXXXXX";
        err_fd_ = ::mkstemp(path);
        err_path_ = path;
        pid_ = spawn(args, out[1], err_fd_);
        ::close(out[1]);
        const std::string first = read_pipe(out[0], "\n", 10000);
        ::close(out[0]);
        const std::size_t at = first.find(" port ");
        if (at != std::string::npos) port_ = std::atoi(first.c_str() + at + 6);
    }
    ~Sim() {
        if (pid_ > 0 && wait_for_exit(pid_, 0) == -1) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(err_fd_);
        ::unlink(err_path_.c_str());
    }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    int port() const { return port_; }
    bool listening() const { return port_ > 0; }

    int stop(int signal_number = SIGTERM, int timeout_ms = 5000) {
        ::kill(pid_, signal_number);
        return exit_code(timeout_ms);
    }
    int exit_code(int timeout_ms) {
        const int code = wait_for_exit(pid_, timeout_ms);
        if (code != -1) pid_ = -1;
        return code;
    }

    // What it wrote on stderr so far.
    std::string log() const {
        std::ifstream f(err_path_);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    Peer connect() const { return loopback::connect_to(port_); }

    // A client past the greeting (greeting and its prompt read).
    Peer greeted(std::string* greeting = nullptr) const {
        Peer p = connect();
        const std::string text = p.read_until(PROMPT);
        if (greeting) *greeting = text;
        EXPECT_NE(text.find(GREETING), std::string::npos) << text;
        return p;
    }

   private:
    pid_t pid_ = -1;
    int port_ = 0;
    int err_fd_ = -1;
    std::string err_path_;
};

}  // namespace simproc
