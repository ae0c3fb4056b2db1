// Recording the line's history while the user has it on: every report parsed
// is a sample, the program's and the connection's moments are events, and an
// idle connection is asked for a report once a sampling period.
//
// While recording is off nothing here touches a file or the wire.
#pragma once

#include <string>

#include "monitor/history_record.h"
#include "monitor/history_settings.h"

// At start: reads the history settings; when recording, drops old day files
// and notes the program's start.
void history_start();
// At the end, whichever way the program ends.
void history_end();

// An event, written when recording.
void history_note(HistoryKind kind, const std::string& detail = {});
// The report just parsed, from the state record; a change of its warning flag
// is an event too.
void history_sample();
// A command line fully sent: the user's commands become events.
void history_command_sent(const char* command);
// Why the connection about to be closed ends: "probe", "servus", "disconnect".
void history_set_drop_reason(const char* reason);
// The connection is being closed (a no-op unless it had been established).
void history_connection_closed();
// The sampling timer's tick: asks for a report when the connection is idle.
void history_tick();

const HistorySettings& history_current_settings();
// The user's choice from the history window; written to the settings file.
void history_configure(int record, int sample_seconds);
// The user's switch for alerts; written to the settings file.
void history_configure_alerts(int on);
// Once a second: rules and files that follow the clock as well as the lines.
void history_second();
// The last writing failure as one line, empty while none.
const std::string& history_problem();
