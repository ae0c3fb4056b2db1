// Reports from the server, read into the state record and shown.
#pragma once

#include <string>

// Reads one complete answer (see read_report), shows the values, enables
// the controls for the connected state and ends the update in progress.
void parse_report(const std::string& text);

// Writes the modem data into texts 55, 56 and 57.
void show_modem_data();

// Writes the monitoring settings into the edit fields and check boxes of
// the monitoring panel, whether or not the last answer carried them.
void show_monitoring_settings();
