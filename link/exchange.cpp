// Command exchange: command lines out, answers in.
#include "link/exchange.h"

// The exchange comes with its own change.
void send_command(const char*) {}
void handle_server_data() {}
