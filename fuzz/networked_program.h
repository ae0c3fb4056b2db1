// A check that stops the run on a broken rule; a headless program, window and network up, in a scratch dir.
#pragma once

#include <cstdlib>

#include "app/state.h"
#include "link/transport.h"
#include "platform/headless/headless.h"
#include "tests/unit/loopback_peer.h"
#include "ui/main_window.h"

namespace fuzz {

inline void check(bool ok) {
    if (!ok) std::abort();
}

// Connects the program over real loopback, as after a greeting; the server's end.
inline loopback::Peer connect_program() {
    static loopback::Listener* listener = [] {
        char dir[] = "/tmp/vyx_fuzz_XXXXXX";
        check(::mkdtemp(dir) != nullptr && ::chdir(dir) == 0);  // files the program writes land there
        platform_init();
        state.line_break = "\r\n";
        check(build_main_window() == 1 && net_start() == 1);
        state.window_shown = 1;
        return new loopback::Listener;
    }();
    state.connection = open_connection("127.0.0.1", listener->port());
    loopback::Peer peer = listener->accept();
    check(state.connection > 0 && peer.valid());
    state.connected = 1;
    return peer;
}

}  // namespace fuzz
