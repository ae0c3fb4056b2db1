// Report parser under libFuzzer: any bytes at all as one collected answer,
// parsed into the headless main window.
//
// Besides surviving the sanitizers, the parser must agree with the plainest
// reading of the key rules: each field holds what a search for its key's
// first occurrence says, or its old value when the key is absent. The hard
// part is that a wrong answer looks sane, so every input runs from two
// different starting states, and the window and the enabling are checked
// against the stored fields too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/ids.h"
#include "app/state.h"
#include "app/text_number.h"
#include "monitor/report.h"
#include "platform/headless/headless.h"
#include "tests/unit/report_keys.h"
#include "ui/main_window.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

using namespace report_keys;
using Key = KeyField;
constexpr const auto& keys = key_fields;

constexpr int number_edits[][2] = {{ID_MON_INTERVAL, 4},
                                   {ID_MON_BITDN, 5},
                                   {ID_MON_BITUP, 6},
                                   {ID_MON_SNRDN, 7},
                                   {ID_MON_SNRDNX, 8}};  // control, index into keys
constexpr int switch_boxes[][2] = {{ID_MON_BITDN_SWITCH, 9}, {ID_MON_BITUP_SWITCH, 10},
                                   {ID_MON_SNR_SWITCH, 11},  {ID_MON_CANTCONNECT_SWITCH, 12},
                                   {ID_MON_WRITELOG, 13},    {ID_MON_IPDETECT, 14},
                                   {ID_MON_RESYNC, 15},      {ID_MON_REBOOT, 16},
                                   {ID_MON_NETSEND, 17}};
constexpr int panel_inputs[] = {14, 19, 70, 2, 3, 1, 4, 9, 10, 8, 68, 20, 23, 21, 22, 24, 59};

struct Start {
    std::int32_t number;
    const char* text;
    std::int32_t pending, status;
};
// Zeros with the panel locked, as after "ok. please wait ..."; and values
// no conversion yields by chance, with the panel open and an odd status.
constexpr Start starts[] = {{0, "", 1, 0}, {-777, "old value", 0, 2}};

std::string expected_text(const Key& k, std::string_view value) {
    if (k.kind == RAW) return std::string(value);
    std::size_t first = 0, last = value.size();
    while (first < last && value[first] == ' ') ++first;
    while (last > first && value[last - 1] == ' ') --last;
    return std::string(value.substr(first, last - first));
}

std::int32_t expected_number(const Key& k, std::string_view value) {
    return k.kind == SWITCH ? (value == "enabled" ? 1 : 0) : text_to_int(value);
}

void run_from(const Start& start, const std::string& text) {
    for (const Key& k : keys)
        if (k.number)
            state.*k.number = start.number;
        else
            state.*k.text = start.text;
    state.auto_config_pending = start.pending;
    state.auto_status = start.status;
    state.update_in_progress = 1;
    state.server_busy = 0;

    parse_report(text);

    // Fields against a plain search for each key.
    const std::string_view all(text);
    for (const Key& k : keys) {
        const std::size_t at = all.find(k.key);
        if (at == std::string_view::npos) {
            if (k.number)
                check(state.*k.number == (k.number == &S::auto_status ? start.status : start.number));
            if (k.text) check(state.*k.text == start.text);
            continue;
        }
        const std::string_view rest = all.substr(at + k.key.size());
        const std::size_t end = rest.find("\r\n");
        const std::string_view value =
            end == std::string_view::npos ? std::string_view() : rest.substr(0, end);
        if (k.number) check(state.*k.number == expected_number(k, value));
        if (k.text) check(state.*k.text == expected_text(k, value));
    }
    const bool has_status = all.find("auto_status:") != std::string_view::npos;
    check(state.auto_config_pending == (has_status ? 0 : start.pending));
    check(state.update_in_progress == 0);

    // The window shows the stored fields.
    check(get_control_text(ID_VALUE_DN) == std::to_string(state.md_bitdn));
    check(get_control_text(ID_VALUE_UP) == std::to_string(state.md_bitup));
    check(get_control_text(ID_VALUE_SNRM) == (state.md_snrdn.empty() ? "0" : state.md_snrdn));
    for (const auto& [id, k] : number_edits)
        check(get_control_text(id) == std::to_string(state.*keys[k].number));
    for (const auto& [id, k] : switch_boxes) check(is_checked(id) == (state.*keys[k].number == 1));
    check(get_control_text(ID_MON_NETSENDADD) == state.auto_action_netsendadd);

    // Connected look; the panel follows the lock, the two buttons the status.
    for (int id : {ID_DISCONNECT, ID_REFRESH, ID_RESYNC, ID_REBOOT, ID_SHUTDOWN}) check(control_enabled(id));
    for (int id : {ID_HOST, ID_PORT, ID_AUTO_CONNECT, ID_TRY_CONNECT, ID_INTERVAL, ID_CONNECT})
        check(!control_enabled(id));
    const bool open = state.auto_config_pending == 0;
    for (int id : panel_inputs) check(control_enabled(id) == open);
    check(control_enabled(ID_ACTIVATE) == (open && state.auto_status != 1));
    check(control_enabled(ID_DEACTIVATE) == (open && state.auto_status != 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        headless::reset();
        platform_init();
        state = ProgramState{};
        state.line_break = "\r\n";
        return build_main_window() == 1;
    }();
    check(ready);

    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const Start& start : starts) run_from(start, text);
    return 0;
}
