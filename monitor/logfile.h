// The server's log file: its arrival in the viewer window, and its deletion.
#pragma once

#include <string>

// The viewer takes the log in blocks of this many lines, repainting between them.
inline constexpr int LOG_BLOCK_LINES = 1500;

inline constexpr const char* TEMP_FILE_NAME = "vyx_tmp";

// A file transfer is waiting on the connection: receive it into the
// temporary file and show it in the viewer, which opens if it is closed.
void receive_log_file();
// Asks, then has the server delete its log file.
void delete_server_log();

// "logfile size:" with the byte and line counts in fixed-width fields.
std::string log_size_line(long long bytes, long long lines);
