// The true time and the local zone's offset at a given moment.
#include <time.h>

#include "platform/platform.h"

long long utc_seconds() { return static_cast<long long>(time(nullptr)); }

int utc_offset_seconds(long long utc) {
    // The zone's rules at that moment, not now: a date across a clock change keeps its own offset.
    const time_t at = static_cast<time_t>(utc);
    tm local{};
    if (!localtime_r(&at, &local)) return 0;
    return static_cast<int>(local.tm_gmtoff);
}
