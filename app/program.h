// Program entry shared by both platforms' entry points.
#pragma once

// Start-up, main loop and shutdown; returns the exit code (always 0).
int program_main();
