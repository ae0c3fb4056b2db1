// The command exchange with the server.
#pragma once

void send_command(const char* command);
// Handles text data waiting on the connection.
void handle_server_data();
