// Opening and closing the connection to the server.
#pragma once

void connect_server();
void disconnect_server();
