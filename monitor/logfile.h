// The server's log file: reception, viewer and deletion.
#pragma once

#include <string>

// A reception that makes no progress for this long is given up.
inline constexpr int RECEIVE_IDLE_TIMEOUT_MS = 10000;
// Longest wait for the connection between looks at it while nothing arrives.
inline constexpr int RECEIVE_POLL_STEP_MS = 100;
// Larger announced lengths are taken as garbage, not as a log to store.
inline constexpr int MAX_FILE_LENGTH = 256 * 1024 * 1024;
// Content is read in pieces of at most this size.
inline constexpr int RECEIVE_PIECE_SIZE = 18000;
// The viewer takes the log in blocks of this many lines, repainting between them.
inline constexpr int LOG_BLOCK_LINES = 1500;

inline constexpr const char* TEMP_FILE_NAME = "vyx_tmp";

// Reads one framed file transfer (header and content) from the connection
// into the named file: 1 when the announced content arrived completely.
int receive_file(int connection, const std::string& file_name);
void receive_log_file();
void open_log_viewer();
// Caret at the start of the editor's last line, so the end of the text shows.
void scroll_to_end(int id);
void delete_server_log();

// "logfile size:" with the byte and line counts in fixed-width fields.
std::string log_size_line(long long bytes, long long lines);
