// Status presentation, enabling by state, and clearing of the data display.
//
// The display has no state of its own: every update recomputes it from the
// connection and activity flags, so callers only change flags and call it.
// The enable routines are called in fixed sequences by the flow code; the
// busy notice relies on enable_action_controls leaving the connection and
// action controls alone while server_busy is set.
#include "ui/status.h"

#include <algorithm>
#include <span>
#include <string>

#include "app/ids.h"
#include "app/state.h"
#include "platform/platform.h"
#include "ui/main_window.h"

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

constexpr int monitoring_inputs[] = {ID_MON_INTERVAL,
                                     ID_MON_WRITELOG,
                                     ID_MON_IPDETECT,
                                     ID_MON_BITDN_SWITCH,
                                     ID_MON_BITUP_SWITCH,
                                     ID_MON_SNR_SWITCH,
                                     ID_MON_CANTCONNECT_SWITCH,
                                     ID_MON_BITDN,
                                     ID_MON_BITUP,
                                     ID_MON_SNRDN,
                                     ID_MON_SNRDNX,
                                     ID_MON_RESYNC,
                                     ID_MON_REBOOT,
                                     ID_MON_NETSEND,
                                     ID_MON_NETSENDADD};
constexpr int monitoring_buttons[] = {ID_ACTIVATE, ID_DEACTIVATE, ID_APPLY};
constexpr int server_actions[] = {ID_DISCONNECT, ID_REFRESH, ID_RESYNC, ID_REBOOT, ID_SHUTDOWN};

enum Content { NOT_CONNECTED, DATA, REFRESH, BUSY, FAILED };

struct StatusRow {
    int connected, update_in_progress, server_busy, warning;  // each must equal exactly
    int picture, tray_icon;
    Content content;
};

constexpr StatusRow status_rows[] = {
    {0, 0, 0, 0, PIC_NOT_CONNECTED, TRAY_PIC_NOT_CONNECTED, NOT_CONNECTED},
    {1, 0, 0, 0, PIC_DATA, TRAY_PIC_DATA, DATA},
    {1, 1, 0, 0, PIC_REFRESH, TRAY_PIC_REFRESH, REFRESH},
    {1, 1, 1, 0, PIC_BUSY, TRAY_PIC_BUSY, BUSY},
    {1, 0, 1, 0, PIC_BUSY, TRAY_PIC_BUSY, BUSY},
    {1, 1, 1, 1, PIC_BUSY, TRAY_PIC_BUSY, BUSY},
    {1, 1, 0, 1, PIC_REFRESH, TRAY_PIC_REFRESH, REFRESH},
    {1, 0, 0, 1, PIC_WARNING, TRAY_PIC_WARNING, DATA},
    {0, 1, 0, 0, PIC_REFRESH, TRAY_PIC_REFRESH, REFRESH},
    {0, 0, 0, 1, PIC_WARNING, TRAY_PIC_WARNING, FAILED},
};

constexpr StatusRow refresh_notice_row = {0, 0, 0, 0, PIC_REFRESH_NOTICE, TRAY_PIC_REFRESH, REFRESH};

void set_popup_status_texts(const std::string& line1, const std::string& line2) {
    set_menu_item_text(MENU_TITLE, state.systray_icon_prefix);
    set_menu_item_text(MENU_LINE1, line1);
    set_menu_item_text(MENU_LINE2, line2);
    set_menu_item_text(MENU_LINE3, "");
}

void set_popup_data_texts(const std::string& down, const std::string& up, const std::string& snr) {
    set_menu_item_text(MENU_TITLE, state.systray_icon_prefix);
    set_menu_item_text(MENU_LINE1, "Ds Rate : " + down + " kbps");
    set_menu_item_text(MENU_LINE2, "Us Rate : " + up + " kbps");
    set_menu_item_text(MENU_LINE3, "Ds snrM : " + snr + " dB");
}

// Tooltip and popup texts of a row, shown while the program sits in the tray.
void show_in_tray(Content content) {
    const std::string& br = state.line_break;
    std::string tip = state.systray_icon_prefix;
    const char* line1 = nullptr;
    const char* line2 = nullptr;
    switch (content) {
        case NOT_CONNECTED:
            tip += br + "VYX-Client not connected.";
            tray_set_tooltip(TRAY_ICON_ID, tip);
            set_popup_status_texts("VYX-Client not connected.", " ");
            return;
        case DATA: {
            const std::string down = std::to_string(state.md_bitdn), up = std::to_string(state.md_bitup);
            tip += br + "DN: " + down + " kbit/s" + br + "UP: " + up + " kbit/s" + br +
                   "SNRM: " + state.md_snrdn + " dB";
            tray_set_tooltip(TRAY_ICON_ID, tip);
            set_popup_data_texts(down, up, state.md_snrdn);
            return;
        }
        case REFRESH:
            line1 = "please wait...", line2 = "Data update/refresh in progress.";
            break;
        case BUSY:
            line1 = "please wait...", line2 = "VYX-Server is busy !";
            break;
        case FAILED:
            line1 = "ERROR", line2 = "Connection establishment failed.";
            break;
    }
    tray_set_tooltip(TRAY_ICON_ID, tip + br + line1 + br + line2);
    set_popup_status_texts(line1, line2);
}

void apply_row(const StatusRow& row) {
    if (state.window_shown != 0) {
        set_control_picture(ID_STATUS_PICTURE, state.pictures[row.picture]);
        return;
    }
    // Changing the picture empties the tooltip, so the tooltip comes second.
    tray_change(TRAY_ICON_ID, state.pictures[row.tray_icon]);
    show_in_tray(row.content);
}

}  // namespace

void update_status_display() {
    const std::string prefix = get_control_text(ID_PREFIX);
    if (prefix != state.systray_icon_prefix) state.systray_icon_prefix = prefix;
    if (state.md_snrdn.empty()) state.md_snrdn = "0";
    if (state.window_shown == 1) {
        destroy_control(ID_STATUS_PICTURE);
        create_control({MAIN_WINDOW, -1, ID_STATUS_PICTURE, KIND_IMAGE, 386, 24, 48, 48, "", 0});
    }
    for (const StatusRow& row : status_rows)
        if (state.connected == row.connected && state.update_in_progress == row.update_in_progress &&
            state.server_busy == row.server_busy && state.warning == row.warning)
            apply_row(row);
    if (state.refresh_notice == 1) {
        apply_row(refresh_notice_row);
        state.refresh_notice = 0;
    }
    repaint_window(MAIN_WINDOW);
}

void enable_connection_controls(int disable) {
    for (int id : {ID_HOST, ID_PORT, ID_AUTO_CONNECT, ID_TRY_CONNECT}) set_disabled(id, disable);
    set_interval_disabled(disable);
    set_disabled(ID_CONNECT, disable);
}

void enable_action_controls(int online) {
    const int off = online == 1 ? 0 : 1;
    if (state.server_busy == 0) {
        for (int id : {ID_HOST, ID_PORT, ID_AUTO_CONNECT, ID_CONNECT}) set_disabled(id, off);
        for (int id : server_actions) set_disabled(id, off);
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

int starts_disabled(int id) {
    // The interval follows its check box, which the settings set before the window is shown.
    if (std::ranges::find(INTERVAL_CONTROLS, id) != std::end(INTERVAL_CONTROLS))
        return state.try_connect == 0 ? 1 : 0;
    if (id == ID_SHOW_LOG) return 1;
    for (const auto& list : {std::span<const int>(monitoring_inputs),
                             std::span<const int>(monitoring_buttons), std::span<const int>(server_actions)})
        if (std::ranges::find(list, id) != list.end()) return 1;
    return 0;
}

void clear_data_display() {
    for (int id : {ID_VALUE_DN, ID_VALUE_UP, ID_VALUE_SNRM, ID_MON_INTERVAL, ID_MON_BITDN, ID_MON_BITUP,
                   ID_MON_SNRDN, ID_MON_SNRDNX})
        set_control_text(id, "");
    for (int id : {ID_MON_BITDN_SWITCH, ID_MON_BITUP_SWITCH, ID_MON_SNR_SWITCH, ID_MON_CANTCONNECT_SWITCH,
                   ID_MON_WRITELOG, ID_MON_IPDETECT, ID_MON_RESYNC, ID_MON_REBOOT, ID_MON_NETSEND})
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
