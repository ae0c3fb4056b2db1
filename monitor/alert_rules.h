// The alert rules: which conditions of the line the user is told about, and
// when. The hard part is not nagging: a condition holds for a delay before it
// fires and holds clear as long before it ends, it does not fire again within
// a cooldown unless it got worse, and a line that keeps dropping is one
// "line unstable" alert rather than one per drop.
// Pure: time, thresholds and the local offset are parameters.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/history_record.h"

struct AlertConfig {
    int delay_s = 120;
    int cooldown_s = 3600;
    int drops_per_hour = 3;  // more than this many drops within an hour: unstable
};

// The thresholds the server itself watches; off where its switch is off.
struct AlertLimits {
    bool dn_on = false, up_on = false, snrm_on = false;
    int dn_kbps = 0, up_kbps = 0, snrm_db = 0;
};

struct AlertMessage {
    std::string title, text;
};

enum AlertRule { AR_LOST, AR_MARGIN, AR_DOWN, AR_UP, AR_UNSTABLE, AR_COUNT };

struct AlertRuleState {
    std::int64_t bad_since = -1;    // holding bad since (pending or fired)
    std::int64_t clear_since = -1;  // holding clear since, while fired
    bool fired = false;             // held long enough to count as on
    bool announced = false;         // the user was told, so is told of its end
    std::int64_t told_utc = -1;     // when last told
    int told_value = 0;             // the value then
    int told_limit = 0;             // the threshold then
};

struct AlertRules {
    AlertConfig config;
    bool lost = false;  // a drop or failed connect, not connected since
    // The last sample's values; unknown (-1, margin in tenths INT32_MIN) once the connection ends.
    int dn_kbps = -1, up_kbps = -1, snrm_tenths = INT32_MIN;
    std::vector<std::int64_t> drops;  // times of the drops within the last hour
    std::array<AlertRuleState, AR_COUNT> rules{};
};

void alert_rules_reset(AlertRules& r, const AlertConfig& config);
// A history line as written (alert lines are the engine's own and ignored).
void alert_rules_entry(AlertRules& r, const HistoryEntry& e);
// Fires and clears what is due at now_utc; titles start with `prefix`, times
// are shown with the local offset.
void alert_rules_step(AlertRules& r, std::int64_t now_utc, const AlertLimits& limits, std::string_view prefix,
                      int offset_s, std::vector<AlertMessage>& out);
