// The history window (window 2): the recorded line drawn over a chosen span,
// its figures, and the switch for recording.
#pragma once

#include <string>

#include "monitor/history_record.h"

// Opens the window, or brings it to the front when it is open.
void open_history_window();
void close_history_window();
// An event of the history window from the main loop.
void history_window_event(int event);
// The recorder's settings or problem changed.
void history_window_changed();
// A line the recorder has just written.
void history_window_entry(const HistoryEntry& e, const std::string& detail);
// The one-second tick: a span that includes now moves on with the clock.
void history_window_tick();
