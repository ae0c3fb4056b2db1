// The reachability test: the dotted text read part by part, then one echo.
//
// The hard part is reading the address exactly as the rest of the program
// reads numbers: no range check, so 300 is 44 and -1 is 255, and a part
// that is no number is 0. A text of four labels that are names therefore
// becomes 0.0.0.0, which does not answer, and no connection is tried.
#include "link/reachability.h"

#include <string_view>

#include "app/text_number.h"
#include "platform/platform.h"

std::uint32_t parse_dotted_address(const std::string& text) {
    std::string_view rest(text.c_str());  // a text ends at its first zero byte
    std::uint32_t address = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos) return 0;
        address = address << 8 | (static_cast<std::uint32_t>(text_to_int(rest.substr(0, dot))) & 0xFF);
        rest.remove_prefix(dot + 1);
    }
    return address << 8 | (static_cast<std::uint32_t>(text_to_int(rest)) & 0xFF);
}

int test_reachability(const std::string& host) {
    const std::uint32_t address = parse_dotted_address(host);
    const int echo = icmp_echo(address, ECHO_DATA, ECHO_DATA_SIZE, ECHO_REPLY_SIZE, ECHO_TIMEOUT_MS);
    // Where the system lets nobody but the privileged ping, the gate is left
    // open: the connect itself then says whether the host is there.
    return echo == 1 || echo == ECHO_REFUSED ? 1 : 0;
}
