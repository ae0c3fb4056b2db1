// The twenty report keys and their fields, written apart from the parser's own table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/state.h"

namespace report_keys {

enum Kind { NUMBER, SWITCH, TRIMMED, RAW };

struct KeyField {
    std::string_view key;
    Kind kind;
    std::int32_t ProgramState::*number;
    std::string ProgramState::*text;
};

using S = ProgramState;
inline constexpr KeyField key_fields[] = {
    {"md_bitdn:", NUMBER, &S::md_bitdn, nullptr},
    {"md_bitup:", NUMBER, &S::md_bitup, nullptr},
    {"md_snrdn:", TRIMMED, nullptr, &S::md_snrdn},
    {"auto_status:", SWITCH, &S::auto_status, nullptr},
    {"auto_interval:", NUMBER, &S::auto_interval, nullptr},
    {"auto_bitdn:", NUMBER, &S::auto_bitdn, nullptr},
    {"auto_bitup:", NUMBER, &S::auto_bitup, nullptr},
    {"auto_snrdn:", NUMBER, &S::auto_snrdn, nullptr},
    {"auto_snrdnx:", NUMBER, &S::auto_snrdnx, nullptr},
    {"auto_switch_bitdn:", SWITCH, &S::auto_switch_bitdn, nullptr},
    {"auto_switch_bitup:", SWITCH, &S::auto_switch_bitup, nullptr},
    {"auto_switch_snrdn:", SWITCH, &S::auto_switch_snrdn, nullptr},
    {"auto_switch_cantconnect:", SWITCH, &S::auto_switch_cantconnect, nullptr},
    {"auto_action_writelog:", SWITCH, &S::auto_action_writelog, nullptr},
    {"auto_action_ipdetect:", SWITCH, &S::auto_action_ipdetect, nullptr},
    {"auto_action_resync:", SWITCH, &S::auto_action_resync, nullptr},
    {"auto_action_reboot:", SWITCH, &S::auto_action_reboot, nullptr},
    {"auto_action_netsend:", SWITCH, &S::auto_action_netsend, nullptr},
    {"auto_action_netsendadd:", RAW, nullptr, &S::auto_action_netsendadd},
    {"warning:", NUMBER, &S::warning, nullptr}};

inline void set_fields(std::int32_t number, const std::string& text) {
    for (const KeyField& f : key_fields)
        f.number ? void(state.*f.number = number) : void(state.*f.text = text);
}
inline std::string fields() {
    std::string all;
    for (const KeyField& f : key_fields)
        all += (f.number ? std::to_string(state.*f.number) : state.*f.text) + "|";
    return all;
}

}  // namespace report_keys
