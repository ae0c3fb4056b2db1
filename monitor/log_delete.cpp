// Deleting the server's log file, after the user has said yes.
#include "app/ids.h"
#include "app/state.h"
#include "link/exchange.h"
#include "monitor/logfile.h"
#include "platform/platform.h"
#include "ui/log_window.h"

void delete_server_log() {
    if (state.connected != 1 || state.auto_config_pending != 0) return;
    const int answer =
        message_box(LOG_WINDOW, "VYX Client", "Delete VYXlog.txt on VYX-Server ?" + state.line_break,
                    MB_BUTTONS_OK_CANCEL);
    if (answer != MB_ANSWER_OK) return;
    // The server's answer reaches the command exchange like any other.
    send_command("modify logfile action delete");
    close_log_viewer();
}
