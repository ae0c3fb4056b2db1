// The main window (window 0) and its controls.
#pragma once

#include "ui/layout.h"

// Builds window 0 hidden and centred with every control in creation (and tab)
// order. 1 on success; 0, with no control created, when the window cannot be.
int build_main_window();

// Adds the home-page link 707 (after the window is shown or hidden to the tray).
void add_home_link();
