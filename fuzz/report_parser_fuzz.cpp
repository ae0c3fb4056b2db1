// Each field holds what a plain search for its key's first occurrence says, or its old value; a wrong
// answer looks sane, so from two states: zeros with the panel locked, and values no conversion yields.
#include <string_view>

#include "app/text_number.h"
#include "fuzz/networked_program.h"
#include "monitor/report_parser.h"
#include "tests/unit/report_keys.h"

using namespace report_keys;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    for (const bool odd : {false, true}) {
        const std::int32_t number = odd ? -777 : 0, status = odd ? 2 : 0, pending = odd ? 0 : 1;
        const char* text = odd ? "old value" : "";
        set_fields(number, text);
        state.auto_status = status, state.auto_config_pending = pending;

        read_report(std::string(all));

        for (const KeyField& k : key_fields) {
            const std::size_t at = all.find(k.key);
            if (at == std::string_view::npos) {
                check(k.number ? state.*k.number == (k.number == &S::auto_status ? status : number)
                               : state.*k.text == text);
                continue;
            }
            std::string_view value = all.substr(at + k.key.size());
            value = value.substr(0, value.find("\r\n") == std::string_view::npos ? 0 : value.find("\r\n"));
            if (k.number)
                check(state.*k.number == (k.kind == SWITCH ? value == "enabled" : text_to_int(value)));
            if (k.kind == TRIMMED) {
                value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
                value.remove_suffix(value.size() - std::min(value.find_last_not_of(' ') + 1, value.size()));
            }
            if (k.text) check(state.*k.text == value);
        }
        check(state.auto_config_pending ==
              (all.find("auto_status:") == std::string_view::npos ? pending : 0));
    }
    return 0;
}
