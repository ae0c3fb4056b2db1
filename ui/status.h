// Status presentation and the enabling of controls by state.
#pragma once

// Recomputes the status picture, or the tray icon, tooltip and popup texts.
void update_status_display();
// With exactly 1 the server-dependent controls are enabled; otherwise disabled.
void enable_action_controls(int online);
// With 1 the connection settings are disabled; with 0 enabled.
void enable_connection_controls(int disable);
// 1 for the controls the start-up leaves disabled (it starts unconnected):
// the window is built so, and the start-up's enabling after showing it has
// little to change.
int starts_disabled(int id);
// Blanks the modem data and the monitoring panel.
void clear_data_display();
