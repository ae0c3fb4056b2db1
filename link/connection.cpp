// Connection and greeting.
//
// The hard parts are the waits: the greeting is awaited with plain sleeps
// (at most 201 polls 5 ms apart, about one second) during which the window is
// frozen, while the busy and failure notices use the short wait so the
// window stays alive. A text holding both the greeting and "busy" is busy.
#include "link/connection.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "app/ids.h"
#include "app/short_wait.h"
#include "app/state.h"
#include "app/text_number.h"
#include "link/answer_wait.h"
#include "link/exchange.h"
#include "link/reachability.h"
#include "link/transport.h"
#include "monitor/history_recorder.h"
#include "platform/platform.h"
#include "ui/settings.h"
#include "ui/status.h"

namespace {
constexpr const char* GREETING = "Welcome to VYX Mini-Server v";
// 201 polls 5 ms apart: a server that has not greeted within about a second
// counts as not answering.
constexpr AnswerWait GREETING_WAIT{201, 5, false, 1000, false};
constexpr int FAILURE_NOTICE_MS = 450;
}  // namespace

int await_greeting() {
    int result = 0;
    // Only the end of what came so far is kept: a flood without a greeting
    // must cost the same for each byte.
    PieceJoiner joiner(std::string_view(GREETING).size());
    await_answer(state.connection, GREETING_WAIT, [&](const std::string& piece) {
        const std::string& text = joiner.join(piece);
        if (text.find(GREETING) != std::string::npos) result = 1;
        if (text.find("busy") != std::string::npos) result = 2;
        return result != 0;
    });
    if (result == 2) show_busy_notice();
    return result;
}

void connect_server() {
    state.connected = 0;
    state.update_in_progress = 1;
    settings_from_controls();
    enable_action_controls(0);
    clear_data_display();
    update_status_display();
    // A dotted address is pinged first, so an absent host fails fast instead
    // of in the system's long connect time-out.
    if (std::count(state.ip_or_hostname.begin(), state.ip_or_hostname.end(), '.') == 3 &&
        test_reachability(state.ip_or_hostname) != 1) {
        history_note(HK_CONNECT_FAILED, "unreachable");
        disconnect_server();
        return;
    }
    state.connection = open_connection(state.ip_or_hostname, text_to_int(state.port));
    const char* failure = "refused";
    if (state.connection > 0) {
        state.connected = 1;
        watch_connection(state.connection);
        const int greeting = await_greeting();
        if (greeting == 1) {
            history_note(HK_CONNECTED);
            if (state.suppress_get_all == 0) send_command("get all");
            enable_action_controls(1);
            enable_connection_controls(1);
            return;
        }
        failure = greeting == 2 ? "busy" : "no greeting";
    }
    history_note(HK_CONNECT_FAILED, failure);
    disconnect_server();
    wait_with_events(10);
}

void disconnect_server() {
    const bool was_open = state.connected == 1;
    if (was_open) close_connection(state.connection);
    history_connection_closed();
    enable_action_controls(0);
    state.connected = state.update_in_progress = state.server_busy = state.warning = 0;
    state.auto_status = state.connection = state.auto_config_pending = 0;
    // Nothing of this connection may be joined to the next one's first answer.
    state.answer_text.clear();
    state.get_auto_pending = 0;
    if (!was_open) {
        state.warning = 1;
        update_status_display();
        wait_with_events(FAILURE_NOTICE_MS);
        state.warning = 0;
    }
    update_status_display();
    clear_data_display();
    enable_connection_controls(0);
}
