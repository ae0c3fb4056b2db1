// The client's settings file and the settings' way into and out of the controls.
#pragma once

void load_settings();
void save_settings();
void settings_to_controls();
void settings_from_controls();
