// vyxC_history.ini, group [HISTORY]: Record, SampleSeconds, KeepDays.
#include "monitor/history_settings.h"

#include "ui/ini_file.h"

namespace {

constexpr const char* GROUP = "HISTORY";

// A value outside its range is a hand edit gone wrong: the default serves.
int ranged(const IniFile& file, const char* key, int low, int high, int fallback) {
    const int v = ini_read_int(file, key, fallback);
    return v >= low && v <= high ? v : fallback;
}

}  // namespace

HistorySettings read_history_settings() {
    IniFile file = ini_read_file(HISTORY_SETTINGS_FILE);
    ini_select_group(file, GROUP);
    HistorySettings s;
    s.record = ini_read_int(file, "Record", 0) == 1 ? 1 : 0;
    s.sample_seconds =
        ranged(file, "SampleSeconds", HISTORY_MIN_SECONDS, HISTORY_MAX_SECONDS, HISTORY_DEFAULT_SECONDS);
    s.keep_days = ranged(file, "KeepDays", 1, 100000, HISTORY_DEFAULT_KEEP_DAYS);
    s.alerts = ini_read_int(file, "Alerts", 0) == 1 ? 1 : 0;
    s.metrics_file = ini_read_string(file, "MetricsFile", "");
    return s;
}

int write_history_settings(const HistorySettings& s) {
    // Keys the user added by hand survive; ours are replaced in place.
    IniFile file = ini_read_file(HISTORY_SETTINGS_FILE);
    if (file.unreadable) return 0;
    ini_select_group(file, GROUP);
    ini_write_int(file, "Record", s.record);
    ini_write_int(file, "SampleSeconds", s.sample_seconds);
    ini_write_int(file, "KeepDays", s.keep_days);
    // Written once the user has switched alerts: a file that never had them stays as it was.
    if (s.alerts == 1 || ini_read_string(file, "Alerts", "") != "") ini_write_int(file, "Alerts", s.alerts);
    return ini_write_file(file, HISTORY_SETTINGS_FILE, HISTORY_SETTINGS_TEMP_FILE);
}
