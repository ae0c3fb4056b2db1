// Periodic supervision: the one-second timer that also keeps the loop turning.
//
// Due times are compared with the local wall clock, so a clock set back
// delays the next check and a clock set forward makes it due at once. The
// probe blocks the thread with plain sleeps on purpose: events handled
// meanwhile could start a second exchange over the connection being judged.
// A connection that has ended cannot answer, so the probe gives up on it at once.
#include "app/supervision.h"

#include <string>

#include "app/ids.h"
#include "app/state.h"
#include "app/text_number.h"
#include "link/answer_wait.h"
#include "link/connection.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "monitor/history_recorder.h"
#include "platform/platform.h"

namespace {
constexpr int FIRST_CHECK_EXTRA_S = 10;
constexpr int MIN_INTERVAL_S = 5;
constexpr int MAX_INTERVAL_S = 999;
constexpr int ANSWER_ATTEMPTS = 12;
constexpr int ANSWER_STEP_MS = 30;
constexpr int READ_CHUNK = 1000;

// Field 34 is read on every tick, so a value typed or loaded out of range is
// put right within a second.
void take_interval_from_field() {
    state.try_connect_interval = text_to_int(get_control_text(ID_INTERVAL));
    if (state.try_connect_interval < MIN_INTERVAL_S) {
        state.try_connect_interval = MIN_INTERVAL_S;
        set_control_text(ID_INTERVAL, std::to_string(MIN_INTERVAL_S));
    }
    if (state.try_connect_interval > MAX_INTERVAL_S) {
        state.try_connect_interval = MAX_INTERVAL_S;
        set_control_text(ID_INTERVAL, std::to_string(MAX_INTERVAL_S));
    }
}
}  // namespace

void start_supervision_timer(int period_ms) {
    start_timer(MAIN_WINDOW, TIMER_SUPERVISION, period_ms);
    state.next_check_time = seconds_clock() + state.try_connect_interval + FIRST_CHECK_EXTRA_S;
}

void supervision_tick() {
    // The box as it is now decides, not the stored setting.
    if (!is_checked(ID_TRY_CONNECT)) return;
    take_interval_from_field();
    const int now = seconds_clock();
    if (now < state.next_check_time) return;
    // Counted from the start of this check, whatever the check then costs.
    state.next_check_time = now + state.try_connect_interval;
    check_connection();
}

void check_connection() {
    if (state.connected == 1 && state.connection > 0) {
        send_command("get warning");
        if (await_any_answer(ANSWER_ATTEMPTS) == 0) {
            history_set_drop_reason("probe");
            disconnect_server();
        }
    }
    // Also right after dropping a silent connection, in the same check.
    if (state.connected == 0 && state.connection == 0) connect_server();
}

int await_any_answer(int max_attempts) {
    // Only a sign of life: the text itself is not wanted.
    const AnswerWait wait{max_attempts + 1, ANSWER_STEP_MS, true, READ_CHUNK, false};
    return await_answer(state.connection, wait, [](const std::string&) { return true; }) ? 1 : 0;
}
