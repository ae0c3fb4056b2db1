// Report parser: the twenty known keys of an answer into the state record.
//
// The hard part is staying linear in the size of the answer, which may be
// anything the server sends. Every key ends in a colon, so a single pass
// over the colons finds the first occurrence of all twenty keys at once;
// each found value then only reads up to its own line end.
#include "monitor/report_parser.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "app/state.h"
#include "app/text_number.h"

namespace {

// The protocol's line end. The same bytes as state.line_break, spelled out
// so a report never depends on start-up having filled that field.
constexpr std::string_view LINE_END = "\r\n";

enum class Conversion { NUMBER, SWITCH, TRIMMED, RAW };

struct ReportKey {
    std::string_view key;
    Conversion conversion;
    std::int32_t ProgramState::*number;  // NUMBER and SWITCH
    std::string ProgramState::*text;     // TRIMMED and RAW
    bool validates_config;               // its presence makes the monitoring panel valid
};

using C = Conversion;
using S = ProgramState;

// In the order the values are stored.
constexpr ReportKey report_keys[] = {
    {"md_bitdn:", C::NUMBER, &S::md_bitdn, nullptr, false},
    {"md_bitup:", C::NUMBER, &S::md_bitup, nullptr, false},
    {"md_snrdn:", C::TRIMMED, nullptr, &S::md_snrdn, false},
    {"auto_status:", C::SWITCH, &S::auto_status, nullptr, true},
    {"auto_interval:", C::NUMBER, &S::auto_interval, nullptr, false},
    {"auto_bitdn:", C::NUMBER, &S::auto_bitdn, nullptr, false},
    {"auto_bitup:", C::NUMBER, &S::auto_bitup, nullptr, false},
    {"auto_snrdn:", C::NUMBER, &S::auto_snrdn, nullptr, false},
    {"auto_snrdnx:", C::NUMBER, &S::auto_snrdnx, nullptr, false},
    {"auto_switch_bitdn:", C::SWITCH, &S::auto_switch_bitdn, nullptr, false},
    {"auto_switch_bitup:", C::SWITCH, &S::auto_switch_bitup, nullptr, false},
    {"auto_switch_snrdn:", C::SWITCH, &S::auto_switch_snrdn, nullptr, false},
    {"auto_switch_cantconnect:", C::SWITCH, &S::auto_switch_cantconnect, nullptr, false},
    {"auto_action_writelog:", C::SWITCH, &S::auto_action_writelog, nullptr, false},
    {"auto_action_ipdetect:", C::SWITCH, &S::auto_action_ipdetect, nullptr, false},
    {"auto_action_resync:", C::SWITCH, &S::auto_action_resync, nullptr, false},
    {"auto_action_reboot:", C::SWITCH, &S::auto_action_reboot, nullptr, false},
    {"auto_action_netsend:", C::SWITCH, &S::auto_action_netsend, nullptr, false},
    {"auto_action_netsendadd:", C::RAW, nullptr, &S::auto_action_netsendadd, false},
    {"warning:", C::NUMBER, &S::warning, nullptr, false},
};
constexpr std::size_t KEY_COUNT = std::size(report_keys);

// The one-pass search below only sees keys that end in a colon and have
// at least one byte before it.
constexpr bool every_key_ends_in_colon() {
    for (const ReportKey& k : report_keys)
        if (k.key.size() < 2 || k.key.back() != ':') return false;
    return true;
}
static_assert(every_key_ends_in_colon());

constexpr std::size_t ABSENT = std::string_view::npos;

// Where each key's value begins (right behind the key's first occurrence),
// ABSENT for keys the text does not hold. A key's first occurrence is the
// first colon its bytes end at, so visiting the colons in order settles
// every key the first time it matches.
std::array<std::size_t, KEY_COUNT> locate_keys(std::string_view text) {
    std::array<std::size_t, KEY_COUNT> begin;
    begin.fill(ABSENT);
    std::size_t missing = KEY_COUNT;
    for (std::size_t colon = text.find(':'); colon != ABSENT && missing > 0;
         colon = text.find(':', colon + 1)) {
        const std::size_t after = colon + 1;
        for (std::size_t k = 0; k < KEY_COUNT; ++k) {
            const std::string_view key = report_keys[k].key;
            if (begin[k] != ABSENT || key.size() > after) continue;
            // The byte before the colon rules out nearly every key cheaply.
            if (text[colon - 1] != key[key.size() - 2]) continue;
            if (text.substr(after - key.size(), key.size()) == key) {
                begin[k] = after;
                --missing;
            }
        }
    }
    return begin;
}

// No terminator behind the start means the value never ended: it is empty.
std::string_view value_from(std::string_view text, std::size_t begin, std::string_view terminator) {
    const std::size_t end = text.find(terminator, begin);
    return end == ABSENT ? std::string_view() : text.substr(begin, end - begin);
}

// Blanks only: a tab is part of the margin text as sent.
std::string_view trim_blanks(std::string_view value) {
    const std::size_t first = value.find_first_not_of(' ');
    if (first == ABSENT) return {};
    return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

void store(const ReportKey& k, std::string_view value) {
    switch (k.conversion) {
        case C::NUMBER:
            state.*k.number = text_to_int(value);
            break;
        case C::SWITCH:
            state.*k.number = parse_switch(value);
            break;
        case C::TRIMMED:
            (state.*k.text).assign(trim_blanks(value));
            break;
        case C::RAW:
            (state.*k.text).assign(value);
            break;
    }
}

}  // namespace

int parse_switch(std::string_view value) { return value == "enabled" ? 1 : 0; }

void read_report(std::string_view answer) {
    const std::array<std::size_t, KEY_COUNT> begin = locate_keys(answer);
    for (std::size_t k = 0; k < KEY_COUNT; ++k) {
        if (begin[k] == ABSENT) continue;
        if (report_keys[k].validates_config) state.auto_config_pending = 0;
        store(report_keys[k], value_from(answer, begin[k], LINE_END));
    }
}
