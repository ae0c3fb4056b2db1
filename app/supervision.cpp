// Periodic supervision: the one-second timer that also keeps the loop turning.
#include "app/supervision.h"

#include "app/ids.h"
#include "platform/platform.h"

void start_supervision_timer(int period_ms) { start_timer(MAIN_WINDOW, TIMER_SUPERVISION, period_ms); }

void supervision_tick() {}
