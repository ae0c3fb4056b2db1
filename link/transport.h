// The TCP transport under the server link.
#pragma once

#include <string>

int start_network();
void stop_network();
// NET_EVENT_NONE, NET_EVENT_DATA or NET_EVENT_FILE; never blocks.
int poll_connection(int connection);
void close_connection(int connection);
