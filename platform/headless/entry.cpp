// Entry of the Linux build of the program, over the headless platform.
#include "app/program.h"

int main() { return program_main(); }
