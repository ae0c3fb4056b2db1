// The log viewer window (window 1): its controls, opening and closing, and
// the enabling of its buttons; what it shows arrives in monitor/log_viewer.
#pragma once

void open_log_viewer();
void close_log_viewer();
// Acts only while the log viewer is open.
void enable_log_viewer_buttons(int online);
// Caret at the start of the editor's last line, so the end of the text shows.
void scroll_to_end(int id);
