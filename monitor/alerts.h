// Alerts that do not nag: rules over the recorded samples and events, each
// shown as the desktop's notification and written into the history.
#pragma once

#include "monitor/history_record.h"
#include "monitor/history_settings.h"

// Takes the settings (and the rules' own keys from the history settings file).
void alerts_start(const HistorySettings& s);
// Every line the recorder writes, in order.
void alerts_entry(const HistoryEntry& e);
// Once a second, so a condition that holds without new lines still fires and clears.
void alerts_tick();
// "Test alert": a sample alert at once.
void alerts_test();
