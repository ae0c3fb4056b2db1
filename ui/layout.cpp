// The main window, its fonts and the tray menu as data, in creation order.
#include "ui/layout.h"

#include "app/ids.h"

namespace {

constexpr int R = CTL_ALIGN_RIGHT, C = CTL_ALIGN_CENTRE, D = CTL_DIGITS;

constexpr ControlSpec connection_group[] = {
    {27, KIND_FRAME, 10, 15, 455, 122, "Connection establishment with VYX-Server", FONT_SANS_8, 0, 0},
    {ID_HOST, KIND_EDIT, 128, 35, 140, 20, "", FONT_SANS_8, 60, 0},
    {29, KIND_LABEL, 20, 38, 105, 15, "IP-Add. or Hostname", FONT_ARIAL_8, 0, R},
    {30, KIND_LABEL, 272, 38, 25, 15, "Port", FONT_ARIAL_8, 0, R},
    {ID_PORT, KIND_EDIT, 300, 35, 40, 20, "", FONT_SANS_8, 5, D},
    {ID_AUTO_CONNECT, KIND_CHECKBOX, 25, 65, 290, 15, "automatically connect to VYX-Server at startup",
     FONT_ARIAL_8, 0, 0},
    {ID_TRY_CONNECT, KIND_CHECKBOX, 25, 90, 335, 15,
     "reconnect on disconnection / check connection to server", FONT_ARIAL_8, 0, 0},
    {ID_INTERVAL, KIND_EDIT, 83, 110, 25, 15, "", FONT_TERMINAL_6, 3, D},
    {ID_INTERVAL_LABEL, KIND_LABEL, 42, 110, 40, 15, "Interval:", FONT_ARIAL_8, 0, R},
    {ID_SECONDS_LABEL, KIND_LABEL, 110, 112, 57, 10, "seconds", FONT_ARIAL_7, 0, 0},
    {ID_CONNECT, KIND_BUTTON, 370, 104, 75, 25, "Connect", FONT_SANS_8, 0, CTL_DEFAULT_BUTTON},
    {ID_DISCONNECT, KIND_BUTTON, 370, 73, 75, 25, "Disconnect", FONT_SANS_8, 0, 0},
};

constexpr ControlSpec action_group[] = {
    {39, KIND_FRAME, 10, 345, 525, 55, "execute action on VYX-Server (DSL-Modem/Router)", FONT_SANS_8, 0, 0},
    {ID_REFRESH, KIND_BUTTON, 20, 365, 110, 25, "Update/Refresh", FONT_SANS_8, 0, 0},
    {ID_RESYNC, KIND_BUTTON, 140, 365, 110, 25, "DSL-Resync", FONT_SANS_8, 0, 0},
    {ID_REBOOT, KIND_BUTTON, 260, 365, 110, 25, "Reboot+Resync", FONT_SANS_8, 0, 0},
    {ID_SHUTDOWN, KIND_BUTTON, 415, 365, 110, 25, "VYX+Server shutdown", FONT_ARIAL_7, 0, 0},
};

constexpr ControlSpec tray_group[] = {
    {50, KIND_LABEL, 550, 363, 33, 15, "Prefix", FONT_ARIAL_8, 0, R},
    {51, KIND_FRAME, 545, 345, 135, 40, "SysTray-Icon", FONT_SANS_8, 0, 0},
    {ID_PREFIX, KIND_EDIT, 585, 361, 90, 18, "", FONT_SANS_8, 25, 0},
    {ID_VERSION, KIND_LABEL, 5, 410, 155, 10, "", FONT_TERMINAL_6, 0, 0},
    {ID_MINIMIZE, KIND_BUTTON, 565, 390, 111, 25, "Minimize", FONT_SANS_8, 0, 0,
     "hide/minimize program window and show Icon in SysTray"},
};

constexpr ControlSpec monitoring_panel = {ID_MONITORING_PANEL,
                                          KIND_PANEL,
                                          10,
                                          150,
                                          670,
                                          185,
                                          "automatic DSL-Monitoring Config. (via VYX-Server)",
                                          0,
                                          0,
                                          0};

constexpr ControlSpec monitoring_controls[] = {
    {0, KIND_FRAME, 253, 13, 210, 130, "if Trigger-Value ... ", FONT_SANS_8, 0, 0},
    {ID_MON_SNR_SWITCH, KIND_CHECKBOX, 263, 88, 110, 15, "SNR Margin Down", FONT_SANS_8, 0, 0},
    {ID_MON_BITDN_SWITCH, KIND_CHECKBOX, 263, 38, 110, 15, "Downstream Bitrate", FONT_SANS_8, 0, 0},
    {ID_MON_BITUP_SWITCH, KIND_CHECKBOX, 263, 63, 110, 15, "Upstream Bitrate", FONT_SANS_8, 0, 0},
    {ID_MON_CANTCONNECT_SWITCH, KIND_CHECKBOX, 263, 118, 180, 15, "cant connect/logon (modem n/a)",
     FONT_SANS_8, 0, 0},
    {5, KIND_LABEL, 373, 88, 15, 15, "<>", 0, 0, 0},
    {6, KIND_LABEL, 378, 38, 10, 15, "<", 0, 0, 0},
    {7, KIND_LABEL, 378, 63, 10, 15, "<", 0, 0, 0},
    {ID_MON_SNRDN, KIND_EDIT, 388, 85, 20, 20, "", FONT_SANS_8, 2, D},
    {ID_MON_BITDN, KIND_EDIT, 388, 35, 40, 20, "", FONT_SANS_8, 5, D},
    {ID_MON_BITUP, KIND_EDIT, 388, 60, 40, 20, "", FONT_SANS_8, 4, D},
    {11, KIND_LABEL, 429, 38, 31, 15, "kbit/s", FONT_SANS_8, 0, 0},
    {12, KIND_LABEL, 429, 63, 31, 15, "kbit/s", FONT_SANS_8, 0, 0},
    {13, KIND_LABEL, 444, 88, 17, 15, "dB", FONT_SANS_8, 0, 0},
    {ID_MON_INTERVAL, KIND_EDIT, 148, 35, 30, 20, "", FONT_SANS_8, 4, D},
    {15, KIND_FRAME, 8, 13, 235, 95, "Check-Interval", FONT_SANS_8, 0, 0},
    {16, KIND_LABEL, 16, 38, 130, 15, "Interval between checks :", 0, 0, R},
    {17, KIND_LABEL, 181, 38, 40, 15, "minutes", FONT_SANS_8, 0, 0},
    {18, KIND_FRAME, 473, 13, 185, 130, " ... then execute action : ", FONT_SANS_8, 0, 0},
    {ID_MON_WRITELOG, KIND_CHECKBOX, 23, 65, 125, 15, "write results to Logfile", FONT_SANS_8, 0, 0},
    {ID_MON_RESYNC, KIND_CHECKBOX, 483, 38, 130, 15, "DSL-Resync. (retrain)", FONT_SANS_8, 0, 0},
    {ID_MON_NETSEND, KIND_CHECKBOX, 483, 93, 165, 15, "Send 'Net-Send' message to :", FONT_SANS_8, 0, 0},
    {ID_MON_NETSENDADD, KIND_EDIT, 553, 113, 95, 20, "", FONT_SANS_8, 40, 0},
    {ID_MON_REBOOT, KIND_CHECKBOX, 483, 63, 170, 15, "Modem Reboot + DSL-Resync.", 0, 0, 0},
    {ID_APPLY, KIND_BUTTON, 163, 118, 80, 27, "apply/save", FONT_SANS_8, 0, 0},
    {ID_ACTIVATE, KIND_BUTTON, 8, 118, 65, 27, "activate", FONT_SANS_8, 0, 0},
    {ID_DEACTIVATE, KIND_BUTTON, 80, 118, 65, 27, "deactivate", FONT_SANS_8, 0, 0},
    {ID_SHOW_LOG, KIND_BUTTON, 165, 63, 65, 25, "show Logfile", FONT_ARIAL_7, 0, 0},
    {ID_MON_SNRDNX, KIND_EDIT, 423, 85, 20, 20, "", FONT_SANS_8, 2, D},
    {69, KIND_LABEL, 408, 88, 15, 15, "to", FONT_SANS_8, 0, C},
    {ID_MON_IPDETECT, KIND_CHECKBOX, 48, 85, 85, 15, "IP detection", FONT_SANS_8, 0, 0},
};

constexpr ControlSpec data_panel = {ID_DATA_PANEL, KIND_PANEL, 480, 15, 200, 125, "DSL Data", 0, 0, 0};

constexpr ControlSpec data_controls[] = {
    {44, KIND_LABEL, 11, 68, 62, 25, "SNRM", FONT_VERDANA_14_BOLD, 0, 0},
    {45, KIND_LABEL, 11, 8, 35, 25, "DN", FONT_VERDANA_14_BOLD, 0, 0},
    {46, KIND_LABEL, 11, 38, 35, 25, "UP", FONT_VERDANA_14_BOLD, 0, 0},
    {47, KIND_LABEL, 133, 13, 50, 15, "kbit/s", FONT_VERDANA_10_BOLD, 0, 0},
    {48, KIND_LABEL, 133, 43, 50, 15, "kbit/s", FONT_VERDANA_10_BOLD, 0, 0},
    {49, KIND_LABEL, 133, 73, 35, 15, "dB", FONT_VERDANA_10_BOLD, 0, 0},
    {ID_VALUE_DN, KIND_LABEL, 53, 8, 75, 25, "", FONT_VERDANA_14_BOLD, 0, R},
    {ID_VALUE_UP, KIND_LABEL, 53, 38, 75, 25, "", FONT_VERDANA_14_BOLD, 0, R},
    {ID_VALUE_SNRM, KIND_LABEL, 78, 68, 50, 25, "", FONT_VERDANA_14_BOLD, 0, R},
};

constexpr ControlSpec home_link = {ID_HOME_LINK,      KIND_LINK,       411, 410, 122, 10,
                                   HOME_PAGE_ADDRESS, FONT_TERMINAL_6, 0,   0};

constexpr FontSpec fonts[] = {
    {FONT_SANS_8, "Microsoft Sans Serif", 8, 400}, {FONT_ARIAL_8, "Arial", 8, 400},
    {FONT_TERMINAL_6, "Terminal", 6, 400},         {FONT_ARIAL_7, "Arial", 7, 400},
    {FONT_VERDANA_14_BOLD, "Verdana", 14, 700},    {FONT_VERDANA_10_BOLD, "Verdana", 10, 700},
    {FONT_ARIAL_8_BOLD, "Arial", 8, 700},
};

constexpr MenuItemSpec tray_menu[] = {
    {MENU_TITLE, nullptr, 0},  // text: the prefix as it is now
    {0, nullptr, 0},
    {MENU_LINE1, "", MENU_PIC_LINE1},
    {MENU_LINE2, "", MENU_PIC_LINE2},
    {MENU_LINE3, "", MENU_PIC_LINE3},
    {0, nullptr, 0},
    {MENU_REBOOT, "Modem Reboot+Resync.", MENU_PIC_REBOOT},
    {0, nullptr, 0},
    {MENU_RESYNC, "DSL-Resync/Retrain", MENU_PIC_RESYNC},
    {MENU_REFRESH, "Update/Refresh Data", MENU_PIC_REFRESH},
    {0, nullptr, 0},
    {MENU_MAXIMIZE, "Maximize Window", MENU_PIC_MAXIMIZE},
    {MENU_VIEW_LOG, "View Logfile", MENU_PIC_VIEW_LOG},
    {MENU_HISTORY, "History...", 0},
    {0, nullptr, 0},
    {MENU_QUIT, "Quit", MENU_PIC_QUIT},
};

constexpr LayoutPart parts[] = {
    {connection_group, -1},
    {action_group, -1},
    {tray_group, -1},
    {{&monitoring_panel, 1}, -1},
    {monitoring_controls, ID_MONITORING_PANEL},
    {{&data_panel, 1}, -1},
    {data_controls, ID_DATA_PANEL},
};

}  // namespace

std::span<const LayoutPart> main_window_layout() { return parts; }
const ControlSpec& home_link_spec() { return home_link; }
std::span<const FontSpec> font_specs() { return fonts; }
std::span<const MenuItemSpec> tray_menu_layout() { return tray_menu; }
