// The monotonic clock of the Linux builds. The headless platform's own clock
// is virtual; this one counts real time, which is what waits on a real peer need.
#include <chrono>

#include "platform/platform.h"

long long elapsed_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
