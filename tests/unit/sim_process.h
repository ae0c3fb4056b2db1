// vyx_sim as a child process on a free loopback port, stderr dropped, killed at the end.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cstdlib>
#include <vector>

#include "tests/unit/loopback_peer.h"

namespace simproc {

inline constexpr const char* PROMPT = "\r\nVYX>";

inline pid_t spawn(const std::vector<std::string>& args, int out_fd) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::dup2(out_fd, 1);
    ::dup2(::open("/dev/null", O_WRONLY), 2);
    std::vector<char*> argv{const_cast<char*>(VYX_SIM_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(VYX_SIM_PATH, argv.data());
    ::_exit(127);
}

// Exit code, or -1 (and killed) when still running after timeout_ms.
inline int exit_code(pid_t pid, int timeout_ms) {
    int status = 0;
    if (loopback::wait_until([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, timeout_ms))
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

class Sim {
   public:
    explicit Sim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "0", "--exit-after", "60"});
        int out[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out);
        pid_ = spawn(args, out[1]);
        ::close(out[1]);
        // Its first line names the port.
        const std::string first = loopback::Peer(out[0]).read_until("\n", 10000);
        if (first.find(" port ") != std::string::npos)
            port_ = std::atoi(first.c_str() + first.find(" port ") + 6);
    }
    ~Sim() { exit_code(pid_, 0); }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    int port() const { return port_; }
    bool listening() const { return port_ > 0; }
    loopback::Peer connect() const { return loopback::connect_to(port_); }
    // A client past the greeting and its prompt.
    loopback::Peer greeted() const {
        loopback::Peer p = connect();
        EXPECT_EQ(p.read_until(PROMPT), "Welcome to VYX Mini-Server v1.3\r\nVYX>");
        return p;
    }

   private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace simproc
