// Server log file.
#include "monitor/logfile.h"

// Comes with its own change.
void receive_log_file() {}
void delete_server_log() {}
