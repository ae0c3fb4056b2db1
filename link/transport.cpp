// The TCP transport over the platform's sockets.
//
// The hard part is keeping the per-turn poll cheap and side-effect free: one
// byte count, and an 8-byte peek into a stack buffer only when a whole
// marker could be waiting. Everything that reads is bounded, so a peer can
// neither block the program nor keep it reading for ever.
#include "link/transport.h"

#include <climits>
#include <cstring>

#include "app/ids.h"
#include "platform/platform.h"

namespace {
int network_available = 0;
}

int start_network() {
    network_available = net_start();
    return network_available;
}

void stop_network() {
    if (network_available == 1) net_stop();
    network_available = 0;
}

int open_connection(const std::string& host, int port) {
    // An empty host would make some systems connect to the local machine.
    const std::string name(host.c_str());
    if (name.empty()) return 0;
    return net_open(name, port);
}

void watch_connection(int connection) {
    if (connection > 0) net_watch(connection, MAIN_WINDOW);
}

int poll_connection(int connection) {
    const int waiting = bytes_waiting(connection);
    if (waiting <= 0) return NET_EVENT_NONE;
    if (waiting < FILE_MARKER_SIZE) return NET_EVENT_DATA;
    char head[FILE_MARKER_SIZE];
    const int seen = net_peek(connection, head, FILE_MARKER_SIZE);
    if (seen == FILE_MARKER_SIZE && std::memcmp(head, FILE_MARKER, FILE_MARKER_SIZE) == 0)
        return NET_EVENT_FILE;
    return NET_EVENT_DATA;
}

int bytes_waiting(int connection) {
    if (connection <= 0) return 0;
    const int n = net_bytes_waiting(connection);
    return n > 0 ? n : 0;
}

int receive_bytes(int connection, char* buffer, int size) {
    // A zero-sized read would look like a closed connection.
    if (connection <= 0 || !buffer || size <= 0) return -1;
    return net_receive(connection, buffer, size);
}

std::string read_available_text(int connection, int chunk) {
    std::string result;
    if (connection <= 0 || chunk <= 0) return result;
    std::string buffer(static_cast<std::size_t>(chunk), '\0');
    for (int reads = 0; reads < MAX_READS_PER_CALL; ++reads) {
        const int n = receive_bytes(connection, buffer.data(), chunk);
        if (n <= 0) break;
        const char* zero =
            static_cast<const char*>(std::memchr(buffer.data(), 0, static_cast<std::size_t>(n)));
        result.append(buffer.data(),
                      zero ? static_cast<std::size_t>(zero - buffer.data()) : static_cast<std::size_t>(n));
        if (n != chunk) break;
    }
    return result;
}

int send_text(int connection, const std::string& text) {
    if (connection <= 0) return -1;
    const std::size_t length = std::strlen(text.c_str());
    if (length > static_cast<std::size_t>(INT_MAX)) return -1;
    return net_send(connection, text.data(), static_cast<int>(length));
}

int connection_ended(int connection) { return connection <= 0 || net_ended(connection) ? 1 : 0; }

void close_connection(int connection) {
    if (connection > 0) net_close(connection);
}
