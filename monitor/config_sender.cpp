// Monitoring-configuration sender.
//
// The server takes one setting per command and confirms each; the next
// command goes out only after the confirmation or after the wait gave up, so
// a slow server costs time but never loses a command. The stored settings
// are not touched here: the answer to the final "get all" rewrites them.
#include "monitor/config_sender.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "app/ids.h"
#include "app/state.h"
#include "app/text_number.h"
#include "link/answer_wait.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "platform/platform.h"
#include "ui/status.h"

namespace {

constexpr std::string_view CONFIRMATION = "modification successfully\r\nVYX>";
// Six polls after 30, 60, ... 180 ms; reading a file transfer as text would lose the file.
constexpr AnswerWait CONFIRM_WAIT{6, 30, true, 10000, true};

struct NumberItem {
    int control;
    std::int32_t ProgramState::*field;
    const char* command;
};

// Thresholds, in the order they are sent.
const NumberItem thresholds[] = {
    {ID_MON_BITDN, &ProgramState::auto_bitdn, "modify auto bitdn "},
    {ID_MON_BITUP, &ProgramState::auto_bitup, "modify auto bitup "},
    {ID_MON_SNRDN, &ProgramState::auto_snrdn, "modify auto snrdn "},
    {ID_MON_SNRDNX, &ProgramState::auto_snrdnx, "modify auto snrdnx "},
};

// Check boxes, in the order they are sent.
const NumberItem switches[] = {
    {ID_MON_BITDN_SWITCH, &ProgramState::auto_switch_bitdn, "modify auto switch bitdn "},
    {ID_MON_BITUP_SWITCH, &ProgramState::auto_switch_bitup, "modify auto switch bitup "},
    {ID_MON_SNR_SWITCH, &ProgramState::auto_switch_snrdn, "modify auto switch snrdn "},
    {ID_MON_CANTCONNECT_SWITCH, &ProgramState::auto_switch_cantconnect, "modify auto switch cantconnect "},
    {ID_MON_WRITELOG, &ProgramState::auto_action_writelog, "modify auto action writelog "},
    {ID_MON_IPDETECT, &ProgramState::auto_action_ipdetect, "modify auto action ipdetect "},
    {ID_MON_RESYNC, &ProgramState::auto_action_resync, "modify auto action resync "},
    {ID_MON_REBOOT, &ProgramState::auto_action_reboot, "modify auto action reboot "},
    {ID_MON_NETSEND, &ProgramState::auto_action_netsend, "modify auto action netsend "},
};

// True when the command was handed to an open connection; a request flag
// is cleared only then, so a press without a connection is not forgotten.
bool send_and_wait(const std::string& command) {
    const bool sent = state.connection > 0;
    send_command(command.c_str());
    wait_modification_confirmed();
    return sent;
}

// Interval first: lowering it while monitoring runs takes effect only after
// a restart, unless the status is about to be sent anyway.
void send_interval() {
    const std::string typed = get_control_text(ID_MON_INTERVAL);
    const std::int32_t wanted = text_to_int(typed);
    if (wanted == state.auto_interval) return;
    send_and_wait("modify auto interval " + typed);
    if (wanted < state.auto_interval && state.auto_status == 1 && state.auto_status_changed == 0) {
        send_and_wait("modify auto status disable");
        send_and_wait("modify auto status enable");
    }
}

}  // namespace

std::string switch_word(int value) {
    if (value == 1) return "enable";
    if (value == 0) return "disable";
    return "";
}

void wait_modification_confirmed() {
    PieceJoiner joiner(CONFIRMATION.size());
    await_answer(state.connection, CONFIRM_WAIT, [&](const std::string& piece) {
        return joiner.join(piece).find(CONFIRMATION) != std::string::npos;
    });
}

void send_monitoring_config() {
    state.update_in_progress = 1;
    update_status_display();

    send_interval();

    if (state.auto_status_changed == 1) {
        if (send_and_wait("modify auto status " + switch_word(state.auto_status)))
            state.auto_status_changed = 0;
    }

    for (const NumberItem& t : thresholds) {
        const std::string typed = get_control_text(t.control);
        if (text_to_int(typed) != state.*t.field) send_and_wait(t.command + typed);
    }

    for (const NumberItem& s : switches) {
        const int ticked = is_checked(s.control) == 1 ? 1 : 0;
        if (ticked != state.*s.field) send_and_wait(s.command + switch_word(ticked));
    }

    const std::string address = get_control_text(ID_MON_NETSENDADD);
    if (address != state.auto_action_netsendadd)
        send_and_wait("modify auto action netsendadd " + (address.empty() ? std::string("*") : address));

    if (state.commit_pending == 1) {
        if (send_and_wait("commit")) state.commit_pending = 0;
    }

    send_command("get all");
}
