// The real monotonic clock of the Linux builds, which waits on a real peer
// need (the headless platform's wall clock is virtual).
#include <chrono>

#include "platform/platform.h"

long long elapsed_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
