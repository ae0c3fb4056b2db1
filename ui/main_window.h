// The main window (window 0) and its controls.
#pragma once

#include "app/ids.h"
#include "ui/layout.h"

// Builds window 0 hidden and centred with every control in creation (and tab)
// order. 1 on success; 0, with no control created, when the window cannot be.
int build_main_window();

// Adds the home-page link 707 (after the window is shown or hidden to the tray).
void add_home_link();

// The interval field 34 and its labels 35, 36: they follow check box 33.
inline constexpr int INTERVAL_CONTROLS[] = {ID_INTERVAL, ID_INTERVAL_LABEL, ID_SECONDS_LABEL};
void update_interval_controls();
