// The data handler under libFuzzer: any bytes, arriving in any pieces, over a
// real loopback connection into the headless main window.
//
// The input is a sequence of pieces, each a length byte and that many bytes.
// After every piece the handler runs once, as the main loop would. Besides
// the sanitizers, the collected text must stay within its bound, and the
// handler must leave the link usable: a "servus" ends the connection, and
// the next input connects anew.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/ids.h"
#include "fuzz/networked_program.h"
#include "link/exchange.h"

namespace {

using fuzz::check;

loopback::Peer peer;

void connect() {
    loopback::Listener& listener = fuzz::networked_program();
    state.connection = open_connection("127.0.0.1", listener.port());
    check(state.connection > 0);
    peer = listener.accept();
    check(peer.valid());
    watch_connection(state.connection);
    state.connected = 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (state.connection == 0) connect();
    for (std::size_t i = 0; i < size && state.connected == 1;) {
        const std::size_t n = std::min<std::size_t>(1 + data[i] % 64, size - i - 1);
        ++i;
        if (n == 0) break;
        check(peer.send(std::string(reinterpret_cast<const char*>(data + i), n)));
        i += n;
        check(loopback::wait_until([] { return bytes_waiting(state.connection) > 0; }, 5000));
        handle_server_data();
        check(state.answer_text.size() <= MAX_ANSWER_BYTES);
        check(state.server_busy == 0);
    }
    peer.read_for(0);  // what the client sent ("get auto") must not pile up
    if (state.connected == 0) {
        check(state.connection == 0 && state.answer_text.empty());
        peer.close();
    }
    return 0;
}
