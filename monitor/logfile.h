// The server's log file: reception, viewer and deletion.
#pragma once

void receive_log_file();
void delete_server_log();
