// The TCP transport under the server link: the network stack, one connection
// to the server, the per-turn poll, raw reads and text sends.
//
// The hard part is the poll: it runs on every loop turn, so it must tell a
// file transfer (marker at the head of the waiting bytes) from text without
// removing a byte, without blocking and without allocating.
#pragma once

#include <string>

// A file transfer starts with these 8 bytes (no terminator).
inline constexpr char FILE_MARKER[] = "QXMGSFLE";
inline constexpr int FILE_MARKER_SIZE = 8;

// 1 when the stack started; stop_network only stops a started stack.
int start_network();
void stop_network();

// Blocking connect to host (dotted address, else a name lookup) and the low
// 16 bits of port. A handle > 0, or 0 on any failure (nothing is left open).
int open_connection(const std::string& host, int port);
// Network activity on the connection wakes the main loop from now on, and
// every read returns at once.
void watch_connection(int connection);
// NET_EVENT_NONE, NET_EVENT_DATA or NET_EVENT_FILE; never blocks, never
// removes bytes. A connection the server has closed answers NET_EVENT_NONE.
int poll_connection(int connection);
// Bytes that can be read now without waiting; 0 when none.
int bytes_waiting(int connection);
// One read of at most size bytes: 1..size read, 0 the server has closed,
// -1 nothing waiting or an error.
int receive_bytes(int connection, char* buffer, int size);
// Everything waiting now, read in pieces of chunk bytes; a zero byte ends
// what is taken from its piece.
std::string read_available_text(int connection, int chunk);
// Sends text up to its first zero byte in one go: bytes accepted (0 when the
// system would block), or -1 when the connection failed.
int send_text(int connection, const std::string& text);
// 1 when nothing more can arrive: the server closed (and everything it sent
// was read) or the connection failed. The poll never tells this on its own.
int connection_ended(int connection);
void close_connection(int connection);

// read_available_text stops after this many full pieces, so a peer that
// sends without pause cannot hold the loop; the rest waits for the next poll.
inline constexpr int MAX_READS_PER_CALL = 100;
