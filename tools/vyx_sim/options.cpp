// vyx_sim's command line. The hard part is that every value is bounded: no
// option may make the simulator wait, grow or run without limit unless the
// user asks for an unlimited run by leaving --exit-after out.
#include "tools/vyx_sim/options.h"

#include <arpa/inet.h>

#include <charconv>
#include <string_view>

namespace vyx_sim {
namespace {

struct FaultName {
    const char* name;
    Fault fault;
    const char* help;
};

constexpr FaultName fault_names[] = {
    {"silent", FAULT_SILENT, "greet, then never answer a command"},
    {"busy", FAULT_BUSY, "greet every client with \"busy\" and close"},
    {"lower", FAULT_LOWER, "greeting in lower case"},
    {"split", FAULT_SPLIT, "greeting in two pieces, --split-ms apart"},
    {"garbage", FAULT_GARBAGE, "answer every command with random bytes, no prompt"},
    {"endless", FAULT_ENDLESS, "answer with text that never ends in a prompt"},
    {"truncated", FAULT_TRUNCATED, "log transfer announces more bytes than it sends"},
    {"negative", FAULT_NEGATIVE, "log transfer announces a negative length"},
    {"close-mid", FAULT_CLOSE_MID, "close the connection in the middle of an answer"},
    {"no-confirm", FAULT_NO_CONFIRM, "apply changes but never confirm them"},
    {"late-confirm", FAULT_LATE_CONFIRM, "confirm changes --late-ms late"},
    {"drip", FAULT_DRIP, "log transfer: one byte every --drip-ms until the next command"},
    {"flood", FAULT_FLOOD, "greet with --flood-mb MiB of text and no greeting"},
    {"reset", FAULT_RESET, "reset the connection --reset-ms after the greeting, as a crash does"},
    {"push", FAULT_PUSH, "push the log file --push-count times unasked after the first report"},
};

bool to_int(std::string_view text, int low, int high, int& out) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return false;
    out = value;
    return true;
}

bool to_double(std::string_view text, double low, double high, double& out) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !(value >= low && value <= high))
        return false;
    out = value;
    return true;
}

}  // namespace

std::string help_text() {
    std::string t =
        "Usage: vyx_sim [OPTION]...\n"
        "Plays a VYX-Server (\"VYX Mini-Server\") beside a simulated DSL modem, over TCP.\n"
        "One client at a time; a second one gets \"busy\". Commands end in CR LF (LF alone is fine):\n"
        "get all, get auto, get warning, refresh, resync, reboot, get logfile,\n"
        "modify auto ..., commit, modify logfile action delete, shutdown, help.\n"
        "\n"
        "  --bind ADDRESS        IPv4 address to listen on (default 127.0.0.1)\n"
        "  --port N              TCP port, 0 for a free one (default 7784; 0-65535)\n"
        "  --server-version TEXT version after the greeting (default 1.3; 1-32 characters)\n"
        "  --bitdn KBITS         downstream rate the line drifts around (default 6016; 0-1000000)\n"
        "  --bitup KBITS         upstream rate (default 576; 0-1000000)\n"
        "  --snr DB              downstream SNR margin (default 6.5; 0-60)\n"
        "  --drift PERCENT       how far the rates wander, 0 for fixed rates (default 3; 0-50)\n"
        "  --snr-drift DB        how far the margin wanders, 0 for a fixed margin (default 0.8; 0-10)\n"
        "  --seed N              seed of the wandering (default 1)\n"
        "  --wait-ms MS          \"ok. please wait ...\" to report after refresh; resync takes twice,\n"
        "                        reboot four times as long (default 1500; 0-60000)\n"
        "  --no-please-wait      answer refresh, resync and reboot with the report at once\n"
        "  --retrain-changes     each resync or reboot settles on other rates and margin\n"
        "  --minute-ms MS        length of one minute of the automatic monitoring (default 60000;\n"
        "                        10-3600000)\n"
        "  --log-lines N         start with N lines in the server log (default 0; 0-100000)\n"
        "  --log-bytes N         send the log file as exactly N bytes, repeating its lines\n"
        "                        (default 0: as it is; 0-31457280)\n"
        "  --fault NAME          misbehave on purpose; may be given more than once:\n";
    for (const FaultName& f : fault_names) {
        std::string name = f.name;
        name.resize(14, ' ');
        t += "        " + name + f.help + "\n";
    }
    t += "  --split-ms MS         pause inside a split greeting (default 300; 0-60000)\n"
         "  --late-ms MS          delay of late confirmations (default 800; 0-60000)\n"
         "  --drip-ms MS          pause between the bytes of a dripped log (default 8000; 1-60000)\n"
         "  --flood-mb N          size of the flood (default 20; 1-30)\n"
         "  --reset-ms MS         greeting to reset (default 1500; 0-60000)\n"
         "  --outage-every-ms MS  every MS the server goes away: the client is reset and\n"
         "                        connections are refused (default 0: never; 0-86400000)\n"
         "  --outage-ms MS        how long each outage lasts (default 5000; 1-3600000)\n"
         "  --push-count N        unasked log transfers (default 3; 1-100)\n"
         "  --exit-after SECONDS  stop after this long (default: run until stopped; 1-86400)\n"
         "  --quiet               do not log the commands received on stderr\n"
         "  --help                show this text\n"
         "\n"
         "The first line on stdout tells the address and port listened on. SIGTERM or SIGINT,\n"
         "or the command \"shutdown\", stop the simulator with exit code 0.\n";
    return t;
}

bool parse_options(int argc, char** argv, Options& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string_view& v) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            v = argv[++i];
            return true;
        };
        auto bad = [&](std::string_view v) {
            error = "bad value for " + std::string(arg) + ": " + std::string(v);
            return false;
        };
        std::string_view v;
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--no-please-wait") {
            out.please_wait = false;
        } else if (arg == "--retrain-changes") {
            out.retrain_changes = true;
        } else if (arg == "--quiet") {
            out.quiet = true;
        } else if (arg == "--bind") {
            if (!value(v)) return false;
            in_addr a{};
            if (inet_pton(AF_INET, std::string(v).c_str(), &a) != 1) return bad(v);
            out.bind = v;
        } else if (arg == "--port") {
            if (!value(v) || !to_int(v, 0, 65535, out.port)) return error.empty() ? bad(v) : false;
        } else if (arg == "--server-version") {
            if (!value(v)) return false;
            if (v.empty() || v.size() > 32) return bad(v);
            for (char c : v)
                if (c < 0x21 || c > 0x7E) return bad(v);
            out.server_version = v;
        } else if (arg == "--bitdn") {
            if (!value(v) || !to_int(v, 0, 1000000, out.bitdn)) return error.empty() ? bad(v) : false;
        } else if (arg == "--bitup") {
            if (!value(v) || !to_int(v, 0, 1000000, out.bitup)) return error.empty() ? bad(v) : false;
        } else if (arg == "--snr") {
            if (!value(v) || !to_double(v, 0, 60, out.snr)) return error.empty() ? bad(v) : false;
        } else if (arg == "--drift") {
            if (!value(v) || !to_double(v, 0, 50, out.drift)) return error.empty() ? bad(v) : false;
        } else if (arg == "--snr-drift") {
            if (!value(v) || !to_double(v, 0, 10, out.snr_drift)) return error.empty() ? bad(v) : false;
        } else if (arg == "--seed") {
            int seed = 0;
            if (!value(v) || !to_int(v, 0, 2147483647, seed)) return error.empty() ? bad(v) : false;
            out.seed = static_cast<unsigned>(seed);
        } else if (arg == "--wait-ms") {
            if (!value(v) || !to_int(v, 0, 60000, out.wait_ms)) return error.empty() ? bad(v) : false;
        } else if (arg == "--minute-ms") {
            if (!value(v) || !to_int(v, 10, 3600000, out.minute_ms)) return error.empty() ? bad(v) : false;
        } else if (arg == "--log-lines") {
            if (!value(v) || !to_int(v, 0, 100000, out.log_lines)) return error.empty() ? bad(v) : false;
        } else if (arg == "--log-bytes") {
            if (!value(v) || !to_int(v, 0, 30 << 20, out.log_bytes)) return error.empty() ? bad(v) : false;
        } else if (arg == "--drip-ms") {
            if (!value(v) || !to_int(v, 1, 60000, out.drip_ms)) return error.empty() ? bad(v) : false;
        } else if (arg == "--flood-mb") {
            if (!value(v) || !to_int(v, 1, 30, out.flood_mb)) return error.empty() ? bad(v) : false;
        } else if (arg == "--reset-ms") {
            if (!value(v) || !to_int(v, 0, 60000, out.reset_ms)) return error.empty() ? bad(v) : false;
        } else if (arg == "--outage-every-ms") {
            if (!value(v) || !to_int(v, 0, 86400000, out.outage_every_ms))
                return error.empty() ? bad(v) : false;
        } else if (arg == "--outage-ms") {
            if (!value(v) || !to_int(v, 1, 3600000, out.outage_ms)) return error.empty() ? bad(v) : false;
        } else if (arg == "--push-count") {
            if (!value(v) || !to_int(v, 1, 100, out.push_count)) return error.empty() ? bad(v) : false;
        } else if (arg == "--split-ms") {
            if (!value(v) || !to_int(v, 0, 60000, out.split_ms)) return error.empty() ? bad(v) : false;
        } else if (arg == "--late-ms") {
            if (!value(v) || !to_int(v, 0, 60000, out.late_ms)) return error.empty() ? bad(v) : false;
        } else if (arg == "--exit-after") {
            if (!value(v) || !to_int(v, 1, 86400, out.exit_after_s)) return error.empty() ? bad(v) : false;
        } else if (arg == "--fault") {
            if (!value(v)) return false;
            bool known = false;
            for (const FaultName& f : fault_names)
                if (v == f.name) {
                    out.faults |= f.fault;
                    known = true;
                }
            if (!known) return bad(v);
        } else {
            error = "unknown option: " + std::string(arg);
            return false;
        }
    }
    return true;
}

}  // namespace vyx_sim
