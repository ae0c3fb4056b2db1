// Sending the monitoring configuration to the server: the panel's controls
// are compared with the settings the server last reported, and every
// difference goes out as its own "modify auto ..." command.
#pragma once

#include <string>

// Sends the differences, the status and "commit" when requested, then asks
// for the new state with "get all". Blocks until done (at most 18 waits).
void send_monitoring_config();

// "enable" for 1, "disable" for 0, empty for anything else.
std::string switch_word(int value);

// Waits for the server's "modification successfully" and its prompt: at most
// six polls after 30, 60, ... 180 ms. What it reads is consumed; a file
// transfer is left waiting for the loop and ends the wait.
void wait_modification_confirmed();
