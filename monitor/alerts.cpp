// Alerts: the rules fed with what the recorder writes and the second's tick,
// each alert shown on the desktop and written into the history.
// The hard part is that writing the alert into the history comes back here as
// a line of its own: alert lines are skipped, and the messages of one step are
// all taken out of the engine before any of them is written.
#include "monitor/alerts.h"

#include <vector>

#include "app/state.h"
#include "monitor/alert_rules.h"
#include "monitor/history_recorder.h"
#include "platform/platform.h"
#include "ui/ini_file.h"

namespace {

bool g_on = false;
AlertRules g_rules;

// A value outside its range is a hand edit gone wrong: the default serves.
int ranged(const IniFile& file, const char* key, int low, int high, int fallback) {
    const int v = ini_read_int(file, key, fallback);
    return v >= low && v <= high ? v : fallback;
}

std::string title(const char* what) {
    return state.systray_icon_prefix.empty() ? what : state.systray_icon_prefix + ": " + what;
}

void step(long long now) {
    AlertLimits limits;
    limits.dn_on = state.auto_switch_bitdn == 1;
    limits.up_on = state.auto_switch_bitup == 1;
    limits.snrm_on = state.auto_switch_snrdn == 1;
    limits.dn_kbps = state.auto_bitdn;
    limits.up_kbps = state.auto_bitup;
    limits.snrm_db = state.auto_snrdn;
    std::vector<AlertMessage> out;
    alert_rules_step(g_rules, now, limits, state.systray_icon_prefix, utc_offset_seconds(now), out);
    for (const AlertMessage& m : out) {
        notify_user(m.title, m.text);
        history_note(HK_ALERT, m.text);
    }
}

}  // namespace

void alerts_start(const HistorySettings& s) {
    IniFile file = ini_read_file(HISTORY_SETTINGS_FILE);
    ini_select_group(file, "HISTORY");
    AlertConfig config;
    // Two samples in a row, by default: one odd reading is not a condition.
    const int delay = ranged(file, "AlertDelaySeconds", 0, 86400, 0);
    config.delay_s = delay > 0 ? delay : 2 * s.sample_seconds;
    config.cooldown_s = ranged(file, "AlertCooldownMinutes", 0, 7 * 24 * 60, 60) * 60;
    config.drops_per_hour = ranged(file, "AlertDropsPerHour", 1, 1000, 3);
    alert_rules_reset(g_rules, config);
    g_on = s.alerts == 1;
}

void alerts_entry(const HistoryEntry& e) {
    if (!g_on || e.kind == HK_ALERT) return;
    alert_rules_entry(g_rules, e);
    step(e.utc);
}

void alerts_tick() {
    if (g_on) step(utc_seconds());
}

void alerts_test() {
    notify_user(title("test alert"), "Alerts reach you like this.");
    history_note(HK_ALERT, "Test alert.");
}
