// The one program state record.
#include "app/state.h"

ProgramState state;
