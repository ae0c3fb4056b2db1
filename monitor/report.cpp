// A report shown: the state record into the main window.
#include "monitor/report.h"

#include <cstdint>

#include "app/ids.h"
#include "app/state.h"
#include "monitor/report_parser.h"
#include "platform/platform.h"
#include "ui/status.h"

namespace {

using S = ProgramState;

struct Shown {
    int id;
    std::int32_t ProgramState::*field;
};

constexpr Shown number_edits[] = {
    {ID_MON_INTERVAL, &S::auto_interval}, {ID_MON_BITDN, &S::auto_bitdn},   {ID_MON_BITUP, &S::auto_bitup},
    {ID_MON_SNRDN, &S::auto_snrdn},       {ID_MON_SNRDNX, &S::auto_snrdnx},
};

constexpr Shown switch_boxes[] = {
    {ID_MON_BITDN_SWITCH, &S::auto_switch_bitdn}, {ID_MON_BITUP_SWITCH, &S::auto_switch_bitup},
    {ID_MON_SNR_SWITCH, &S::auto_switch_snrdn},   {ID_MON_CANTCONNECT_SWITCH, &S::auto_switch_cantconnect},
    {ID_MON_WRITELOG, &S::auto_action_writelog},  {ID_MON_IPDETECT, &S::auto_action_ipdetect},
    {ID_MON_RESYNC, &S::auto_action_resync},      {ID_MON_REBOOT, &S::auto_action_reboot},
    {ID_MON_NETSEND, &S::auto_action_netsend},
};

}  // namespace

void show_modem_data() {
    set_control_text(ID_VALUE_DN, std::to_string(state.md_bitdn));
    set_control_text(ID_VALUE_UP, std::to_string(state.md_bitup));
    // The field keeps what the server sent; only the display fills the gap.
    set_control_text(ID_VALUE_SNRM, state.md_snrdn.empty() ? std::string("0") : state.md_snrdn);
}

void show_monitoring_settings() {
    for (const Shown& s : number_edits) set_control_text(s.id, std::to_string(state.*s.field));
    for (const Shown& s : switch_boxes) set_checked(s.id, state.*s.field == 1 ? 1 : 0);
    set_control_text(ID_MON_NETSENDADD, state.auto_action_netsendadd);
}

void parse_report(const std::string& text) {
    read_report(text);
    show_modem_data();
    show_monitoring_settings();
    enable_action_controls(1);
    enable_connection_controls(1);
    // The button that would change nothing stays off; an unknown state leaves both on.
    if (state.auto_config_pending == 0) {
        if (state.auto_status == 0)
            enable_control(ID_DEACTIVATE, 0);
        else if (state.auto_status == 1)
            enable_control(ID_ACTIVATE, 0);
    }
    state.update_in_progress = 0;
}
