// The alert rules over the history's lines; see alert_rules.h.
// Numbers are formatted with integer arithmetic: no locale, no printf of floats.
#include "monitor/alert_rules.h"

#include <climits>

namespace {

constexpr std::int64_t HOUR = 3600;

// Digits of v, at least `width` of them; one place for every number keeps the binary small.
std::string digits(long long v, int width = 1) {
    std::string out;
    const bool minus = v < 0;
    unsigned long long a =
        minus ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    for (; a > 0 || width > 0; a /= 10, --width) out.insert(out.begin(), static_cast<char>('0' + a % 10));
    if (minus) out.insert(out.begin(), '-');
    return out;
}

std::string clock_time(std::int64_t utc, int offset_s) {
    const std::int64_t day = ((utc + offset_s) % 86400 + 86400) % 86400;
    return digits(day / 3600, 2) + ":" + digits(day / 60 % 60, 2);
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
            // Unknown first: the watch's switches read off while the connection is gone.
            if (r.snrm_tenths == INT_MIN) return {-1, 0, l.snrm_db};
            if (!l.snrm_on) return {0, 0, 0};
            return {r.snrm_tenths < l.snrm_db * 10 ? 1 : 0, r.snrm_tenths, l.snrm_db};
        case AR_DOWN:
        case AR_UP: {
            const bool on = rule == AR_DOWN ? l.dn_on : l.up_on;
            const int v = rule == AR_DOWN ? r.dn_kbps : r.up_kbps;
            const int limit = rule == AR_DOWN ? l.dn_kbps : l.up_kbps;
            if (v < 0) return {-1, 0, limit};
            if (!on) return {0, 0, 0};
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

struct Words {
    const char *low, *back, *name, *unit;
};
constexpr Words WORDS[AR_COUNT] = {{"connection lost", "connection back", "", ""},
                                   {"SNR margin low", "SNR margin back", "SNR margin", " dB"},
                                   {"downstream rate low", "downstream rate back", "Downstream", " kbit/s"},
                                   {"upstream rate low", "upstream rate back", "Upstream", " kbit/s"},
                                   {"line unstable", "line stable again", "", ""}};

AlertMessage message(int rule, bool fired, int value, int limit, const std::string& since,
                     std::string_view prefix) {
    const Words& w = WORDS[rule];
    AlertMessage m{prefix.empty() ? "" : std::string(prefix) + ": ", ""};
    m.title += fired ? w.low : w.back;
    const std::string n = digits(rule == AR_UNSTABLE && fired ? value : limit);
    std::string& t = m.text;
    if (rule == AR_LOST) {
        t = fired ? "No connection to the server since " : "Connected again since ";
        t += since;
    } else if (rule == AR_UNSTABLE) {
        t = fired ? "Line unstable: " : "Line stable again: at most ";
        t += n;
        t += " drops in the last hour";
    } else {
        t = w.name;
        if (fired) {
            // The margin in tenths of a dB.
            const int a = value < 0 ? -value : value;
            t += " ";
            t += rule == AR_MARGIN ? (value < 0 ? "-" : "") + digits(a / 10) + "." + digits(a % 10)
                                   : digits(value);
            t += w.unit;
            t += ", below ";
        } else {
            t += " at or above ";
        }
        t += n;
        t += w.unit;
        t += fired ? " since " : " again since ";
        t += since;
    }
    t += ".";
    return m;
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
            // NaN and absurd margins are unknown; the rest rounds to tenths.
            r.snrm_tenths = e.snrm_db > -1e5f && e.snrm_db < 1e5f
                                ? static_cast<int>(e.snrm_db * 10 + (e.snrm_db < 0 ? -0.5f : 0.5f))
                                : INT_MIN;
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
            // Watching starts over: what was on ends unannounced, as nobody saw it end; cooldowns stay.
            r.lost = false;
            for (AlertRuleState& s : r.rules) {
                s.fired = s.announced = false;
                s.bad_since = s.clear_since = -1;
            }
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
    std::size_t old = 0;
    while (old < r.drops.size() && r.drops[old] <= now - HOUR) ++old;
    r.drops.erase(r.drops.begin(), r.drops.begin() + static_cast<std::ptrdiff_t>(old));
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
            out.push_back(message(rule, true, v.value, v.limit, clock_time(s.bad_since, offset_s), prefix));
        } else if (v.state == 0) {
            if (!s.fired) {
                s.bad_since = -1;
                continue;
            }
            if (s.clear_since < 0) s.clear_since = now;
            if (now - s.clear_since < r.config.delay_s) continue;
            if (s.announced)
                out.push_back(
                    message(rule, false, 0, s.told_limit, clock_time(s.clear_since, offset_s), prefix));
            s.fired = s.announced = false;
            s.bad_since = s.clear_since = -1;
        } else {
            // Unknown: a pending condition has not held; a fired one has not cleared.
            if (!s.fired) s.bad_since = -1;
            s.clear_since = -1;
        }
    }
}
