// Client settings file: seven settings in the group "CLIENT".
//
// A save always writes the same eight lines in the same order, whatever the
// file held before, so the table below is the file's layout. start_iconic
// has no control: it goes from the file to the field and back unchanged.
#include "ui/settings.h"

#include <cstdint>
#include <string>

#include "app/ids.h"
#include "app/state.h"
#include "app/text_number.h"
#include "platform/platform.h"
#include "ui/ini_file.h"

namespace {

constexpr const char* GROUP = "CLIENT";

// Either text or number is set; the other is null.
struct Setting {
    const char* key;
    std::string ProgramState::*text;
    std::int32_t ProgramState::*number;
    const char* text_default;
    std::int32_t number_default;
};

constexpr Setting settings[] = {
    {"IP_or_Hostname", &ProgramState::ip_or_hostname, nullptr, "localhost", 0},
    {"Port", &ProgramState::port, nullptr, "7784", 0},
    {"AutoConnect", nullptr, &ProgramState::auto_connect, nullptr, 1},
    {"startVYXCiconic", nullptr, &ProgramState::start_iconic, nullptr, 1},
    {"SysTrayIconPrefix", &ProgramState::systray_icon_prefix, nullptr, "DSL-Modem 1", 0},
    {"TryConnect", nullptr, &ProgramState::try_connect, nullptr, 0},
    {"TryConnectInterval", nullptr, &ProgramState::try_connect_interval, nullptr, 15},
};

int checked_flag(int id) { return is_checked(id) ? 1 : 0; }

// The settings file at start-up could not be read: the fields hold
// defaults, and writing them would replace what the user keeps there.
bool keep_unread_file = false;

}  // namespace

void load_settings() {
    IniFile file = ini_read_file(SETTINGS_FILE);
    keep_unread_file = file.unreadable;
    ini_select_group(file, GROUP);
    // Taken as read: the interval is clamped by the supervision, and only
    // while reconnecting is on.
    for (const Setting& s : settings) {
        if (s.text)
            state.*s.text = ini_read_string(file, s.key, s.text_default);
        else
            state.*s.number = ini_read_int(file, s.key, s.number_default);
    }
}

void settings_to_controls() {
    set_control_text(ID_HOST, state.ip_or_hostname);
    set_control_text(ID_PORT, state.port);
    // Any non-zero value shows as checked; only exactly 1 connects at start.
    set_checked(ID_AUTO_CONNECT, state.auto_connect != 0);
    set_checked(ID_TRY_CONNECT, state.try_connect != 0);
    set_control_text(ID_INTERVAL, std::to_string(state.try_connect_interval));
    set_control_text(ID_PREFIX, state.systray_icon_prefix);
}

void settings_from_controls() {
    state.ip_or_hostname = get_control_text(ID_HOST);
    state.port = get_control_text(ID_PORT);
    state.auto_connect = checked_flag(ID_AUTO_CONNECT);
    state.try_connect = checked_flag(ID_TRY_CONNECT);
    state.try_connect_interval = text_to_int(get_control_text(ID_INTERVAL));
    state.systray_icon_prefix = get_control_text(ID_PREFIX);
}

void save_settings() {
    settings_from_controls();
    if (keep_unread_file) return;
    IniFile file;  // a fresh file: nothing of the old one survives a save
    ini_select_group(file, GROUP);
    for (const Setting& s : settings) {
        if (s.text)
            ini_write_string(file, s.key, state.*s.text);
        else
            ini_write_int(file, s.key, state.*s.number);
    }
    ini_write_file(file, SETTINGS_FILE, SETTINGS_TEMP_FILE);
}
