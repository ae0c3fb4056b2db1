// Start-up, the main loop and shutdown.
#pragma once

// Start-up steps up to the loop. 1 when the loop is to run; 0 when the
// network stack could not start (the message box has been shown and the
// release done: the caller only ends the process).
int start_program();

// Saves the settings and releases everything (the way out of the loop).
void shutdown_program();

// Releases everything the program holds, in the release order of shutdown.
void release_everything();
