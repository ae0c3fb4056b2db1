// The program state record: every piece of state the subsystems share.
//
// One global record, zero-filled at start and alive for the whole process.
// Flags are 0/1 integers that are compared with exactly 1, so any other
// value counts as off. Texts are owned 8-bit strings; fonts and pictures
// are platform handles (0 = none).
#pragma once

#include <cstdint>
#include <string>

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

    // The seven fonts and the embedded pictures, by id.
    int font1 = 0, font2 = 0, font3 = 0, font4 = 0, font5 = 0, font6 = 0, font7 = 0;
    int image10 = 0, image11 = 0, image12 = 0, image13 = 0, image14 = 0, image15 = 0,
        image16 = 0, image17 = 0, image18 = 0, image19 = 0, image20 = 0;
    int image60 = 0, image61 = 0, image62 = 0, image63 = 0, image64 = 0, image65 = 0,
        image66 = 0, image67 = 0, image68 = 0;
};

extern ProgramState state;

// The handle field of font 1-7, or of an embedded picture id (10-20, 60-68);
// nullptr for any other number.
int* font_field(int number);
int* picture_field(int id);
