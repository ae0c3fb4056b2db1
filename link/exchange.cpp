// Command exchange: command lines out, answers in.
#include "link/exchange.h"

#include <string>

#include "app/state.h"
#include "link/transport.h"

void send_command(const char* command) {
    if (state.connection <= 0) return;
    send_text(state.connection, std::string(command) + state.line_break);
}

// The answer handling comes with its own change.
void handle_server_data() {}
