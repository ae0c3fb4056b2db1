// vyx_sim's command line: every setting with its bounds, and the help text.
#pragma once

#include <string>

namespace vyx_sim {

// Ways to misbehave on purpose, for testing a client's failure handling.
enum Fault : unsigned {
    FAULT_SILENT = 1u << 0,         // greets, then never answers
    FAULT_BUSY = 1u << 1,           // greets every client with "busy" and closes
    FAULT_LOWER = 1u << 2,          // greeting in lower case
    FAULT_SPLIT = 1u << 3,          // greeting in two pieces, split_ms apart
    FAULT_GARBAGE = 1u << 4,        // answers with random bytes, never a prompt
    FAULT_ENDLESS = 1u << 5,        // answers with text that never ends in a prompt
    FAULT_TRUNCATED = 1u << 6,      // log transfer announces more than it sends
    FAULT_NEGATIVE = 1u << 7,       // log transfer announces a negative length
    FAULT_CLOSE_MID = 1u << 8,      // closes the connection in the middle of an answer
    FAULT_NO_CONFIRM = 1u << 9,     // changes are applied but never confirmed
    FAULT_LATE_CONFIRM = 1u << 10,  // confirmations come late_ms late
    FAULT_DRIP = 1u << 11,          // log transfer sends a byte every drip_ms until the next command
    FAULT_FLOOD = 1u << 12,         // greets with flood_mb MiB of text and no greeting
    FAULT_RESET = 1u << 13,         // resets the connection reset_ms after the greeting, as if crashed
    FAULT_PUSH = 1u << 14,          // pushes the log file push_count times unasked, after the first report
};

struct Options {
    std::string bind = "127.0.0.1";
    int port = 7784;
    std::string server_version = "1.3";
    int bitdn = 6016;        // kbit/s
    int bitup = 576;         // kbit/s
    double snr = 6.5;        // dB
    double drift = 3;        // percent the rates wander
    double snr_drift = 0.8;  // dB the margin wanders
    unsigned seed = 1;
    int wait_ms = 1500;  // "ok. please wait ..." to report, for refresh
    bool please_wait = true;
    bool retrain_changes = false;  // a retrain settles on other rates and margin
    int minute_ms = 60000;         // one monitoring minute
    int log_lines = 0;
    unsigned faults = 0;
    int log_bytes = 0;  // the log file as sent is exactly this long; 0: as kept
    int split_ms = 300;
    int late_ms = 800;
    int drip_ms = 8000;
    int flood_mb = 20;
    int reset_ms = 1500;
    int push_count = 3;
    int outage_every_ms = 0;  // 0: the server never goes away
    int outage_ms = 5000;     // how long it is away each time
    int exit_after_s = 0;     // 0: run until stopped
    bool quiet = false;
    bool help = false;
};

// Parses argv into options. On a bad argument returns false with a message.
bool parse_options(int argc, char** argv, Options& out, std::string& error);
std::string help_text();

}  // namespace vyx_sim
