// Report parser under libFuzzer: any bytes at all as one collected answer,
// read into the state record.
//
// Besides surviving the sanitizers, the parser must agree with the plainest
// reading of the key rules: each field holds what a search for its key's
// first occurrence says, or its old value when the key is absent. The hard
// part is that a wrong answer looks sane, so every input runs from two
// different starting states.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/state.h"
#include "app/text_number.h"
#include "monitor/report_parser.h"
#include "tests/unit/report_keys.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

using namespace report_keys;
using Key = KeyField;
constexpr const auto& keys = key_fields;

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

    read_report(text);

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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const Start& start : starts) run_from(start, text);
    return 0;
}
