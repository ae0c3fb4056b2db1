// The main loop's dispatch of control and menu events.
#pragma once

// One turn of the main loop: waits for one event and handles it.
// 1 while the loop goes on, 0 once it is to end.
int main_loop_turn();

// Control events (EVENT_CONTROL) by id; unknown ids are ignored.
void dispatch_control(int id);
// Menu events (EVENT_MENU) by item id, the Enter key included.
void dispatch_menu(int item);

// Sends a server command from the popup menu, connecting first (without the
// usual "get all") when no connection is open. Dropped when that fails.
void run_menu_command(const char* command);
