// Enabling by state and clearing of the data display.
//
// The enable routines are called in fixed sequences by the flow code; the
// busy notice relies on enable_action_controls leaving the connection and
// action controls alone while server_busy is set.
#include "ui/status.h"

#include "app/ids.h"
#include "app/state.h"
#include "platform/platform.h"

namespace {

// "Set to a value": disabled when the value is 1, enabled when it is 0.
void set_disabled(int id, int value) { enable_control(id, value == 1 ? 0 : 1); }

// Interval field 34 follows the value only while check box 33 is checked.
void set_interval_disabled(int value) {
    if (is_checked(ID_TRY_CONNECT))
        set_disabled(ID_INTERVAL, value);
    else
        enable_control(ID_INTERVAL, 0);
}

constexpr int monitoring_inputs[] = {ID_MON_INTERVAL,  ID_MON_WRITELOG,  ID_MON_IPDETECT,
                                     ID_MON_BITDN_SWITCH, ID_MON_BITUP_SWITCH, ID_MON_SNR_SWITCH,
                                     ID_MON_CANTCONNECT_SWITCH, ID_MON_BITDN, ID_MON_BITUP,
                                     ID_MON_SNRDN, ID_MON_SNRDNX, ID_MON_RESYNC, ID_MON_REBOOT,
                                     ID_MON_NETSEND, ID_MON_NETSENDADD};
constexpr int monitoring_buttons[] = {ID_ACTIVATE, ID_DEACTIVATE, ID_APPLY};

}  // namespace

void update_status_display() {}

void enable_connection_controls(int disable) {
    for (int id : {ID_HOST, ID_PORT, ID_AUTO_CONNECT, ID_TRY_CONNECT}) set_disabled(id, disable);
    set_interval_disabled(disable);
    set_disabled(ID_CONNECT, disable);
}

void enable_action_controls(int online) {
    const int off = online == 1 ? 0 : 1;
    if (state.server_busy == 0) {
        for (int id : {ID_HOST, ID_PORT, ID_AUTO_CONNECT, ID_CONNECT, ID_DISCONNECT, ID_REFRESH,
                       ID_RESYNC, ID_REBOOT, ID_SHUTDOWN})
            set_disabled(id, off);
        set_interval_disabled(off);
    }
    if (state.auto_config_pending == 1) {
        for (int id : monitoring_inputs) enable_control(id, 0);
        for (int id : monitoring_buttons) enable_control(id, 0);
        enable_control(ID_SHOW_LOG, 0);
    } else if (state.auto_config_pending == 0) {
        for (int id : monitoring_inputs) set_disabled(id, off);
        set_disabled(ID_SHOW_LOG, state.log_window_open == 1 ? 1 : off);
        for (int id : monitoring_buttons) set_disabled(id, off);
    }
}

void enable_log_viewer_buttons(int online) {
    if (state.log_window_open != 1) return;
    enable_control(ID_LOG_REFRESH, online == 1);
    enable_control(ID_LOG_DELETE, online == 1);
}

void clear_data_display() {
    for (int id : {ID_VALUE_DN, ID_VALUE_UP, ID_VALUE_SNRM, ID_MON_INTERVAL, ID_MON_BITDN,
                   ID_MON_BITUP, ID_MON_SNRDN, ID_MON_SNRDNX})
        set_control_text(id, "");
    for (int id : {ID_MON_BITDN_SWITCH, ID_MON_BITUP_SWITCH, ID_MON_SNR_SWITCH,
                   ID_MON_CANTCONNECT_SWITCH, ID_MON_WRITELOG, ID_MON_IPDETECT, ID_MON_RESYNC,
                   ID_MON_REBOOT, ID_MON_NETSEND})
        set_checked(id, 0);
    set_control_text(ID_MON_NETSENDADD, "");
    state.md_bitdn = 0;
    state.md_bitup = 0;
    state.md_snrdn = "0";
    state.auto_interval = state.auto_bitdn = state.auto_bitup = 0;
    state.auto_snrdn = state.auto_snrdnx = 0;
    state.auto_switch_bitdn = state.auto_switch_bitup = 0;
    state.auto_switch_snrdn = state.auto_switch_cantconnect = 0;
    state.auto_action_writelog = state.auto_action_ipdetect = state.auto_action_resync = 0;
    state.auto_action_reboot = state.auto_action_netsend = 0;
    state.auto_action_netsendadd.clear();
}
