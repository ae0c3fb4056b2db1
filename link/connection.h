// Bringing the connection to the server up (with its greeting) and down.
#pragma once

// Connects to the host and port the window shows; on success the first
// "get all" goes out unless suppress_get_all is 1. Failures are shown by the
// status display; nothing is retried here.
void connect_server();
// Closes the connection and puts every connection flag back to idle. Called
// with nothing open (a failed attempt), it shows the failure notice.
void disconnect_server();
// 0 no greeting in time, 1 greeted, 2 the server is busy.
int await_greeting();
