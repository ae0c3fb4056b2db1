// Connection and greeting.
#include "link/connection.h"

// The connection comes with its own change.
void connect_server() {}
void disconnect_server() {}
