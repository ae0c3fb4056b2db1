// The framed file transfer on the connection: the 8-byte marker, the content
// length as a signed 32-bit little-endian number, then the content.
#pragma once

#include <string>

// Larger files are taken off the wire and dropped: far beyond any log of a
// monitoring server, and what the viewer can still show in its window.
inline constexpr int MAX_FILE_LENGTH = 16 * 1024 * 1024;
// No byte for this long ends a reception.
inline constexpr int RECEIVE_IDLE_TIMEOUT_MS = 10000;
// After that long a reception must keep up this average rate (bytes per
// second), so a peer that sends a byte now and then cannot hold the window:
// the largest file may take RECEIVE_GRACE_MS + MAX_FILE_LENGTH / rate at most.
inline constexpr int RECEIVE_GRACE_MS = 10000;
inline constexpr int RECEIVE_MIN_RATE = 64 * 1024;
// Content is read in pieces of at most this size.
inline constexpr int RECEIVE_PIECE_SIZE = 18000;

// Takes one transfer off the connection and stores its content in the named
// file, which is created (or emptied) first. 1 when the announced content
// arrived whole and was stored; 0 otherwise. Even when the file cannot be
// written or the length is beyond MAX_FILE_LENGTH the content is read and
// dropped, so the stream does not stay stuck behind the frame. Bounded by the
// idle time-out, the average rate and the peer's close.
int receive_file(int connection, const std::string& file_name);
