// The alert rules over the history's lines; see alert_rules.h.
// Numbers are formatted with integer arithmetic: no locale, no printf of floats.
#include "monitor/alert_rules.h"

#include <climits>
#include <cmath>

namespace {

constexpr std::int64_t HOUR = 3600;

std::string two(int v) { return std::string(1, char('0' + v / 10)) + char('0' + v % 10); }

std::string clock_time(std::int64_t utc, int offset_s) {
    const std::int64_t day = ((utc + offset_s) % 86400 + 86400) % 86400;
    return two(static_cast<int>(day / 3600)) + ":" + two(static_cast<int>(day / 60 % 60));
}

std::string tenths(int v) {
    const std::string sign = v < 0 ? "-" : "";
    const long long a = v < 0 ? -static_cast<long long>(v) : v;
    return sign + std::to_string(a / 10) + "." + std::to_string(a % 10);
}

// -1 unknown, 0 clear, 1 bad; the rule's value for its message and for "worse".
struct Reading {
    int state, value, limit;
};

Reading read(const AlertRules& r, int rule, const AlertLimits& l) {
    switch (rule) {
        case AR_LOST:
            return {r.lost ? 1 : 0, 0, 0};
        case AR_MARGIN:
            if (!l.snrm_on) return {0, 0, 0};
            if (r.snrm_tenths == INT_MIN) return {-1, 0, l.snrm_db};
            return {r.snrm_tenths < l.snrm_db * 10 ? 1 : 0, r.snrm_tenths, l.snrm_db};
        case AR_DOWN:
        case AR_UP: {
            const bool on = rule == AR_DOWN ? l.dn_on : l.up_on;
            const int v = rule == AR_DOWN ? r.dn_kbps : r.up_kbps;
            const int limit = rule == AR_DOWN ? l.dn_kbps : l.up_kbps;
            if (!on) return {0, 0, 0};
            if (v < 0) return {-1, 0, limit};
            return {v < limit ? 1 : 0, v, limit};
        }
        default: {
            const int n = static_cast<int>(r.drops.size());
            return {n > r.config.drops_per_hour ? 1 : 0, n, r.config.drops_per_hour};
        }
    }
}

// A margin 1 dB lower, a rate 10% lower than when last told.
bool worse(int rule, int value, int told) {
    if (rule == AR_MARGIN) return value <= told - 10;
    if (rule == AR_DOWN || rule == AR_UP)
        return static_cast<long long>(value) * 10 <= static_cast<long long>(told) * 9;
    return false;
}

AlertMessage fired_message(int rule, const Reading& v, const std::string& since, std::string_view prefix) {
    const std::string p = prefix.empty() ? "" : std::string(prefix) + ": ";
    switch (rule) {
        case AR_LOST:
            return {p + "connection lost", "No connection to the server since " + since + "."};
        case AR_MARGIN:
            return {p + "SNR margin low", "SNR margin " + tenths(v.value) + " dB, below " +
                                              std::to_string(v.limit) + " dB since " + since + "."};
        case AR_DOWN:
        case AR_UP: {
            const std::string way = rule == AR_DOWN ? "Downstream" : "Upstream";
            return {p + (rule == AR_DOWN ? "downstream" : "upstream") + " rate low",
                    way + " " + std::to_string(v.value) + " kbit/s, below " + std::to_string(v.limit) +
                        " kbit/s since " + since + "."};
        }
        default:
            return {p + "line unstable",
                    "Line unstable: " + std::to_string(v.value) + " drops in the last hour."};
    }
}

AlertMessage cleared_message(int rule, const AlertRuleState& s, const std::string& since,
                             std::string_view prefix) {
    const std::string p = prefix.empty() ? "" : std::string(prefix) + ": ";
    switch (rule) {
        case AR_LOST:
            return {p + "connection back", "Connected again since " + since + "."};
        case AR_MARGIN:
            return {p + "SNR margin back", "SNR margin at or above " + std::to_string(s.told_limit) +
                                               " dB again since " + since + "."};
        case AR_DOWN:
        case AR_UP:
            return {p + (rule == AR_DOWN ? "downstream" : "upstream") + " rate back",
                    std::string(rule == AR_DOWN ? "Downstream" : "Upstream") + " at or above " +
                        std::to_string(s.told_limit) + " kbit/s again since " + since + "."};
        default:
            return {p + "line stable again", "Line stable again: at most " + std::to_string(s.told_limit) +
                                                 " drops in the last hour."};
    }
}

}  // namespace

void alert_rules_reset(AlertRules& r, const AlertConfig& config) {
    r = AlertRules{};
    r.config = config;
}

void alert_rules_entry(AlertRules& r, const HistoryEntry& e) {
    switch (e.kind) {
        case HK_SAMPLE:
            r.dn_kbps = e.dn_kbps;
            r.up_kbps = e.up_kbps;
            r.snrm_tenths = std::isnan(e.snrm_db) ? INT_MIN : static_cast<int>(std::lround(e.snrm_db * 10.0));
            return;
        case HK_CONNECTED:
            r.lost = false;
            return;
        case HK_DROPPED:
            r.drops.push_back(e.utc);
            [[fallthrough]];
        case HK_CONNECT_FAILED:
            r.lost = true;
            break;
        case HK_PROGRAM_STARTED:
        case HK_PROGRAM_ENDED:
            // Not connected yet, or no longer watching: nothing lost.
            r.lost = false;
            break;
        default:
            return;
    }
    // Values of a connection that ended say nothing about the line now.
    r.dn_kbps = r.up_kbps = -1;
    r.snrm_tenths = INT_MIN;
}

void alert_rules_step(AlertRules& r, std::int64_t now, const AlertLimits& limits, std::string_view prefix,
                      int offset_s, std::vector<AlertMessage>& out) {
    while (!r.drops.empty() && r.drops.front() <= now - HOUR) r.drops.pop_front();
    for (int rule = 0; rule < AR_COUNT; ++rule) {
        AlertRuleState& s = r.rules[rule];
        const Reading v = read(r, rule, limits);
        // Drops are counted over an hour already: the count needs no delay to fire.
        const int fire_delay = rule == AR_UNSTABLE ? 0 : r.config.delay_s;
        if (v.state == 1) {
            s.clear_since = -1;
            if (s.bad_since < 0) s.bad_since = now;
            if (!s.fired && now - s.bad_since >= fire_delay) s.fired = true;
            if (!s.fired) continue;
            const bool cooled = s.told_utc < 0 || now - s.told_utc >= r.config.cooldown_s;
            // While the line is unstable, single drops are not news.
            const bool drowned = rule == AR_LOST && r.rules[AR_UNSTABLE].announced;
            const bool tell = s.announced ? worse(rule, v.value, s.told_value)
                                          : !drowned && (cooled || worse(rule, v.value, s.told_value));
            if (!tell) continue;
            s.announced = true;
            s.told_utc = now;
            s.told_value = v.value;
            s.told_limit = v.limit;
            out.push_back(fired_message(rule, v, clock_time(s.bad_since, offset_s), prefix));
        } else if (v.state == 0) {
            if (!s.fired) {
                s.bad_since = -1;
                continue;
            }
            if (s.clear_since < 0) s.clear_since = now;
            if (now - s.clear_since < r.config.delay_s) continue;
            if (s.announced)
                out.push_back(cleared_message(rule, s, clock_time(s.clear_since, offset_s), prefix));
            s.fired = s.announced = false;
            s.bad_since = s.clear_since = -1;
        } else {
            // Unknown: a pending condition has not held; a fired one has not cleared.
            if (!s.fired) s.bad_since = -1;
            s.clear_since = -1;
        }
    }
}
