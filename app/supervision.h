// Periodic supervision of the connection, driven by the one-second timer.
#pragma once

void start_supervision_timer(int period_ms);
void supervision_tick();
