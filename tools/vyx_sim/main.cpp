// vyx_sim: a VYX-Server over a simulated DSL modem, for trying and testing
// the client against a real TCP peer. The hard part here is only stopping
// cleanly: signals write to a pipe that the server's poll() watches, so a
// stop never interrupts an answer half-way through its bookkeeping.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "tools/vyx_sim/options.h"
#include "tools/vyx_sim/server.h"

namespace {

int g_stop_pipe[2] = {-1, -1};

extern "C" void on_stop_signal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_stop_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

int main(int argc, char** argv) {
    vyx_sim::Options options;
    std::string error;
    if (!vyx_sim::parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "vyx_sim: %s\nTry 'vyx_sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(vyx_sim::help_text().c_str(), stdout);
        return 0;
    }

    if (::pipe2(g_stop_pipe, O_CLOEXEC | O_NONBLOCK) < 0) {
        std::perror("vyx_sim: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    vyx_sim::Server server(options);
    if (!server.listen_now(error)) {
        std::fprintf(stderr, "vyx_sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("vyx_sim: listening on %s port %d\n", options.bind.c_str(), server.port());
    std::fflush(stdout);
    server.run(g_stop_pipe[0]);
    if (!options.quiet) std::fprintf(stderr, "vyx_sim: stopped\n");
    return 0;
}
