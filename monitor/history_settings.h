// The history's own settings file, beside the client's: the client's file
// never gains a key for what is recorded.
#pragma once

#include <string>

inline constexpr const char* HISTORY_SETTINGS_FILE = "vyxC_history.ini";
inline constexpr const char* HISTORY_SETTINGS_TEMP_FILE = "vyxC_history.ini.tmp";

inline constexpr int HISTORY_MIN_SECONDS = 10, HISTORY_MAX_SECONDS = 3600, HISTORY_DEFAULT_SECONDS = 60;
inline constexpr int HISTORY_DEFAULT_KEEP_DAYS = 400;

struct HistorySettings {
    int record = 0;
    int sample_seconds = HISTORY_DEFAULT_SECONDS;
    int keep_days = HISTORY_DEFAULT_KEEP_DAYS;
    // Alerts (key Alerts); their rules' keys are read by monitor/alerts.
    int alerts = 0;
    // The Prometheus text file written after every sample (key MetricsFile); empty: none.
    std::string metrics_file;
};

// A missing file or a bad value gives the default; nothing is written.
HistorySettings read_history_settings();
// 1 when written.
int write_history_settings(const HistorySettings& s);
