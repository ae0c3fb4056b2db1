// The program state record: every piece of state the subsystems share.
//
// One global record, zero-filled at start and alive for the whole process.
// Flags are 0/1 integers that are compared with exactly 1, so any other
// value counts as off. Texts are owned 8-bit strings; fonts and pictures
// are platform handles (0 = none).
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The seven fonts; 0 in a layout table means the system's default GUI font.
enum Font : int {
    FONT_SANS_8 = 1,
    FONT_ARIAL_8 = 2,
    FONT_TERMINAL_6 = 3,
    FONT_ARIAL_7 = 4,
    FONT_VERDANA_14_BOLD = 5,
    FONT_VERDANA_10_BOLD = 6,
    FONT_ARIAL_8_BOLD = 7,
    FONT_END,
};

// The embedded pictures, by the number they carry: window status pictures,
// tray icons, the refresh notice, and the tray menu's item bitmaps.
enum Picture : int {
    PIC_NOT_CONNECTED = 10,
    PIC_DATA = 11,
    PIC_REFRESH = 12,
    PIC_BUSY = 13,
    PIC_WARNING = 14,
    TRAY_PIC_NOT_CONNECTED = 15,
    TRAY_PIC_DATA = 16,
    TRAY_PIC_REFRESH = 17,
    TRAY_PIC_BUSY = 18,
    TRAY_PIC_WARNING = 19,
    PIC_REFRESH_NOTICE = 20,
    MENU_PIC_REBOOT = 60,
    MENU_PIC_RESYNC = 61,
    MENU_PIC_REFRESH = 62,
    MENU_PIC_MAXIMIZE = 63,
    MENU_PIC_QUIT = 64,
    MENU_PIC_LINE1 = 65,
    MENU_PIC_LINE2 = 66,
    MENU_PIC_LINE3 = 67,
    MENU_PIC_VIEW_LOG = 68,
    PICTURE_END,
};
inline constexpr Picture all_pictures[] = {
    PIC_NOT_CONNECTED,      PIC_DATA,        PIC_REFRESH,      PIC_BUSY,         PIC_WARNING,
    TRAY_PIC_NOT_CONNECTED, TRAY_PIC_DATA,   TRAY_PIC_REFRESH, TRAY_PIC_BUSY,    TRAY_PIC_WARNING,
    PIC_REFRESH_NOTICE,     MENU_PIC_REBOOT, MENU_PIC_RESYNC,  MENU_PIC_REFRESH, MENU_PIC_MAXIMIZE,
    MENU_PIC_QUIT,          MENU_PIC_LINE1,  MENU_PIC_LINE2,   MENU_PIC_LINE3,   MENU_PIC_VIEW_LOG};

struct ProgramState {
    // Monitoring configuration as the server last reported it.
    std::int32_t auto_action_ipdetect = 0;
    std::int32_t auto_action_netsend = 0;
    std::string auto_action_netsendadd;
    std::int32_t auto_action_reboot = 0;
    std::int32_t auto_action_resync = 0;
    std::int32_t auto_action_writelog = 0;
    std::int32_t auto_bitdn = 0;
    std::int32_t auto_bitup = 0;
    std::int32_t auto_interval = 0;
    std::int32_t auto_config_pending = 0;
    std::int32_t auto_snrdn = 0;
    std::int32_t auto_snrdnx = 0;
    std::int32_t auto_status = 0;
    std::int32_t auto_switch_bitdn = 0;
    std::int32_t auto_switch_bitup = 0;
    std::int32_t auto_switch_cantconnect = 0;
    std::int32_t auto_switch_snrdn = 0;

    // Settings.
    std::int32_t auto_connect = 0;
    std::string ip_or_hostname;
    std::string port;
    std::int32_t start_iconic = 0;
    std::string systray_icon_prefix;
    std::int32_t try_connect = 0;
    std::int32_t try_connect_interval = 0;

    // Connection and exchange.
    std::int32_t suppress_get_all = 0;
    std::int32_t connected = 0;
    std::int32_t connection = 0;
    std::int32_t update_in_progress = 0;
    std::int32_t refresh_notice = 0;
    std::int32_t get_auto_pending = 0;
    std::string answer_text;
    std::int32_t server_busy = 0;
    std::int32_t warning = 0;
    std::int32_t auto_status_changed = 0;
    std::int32_t commit_pending = 0;
    std::int32_t next_check_time = 0;

    // Modem data.
    std::int32_t md_bitdn = 0;
    std::int32_t md_bitup = 0;
    std::string md_snrdn;

    // Loop and windows.
    std::int32_t quit_requested = 0;
    std::string line_break;
    std::int32_t event = 0;
    std::int32_t event_window = 0;
    std::int32_t net_event = 0;
    std::int32_t wait_event = 0;
    std::int32_t wait_timer_id = 0;
    std::int32_t window_shown = 0;
    std::int32_t log_window_open = 0;

    // Font handles by Font, picture handles by Picture; 0 where none was made.
    std::array<int, FONT_END> fonts{};
    std::array<int, PICTURE_END> pictures{};
};

extern ProgramState state;
