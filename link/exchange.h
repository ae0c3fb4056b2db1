// The command exchange with the server: command lines out, answers in.
#pragma once

#include <cstddef>

// Sends the command and CR LF. Given no connection it does nothing.
void send_command(const char* command);
// Collects the text waiting on the connection and acts on it: a complete
// answer (the prompt) goes to the report parser; "busy", "ok. please wait ..."
// and "servus" are acted on when they stand outside a complete answer.
void handle_server_data();

// "busy" from the server: the busy look for BUSY_NOTICE_MS, in a short wait,
// the monitoring panel locked until the next report.
inline constexpr int BUSY_NOTICE_MS = 700;
void show_busy_notice();

// An unfinished answer longer than this is dropped: a server that never sends
// its prompt must not make the client's memory grow without limit.
inline constexpr std::size_t MAX_ANSWER_BYTES = 1 << 20;
