// The true time's local offset, taken at the moment asked about rather than now.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>

#include "platform/platform.h"

namespace {

TEST(UtcOffset, FollowsTheZonesRulesAtThatMoment) {
    const struct {
        const char* zone;
        long long utc;
        int offset;
    } cases[] = {
        {"Europe/Berlin", 1704067200, 3600},  // 2024-01-01: winter time
        {"Europe/Berlin", 1719792000, 7200},  // 2024-07-01: summer time
        {"Europe/Berlin", 1711846799, 3600},  // 2024-03-31 00:59:59 UTC, a second before the change
        {"Europe/Berlin", 1711846800, 7200},  // ... and at it
        {"America/New_York", 1704067200, -18000}, {"Asia/Kolkata", 1719792000, 19800},  // half hours
    };
    const char* was = std::getenv("TZ");
    const std::string saved = was ? was : "";
    for (const auto& c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        EXPECT_EQ(utc_offset_seconds(c.utc), c.offset) << c.zone << " " << c.utc;
    }
    if (was)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
