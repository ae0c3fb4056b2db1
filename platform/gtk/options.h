// The native program's command line. The menu entry starts it with
// --from-menu: the settings file lives in the working folder, and a desktop
// starts its programs in the home folder, where it would lie loose.
#pragma once

// apply_options' answer when the program is to run on.
constexpr int OPTIONS_RUN = -1;

// Reads the command line and acts on it: with --from-menu the working folder
// becomes the user's configuration folder for the program, made on the first
// start; if that fails, one line on stderr and the current folder stays.
// Returns OPTIONS_RUN, or the exit code to end with at once (0 after --help,
// 2 after an unknown argument, with the usage on stderr).
int apply_options(int argc, char** argv);
