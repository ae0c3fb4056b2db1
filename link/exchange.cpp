// Command exchange: command lines out, answers in.
//
// The hard part is staying linear in what arrives: the server's texts are
// looked for in everything collected so far, but an earlier call already
// looked at all of it but the new bytes and found nothing (every text found
// empties the collection), so each search starts just before the new bytes.
#include "link/exchange.h"

#include <string>
#include <string_view>

#include "app/ids.h"
#include "app/short_wait.h"
#include "app/state.h"
#include "link/connection.h"
#include "link/transport.h"
#include "monitor/history_recorder.h"
#include "monitor/report.h"
#include "platform/platform.h"
#include "ui/status.h"

namespace {

constexpr std::string_view PROMPT = "\r\nVYX>";
constexpr std::string_view BUSY = "busy";
constexpr std::string_view PLEASE_WAIT = "ok. please wait ...";
constexpr std::string_view GOODBYE = "servus";
// A command the system takes only in part, or not yet, is finished unless
// no byte more goes out for this long.
constexpr int SEND_STALL_MS = 1000;
constexpr int SEND_RETRY_MS = 5;

// Whether text, of which the first `searched` bytes held no match, holds pattern.
bool holds(const std::string& text, std::size_t searched, std::string_view pattern) {
    const std::size_t from = searched >= pattern.size() ? searched - (pattern.size() - 1) : 0;
    return text.find(pattern, from) != std::string::npos;
}

void handle_busy() {
    show_busy_notice();
    // The button that sent the refused command was disabled when pressed.
    for (int id : {ID_REFRESH, ID_RESYNC, ID_REBOOT, ID_SHUTDOWN}) enable_control(id, 1);
    state.answer_text.clear();
}

void handle_please_wait() {
    state.get_auto_pending = 1;
    state.refresh_notice = 1;
    clear_data_display();
    state.auto_config_pending = 1;
    enable_action_controls(0);
    enable_connection_controls(1);
    state.answer_text.clear();
}

}  // namespace

void show_busy_notice() {
    state.server_busy = 1;
    state.auto_config_pending = 1;
    update_status_display();
    enable_action_controls(0);
    wait_with_events(BUSY_NOTICE_MS);
    state.server_busy = 0;
    state.update_in_progress = 0;
}

void send_command(const char* command) {
    if (state.connection <= 0) return;
    const std::string line = std::string(command) + state.line_break;
    std::size_t sent = 0;
    long long last_progress = elapsed_ms();
    while (sent < line.size()) {
        const int n = send_text(state.connection, line.substr(sent));
        // A failed connection stays failed: the command is lost, as on any
        // dead connection, and the supervision finds out.
        if (n < 0) return;
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            last_progress = elapsed_ms();
        } else if (elapsed_ms() - last_progress >= SEND_STALL_MS) {
            return;
        } else {
            sleep_ms(SEND_RETRY_MS);
        }
    }
    history_command_sent(command);
}

void handle_server_data() {
    state.update_in_progress = 1;
    update_status_display();
    const std::size_t searched = state.answer_text.size();
    state.answer_text += read_available_text(state.connection, 10000);

    if (holds(state.answer_text, searched, PROMPT)) {
        const bool send_get_auto = state.get_auto_pending != 0;
        state.get_auto_pending = 0;
        parse_report(state.answer_text);
        state.answer_text.clear();
        history_sample();
        if (send_get_auto) send_command("get auto");
    }
    if (holds(state.answer_text, searched, BUSY)) handle_busy();
    if (holds(state.answer_text, searched, PLEASE_WAIT)) handle_please_wait();
    if (holds(state.answer_text, searched, GOODBYE)) {
        history_set_drop_reason("servus");
        disconnect_server();
        state.answer_text.clear();
    }
    if (state.answer_text.size() > MAX_ANSWER_BYTES) state.answer_text.clear();
    update_status_display();
}
