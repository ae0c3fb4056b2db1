// Client settings file.
#include "ui/settings.h"

// The settings file comes with its own change.
void load_settings() {}
void save_settings() {}
void settings_to_controls() {}
void settings_from_controls() {}
