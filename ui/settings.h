// The client's settings file and the settings' way into and out of the controls.
//
// The file is read once at start-up; from then on the main window's controls
// are the live copy, and every save rewrites the whole file from them.
#pragma once

// In the working directory, as the program has no other place of its own.
inline constexpr const char* SETTINGS_FILE = "vyxC_0.78_cfg.ini";
// A save is written here first and then replaces SETTINGS_FILE in one step.
inline constexpr const char* SETTINGS_TEMP_FILE = "vyxC_0.78_cfg.ini.tmp";

void load_settings();  // file to fields; a missing key keeps its default
// Controls to fields to file; skipped silently if it cannot be written, and
// when the file present at start-up could not be read (it is kept as it is).
void save_settings();
void settings_to_controls();    // fields to controls
void settings_from_controls();  // controls to fields
