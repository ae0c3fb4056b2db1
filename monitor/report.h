// Reports from the server: key:value lines into the state record and the window.
//
// A key is its exact bytes, colon included, found anywhere in the answer; its
// value runs from right after the key's first occurrence to the next CR LF.
#pragma once

#include <string>
#include <string_view>

// Stores the values of the known keys found in one complete answer (prompt
// included, possibly several answers at once), shows them, enables the
// controls for the connected state and ends the update in progress.
void parse_report(const std::string& text);

// The value after the first occurrence of key, up to the first terminator
// behind it; empty when the key is absent or no terminator follows. The
// result looks into text, so it lives only as long as text does.
std::string_view extract_value(std::string_view text, std::string_view key, std::string_view terminator);

// 1 for exactly "enabled", 0 for anything else.
int parse_switch(std::string_view value);

// Writes the modem data into texts 55, 56 and 57.
void show_modem_data();

// Writes the monitoring settings into the edit fields and check boxes of
// the monitoring panel, whether or not the last answer carried them.
void show_monitoring_settings();
