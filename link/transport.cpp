// The TCP transport: network stack start and stop, and the per-turn poll.
#include "link/transport.h"

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
    if (network_available) net_stop();
    network_available = 0;
}

int poll_connection(int) { return NET_EVENT_NONE; }

void close_connection(int connection) { net_close(connection); }
