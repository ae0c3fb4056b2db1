// Periodic supervision of the connection, driven by the one-second timer.
#pragma once

// Starts the supervision timer; the first check is due a little later than
// one interval, so start-up's own connection attempt gets time to settle.
void start_supervision_timer(int period_ms);
// Every tick: while box 33 is checked, keeps field 34 within range and runs
// the check when it is due.
void supervision_tick();
// Probes an open connection (dropping it when silent), then connects if
// nothing is open.
void check_connection();
// 1 when anything arrived on the connection within max_attempts + 1 polls.
// Blocks the thread meanwhile (at most 2730 ms for 12).
int await_any_answer(int max_attempts);
