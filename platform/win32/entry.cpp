// The executable's entry point: everything else starts in program_main.
// The one thing to get right is the exit code: returning it lets the runtime
// run its shutdown (static destructors) and then exit the process with it.

#include <windows.h>

#include "app/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return program_main(); }
