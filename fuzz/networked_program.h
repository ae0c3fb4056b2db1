// What the fuzz targets that talk over a real loopback connection share: a
// headless program with its main window built and the network started, in a
// scratch working directory, and a check that stops the run on a broken rule.
#pragma once

#include <unistd.h>

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

// Once per process; returns the listener the program connects to.
inline loopback::Listener& networked_program() {
    static loopback::Listener* listener = [] {
        char dir[] = "/tmp/vyx_fuzz_XXXXXX";
        check(::mkdtemp(dir) != nullptr && ::chdir(dir) == 0);  // files the program writes land there
        platform_init();
        state.line_break = "\r\n";
        check(build_main_window() == 1);
        state.window_shown = 1;
        check(net_start() == 1);
        return new loopback::Listener;
    }();
    return *listener;
}

}  // namespace fuzz
