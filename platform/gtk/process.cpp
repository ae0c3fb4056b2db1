// The process around the core: its entry point with the command line, the
// real clock and sleep, the network stack's start, and the screen's resolution.
#include <time.h>

#include <cerrno>
#include <cstdlib>

#include "app/program.h"
#include "platform/gtk/internal.h"
#include "platform/gtk/options.h"

int main(int argc, char** argv) {
    const int ended = apply_options(argc, argv);
    return ended == OPTIONS_RUN ? program_main() : ended;
}

int seconds_clock() {
    // Local wall-clock time counted as if it were UTC, as on Windows.
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(now + local.tm_gmtoff);
}

void sleep_ms(int ms) {
    timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    if (ms <= 0) return;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void exit_process(int code) { std::exit(code); }

// Sockets need no start; sends never raise SIGPIPE (they pass MSG_NOSIGNAL).
int net_start() { return 1; }
void net_stop() {}

int screen_dpi_y() {
    GdkScreen* screen = gdk_screen_get_default();
    const double dpi = screen ? gdk_screen_get_resolution(screen) : -1.0;
    return dpi > 0 ? static_cast<int>(dpi + 0.5) : 96;
}
