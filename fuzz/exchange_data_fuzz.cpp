// The data handler fed pieces (a length byte, then its bytes) over loopback: the text stays bounded, and
// a "servus" ends the connection cleanly, so the next input connects anew.
#include "fuzz/networked_program.h"
#include "link/exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzz::check;
    static loopback::Peer peer;
    if (state.connection == 0) peer = fuzz::connect_program(), watch_connection(state.connection);
    for (std::size_t i = 0; i + 1 < size && state.connected == 1;) {
        const std::size_t n = std::min<std::size_t>(1 + data[i] % 64, size - i - 1);
        check(peer.send(std::string(reinterpret_cast<const char*>(data + i + 1), n)));
        i += 1 + n;
        check(loopback::wait_until([] { return bytes_waiting(state.connection) > 0; }, 5000));
        handle_server_data();
        check(state.answer_text.size() <= 1 << 20 && state.server_busy == 0);
    }
    peer.read(0);  // what the client sent ("get auto") must not pile up
    if (state.connected == 0) check(state.connection == 0 && state.answer_text.empty()), peer.close();
    return 0;
}
