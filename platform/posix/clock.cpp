// The real clocks of the Linux builds: the monotonic one, which waits on a real
// peer need (the headless platform's own is virtual), and the true time with
// the local zone's offset at a given moment.
#include <time.h>

#include <chrono>

#include "platform/platform.h"

long long elapsed_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long long utc_seconds() { return static_cast<long long>(time(nullptr)); }

int utc_offset_seconds(long long utc) {
    // The zone's rules at that moment, not now: a date across a clock change keeps its own offset.
    const time_t at = static_cast<time_t>(utc);
    tm local{};
    if (!localtime_r(&at, &local)) return 0;
    return static_cast<int>(local.tm_gmtoff);
}
