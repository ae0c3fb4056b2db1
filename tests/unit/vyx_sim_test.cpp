// vyx_sim as a client meets it: the real binary in a child process on a free
// loopback port, spoken to over a real socket with a time-out on every read.
// Covers the greeting, the reports and their keys, the please-wait sequence,
// confirmations and their effect, the framed log and its deletion, the busy
// answer to a second client, stopping, the command log, and every fault.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <vector>

#include "tests/unit/loopback_peer.h"
#include "tests/unit/sim_process.h"

namespace {

using loopback::Clock;
using loopback::ms_since;
using loopback::Peer;
using simproc::Sim;
using simproc::wait_for_exit;
using simproc::read_pipe;
using simproc::spawn;

using simproc::GREETING;
using simproc::PROMPT;
constexpr const char* CONFIRMATION = "modification successfully\r\nVYX>";

const char* const REPORT_KEYS[] = {
    "md_bitdn:",
    "md_bitup:",
    "md_snrdn:",
    "auto_status:",
    "auto_interval:",
    "auto_bitdn:",
    "auto_bitup:",
    "auto_snrdn:",
    "auto_snrdnx:",
    "auto_switch_bitdn:",
    "auto_switch_bitup:",
    "auto_switch_snrdn:",
    "auto_switch_cantconnect:",
    "auto_action_writelog:",
    "auto_action_ipdetect:",
    "auto_action_resync:",
    "auto_action_reboot:",
    "auto_action_netsend:",
    "auto_action_netsendadd:",
    "warning:",
};


// Runs the simulator to its end: exit code and stdout.
std::pair<int, std::string> run_to_end(const std::vector<std::string>& args) {
    int out[2];
    ::pipe2(out, O_CLOEXEC);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = spawn(args, out[1], null);
    ::close(out[1]);
    ::close(null);
    const std::string text = read_pipe(out[0], "\x04never", 5000);
    ::close(out[0]);
    const int code = wait_for_exit(pid, 5000);
    if (code == -1) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return {code, text};
}

std::string ask(Peer& p, const std::string& command, const std::string& until = PROMPT,
                int timeout_ms = 3000) {
    p.send(command + "\r\n");
    return p.read_until(until, timeout_ms);
}

// key -> value of every "key:value" CR LF line.
std::map<std::string, std::string> values_of(const std::string& report) {
    std::map<std::string, std::string> values;
    std::size_t start = 0;
    for (std::size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = report.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) values[line.substr(0, colon + 1)] = line.substr(colon + 1);
    }
    return values;
}

int count_of(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Reads one framed file transfer; length is the announced one.
std::string read_transfer(Peer& p, std::int32_t* length, int timeout_ms = 3000) {
    const std::string header = p.read_exact(12, timeout_ms);
    EXPECT_EQ(header.substr(0, 8), "QXMGSFLE");
    if (header.size() != 12) return {};
    const auto* b = reinterpret_cast<const unsigned char*>(header.data() + 8);
    *length =
        static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
    return *length > 0 ? p.read_exact(static_cast<std::size_t>(*length), timeout_ms) : std::string();
}

// ---- Greeting and reports ----------------------------------------------------

TEST(VyxSimTest, GreetsWithItsVersionAndThePrompt) {
    Sim sim({"--server-version", "9.87"});
    ASSERT_TRUE(sim.listening());
    Peer p = sim.connect();
    EXPECT_EQ(p.read_until(PROMPT), std::string(GREETING) + "9.87" + PROMPT);
    EXPECT_EQ(p.read_for(100), "");
}

TEST(VyxSimTest, FullReportCarriesAllTwentyKeysOncePerLine) {
    Sim sim({"--drift", "0", "--snr-drift", "0", "--bitdn", "7000", "--bitup", "800", "--snr", "9.5"});
    Peer p = sim.greeted();
    const std::string report = ask(p, "get all");
    ASSERT_TRUE(ends_with(report, PROMPT)) << report;
    for (const char* key : REPORT_KEYS) {
        SCOPED_TRACE(key);
        EXPECT_EQ(count_of(report, std::string("\n") + key), 1) << "at the start of a line, once";
    }
    auto v = values_of(report);
    EXPECT_EQ(v["md_bitdn:"], "7000");
    EXPECT_EQ(v["md_bitup:"], "800");
    EXPECT_EQ(v["md_snrdn:"], "9.5");
    EXPECT_EQ(v["auto_status:"], "disabled");
    EXPECT_EQ(v["warning:"], "0");
    EXPECT_EQ(p.read_for(100), "") << "one report per command";
}

TEST(VyxSimTest, RatesAndMarginDriftWithinTheirBounds) {
    Sim sim({"--drift", "10", "--snr-drift", "1", "--bitdn", "6000", "--bitup", "600", "--snr", "8"});
    Peer p = sim.greeted();
    std::map<std::string, int> distinct;
    for (int i = 0; i < 12; ++i) {
        auto v = values_of(ask(p, "get all"));
        const int dn = std::atoi(v["md_bitdn:"].c_str()), up = std::atoi(v["md_bitup:"].c_str());
        const double snr = std::atof(v["md_snrdn:"].c_str());
        EXPECT_GE(dn, 5400);
        EXPECT_LE(dn, 6600);
        EXPECT_GE(up, 540);
        EXPECT_LE(up, 660);
        EXPECT_GE(snr, 7.0 - 1e-9);
        EXPECT_LE(snr, 9.0 + 1e-9);
        ++distinct[v["md_bitdn:"]];
    }
    EXPECT_GT(distinct.size(), 1u) << "the rate should wander";
}

TEST(VyxSimTest, QueriesGetTheirOwnShortAnswers) {
    Sim sim({"--drift", "0", "--snr-drift", "0"});
    Peer p = sim.greeted();
    struct {
        const char* command;
        std::vector<std::string> must_have, must_not_have;
        const char* exactly;
    } cases[] = {
        {"get auto",
         {"auto_status:disabled\r\n", "\nauto_interval:", "\nauto_action_netsendadd:"},
         {"md_bitdn:", "warning:"},
         nullptr},
        {"get warning", {}, {}, "warning:0\r\nVYX>"},
        {"", {}, {}, "\r\nVYX>"},
        {"help", {"get all", "modify auto"}, {}, nullptr},
        {"frobnicate", {}, {"busy", "servus", "please wait", "frobnicate"}, nullptr},
        {"busy", {}, {"busy"}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string answer = ask(p, c.command);
        EXPECT_TRUE(ends_with(answer, PROMPT)) << answer;
        if (c.exactly) {
            EXPECT_EQ(answer, c.exactly);
        }
        for (const std::string& s : c.must_have) EXPECT_NE(answer.find(s), std::string::npos) << s;
        for (const std::string& s : c.must_not_have) EXPECT_EQ(answer.find(s), std::string::npos) << s;
    }
    // A bare LF ends a command too (a terminal user's Enter).
    p.send("get warning\n");
    EXPECT_EQ(p.read_until(PROMPT), "warning:0\r\nVYX>");
}

TEST(VyxSimTest, ActionsSayPleaseWaitThenReportWhenDone) {
    struct {
        const char* command;
        int wait_ms;     // with --wait-ms 250
        bool line_down;  // the line retrains meanwhile
    } cases[] = {{"refresh", 250, false}, {"resync", 500, true}, {"reboot", 1000, true}};
    Sim sim({"--wait-ms", "250"});
    Peer p = sim.greeted();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const auto start = Clock::now();
        EXPECT_EQ(ask(p, c.command, "\r\n"), "ok. please wait ...\r\n");
        // Asked meanwhile, the line shows what it does right now.
        const auto meanwhile = values_of(ask(p, "get all"));
        EXPECT_EQ(meanwhile.at("md_state:"), c.line_down ? "training" : "showtime");
        if (c.line_down) {
            EXPECT_EQ(meanwhile.at("md_bitdn:"), "0");
        }

        const std::string report = p.read_until(PROMPT, c.wait_ms + 3000);
        EXPECT_GE(ms_since(start), c.wait_ms - 5);
        EXPECT_TRUE(ends_with(report, PROMPT)) << report;
        EXPECT_EQ(values_of(report)["md_state:"], "showtime");
        EXPECT_NE(report.find("\nauto_status:"), std::string::npos);
        EXPECT_EQ(p.read_for(50), "");
    }
}

TEST(VyxSimTest, WithoutPleaseWaitActionsReportAtOnce) {
    Sim sim({"--no-please-wait"});
    Peer p = sim.greeted();
    for (const char* command : {"refresh", "resync", "reboot"}) {
        SCOPED_TRACE(command);
        const std::string report = ask(p, command, PROMPT, 1000);
        EXPECT_EQ(report.find("please wait"), std::string::npos);
        EXPECT_EQ(count_of(report, "\nmd_bitdn:"), 1);
    }
}

// ---- Monitoring settings -------------------------------------------------------

TEST(VyxSimTest, EveryChangeIsConfirmedAndShowsInTheNextReport) {
    struct {
        const char* command;
        const char* key;
        const char* value;
    } cases[] = {
        {"modify auto interval 10", "auto_interval:", "10"},
        {"modify auto status enable", "auto_status:", "enabled"},
        {"modify auto status disable", "auto_status:", "disabled"},
        {"modify auto bitdn 08", "auto_bitdn:", "8"},
        {"modify auto bitdn ", "auto_bitdn:", "0"},
        {"modify auto bitup 512", "auto_bitup:", "512"},
        {"modify auto snrdn 5", "auto_snrdn:", "5"},
        {"modify auto snrdnx 12", "auto_snrdnx:", "12"},
        {"modify auto switch bitdn disable", "auto_switch_bitdn:", "disabled"},
        {"modify auto switch bitup enable", "auto_switch_bitup:", "enabled"},
        {"modify auto switch snrdn disable", "auto_switch_snrdn:", "disabled"},
        {"modify auto switch cantconnect disable", "auto_switch_cantconnect:", "disabled"},
        {"modify auto action writelog disable", "auto_action_writelog:", "disabled"},
        {"modify auto action ipdetect enable", "auto_action_ipdetect:", "enabled"},
        {"modify auto action resync disable", "auto_action_resync:", "disabled"},
        {"modify auto action reboot enable", "auto_action_reboot:", "enabled"},
        {"modify auto action netsend enable", "auto_action_netsend:", "enabled"},
        {"modify auto action netsendadd office pc", "auto_action_netsendadd:", "office pc"},
        {"modify auto action netsendadd *", "auto_action_netsendadd:", ""},
        {"modify auto switch bitup maybe", "auto_switch_bitup:", "enabled"},
        {"modify auto frobnicate 3", "auto_interval:", "10"},
        {"commit", "auto_interval:", "10"},
    };
    Sim sim({});
    Peer p = sim.greeted();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(ask(p, c.command), CONFIRMATION);
        EXPECT_EQ(values_of(ask(p, "get all"))[c.key], c.value);
    }
}

TEST(VyxSimTest, WarningIsOneWhileAnEnabledTriggerHolds) {
    struct {
        const char* what;
        std::vector<std::string> changes;
        const char* warning;
    } cases[] = {
        {"line within every bound", {}, "0"},
        {"downstream below its threshold", {"modify auto bitdn 7000"}, "1"},
        {"... but that trigger switched off",
         {"modify auto bitdn 7000", "modify auto switch bitdn disable"},
         "0"},
        {"upstream below, switch off by default", {"modify auto bitup 600"}, "0"},
        {"upstream below, switch on", {"modify auto bitup 600", "modify auto switch bitup enable"}, "1"},
        {"margin under the range", {"modify auto snrdn 8"}, "1"},
        {"margin over the range", {"modify auto snrdnx 5", "modify auto snrdn 2"}, "1"},
        {"bounds given the other way round", {"modify auto snrdn 15", "modify auto snrdnx 3"}, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sim sim({"--drift", "0", "--snr-drift", "0", "--bitdn", "6000", "--bitup", "500", "--snr", "6.5"});
        Peer p = sim.greeted();
        for (const std::string& change : c.changes) ASSERT_EQ(ask(p, change), CONFIRMATION);
        EXPECT_EQ(ask(p, "get warning"), std::string("warning:") + c.warning + PROMPT);
        EXPECT_EQ(values_of(ask(p, "get all"))["warning:"], c.warning);
    }
}

TEST(VyxSimTest, ActiveMonitoringChecksAndLogsOnItsInterval) {
    Sim sim({"--minute-ms", "50", "--drift", "0", "--wait-ms", "50"});
    Peer p = sim.greeted();
    for (const char* change :
         {"modify auto interval 1", "modify auto bitdn 9000", "modify auto status enable"})
        ASSERT_EQ(ask(p, change), CONFIRMATION);
    p.read_for(400);
    std::int32_t length = 0;
    p.send("get logfile\r\n");
    const std::string log = read_transfer(p, &length);
    EXPECT_GE(count_of(log, "check: "), 2) << log;
    EXPECT_NE(log.find("DSL resync"), std::string::npos) << "the trigger's action ran";
}

// ---- Log file ----------------------------------------------------------------

TEST(VyxSimTest, LogComesFramedAndDeletionEmptiesIt) {
    struct {
        int seeded;
    } cases[] = {{0}, {3}, {3001}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seeded);
        Sim sim({"--log-lines", std::to_string(c.seeded)});
        Peer p = sim.greeted();
        std::int32_t length = -1;
        p.send("get logfile\r\n");
        const std::string log = read_transfer(p, &length);
        EXPECT_EQ(static_cast<std::size_t>(length), log.size());
        // Seeded lines, the start and this client's connection.
        EXPECT_EQ(count_of(log, "\r\n"), c.seeded + 2);
        EXPECT_TRUE(ends_with(log, "\r\n"));
        EXPECT_NE(log.find("connected"), std::string::npos);
        EXPECT_EQ(p.read_for(100), "") << "nothing after the content";

        const std::string answer = ask(p, "modify logfile action delete");
        EXPECT_TRUE(ends_with(answer, PROMPT)) << answer;
        p.send("get logfile\r\n");
        EXPECT_EQ(read_transfer(p, &length), "");
        EXPECT_EQ(length, 0);
        EXPECT_EQ(p.read_for(100), "");
    }
}

TEST(VyxSimTest, LogRecordsWhatHappened) {
    Sim sim({"--wait-ms", "20"});
    Peer p = sim.greeted();
    ask(p, "refresh", "\r\n");
    p.read_until(PROMPT);
    ask(p, "modify auto interval 15");
    ask(p, "commit");
    std::int32_t length = 0;
    p.send("get logfile\r\n");
    const std::string log = read_transfer(p, &length);
    for (const char* entry : {"started", "connected", "data refresh requested", "data refresh done",
                              "interval set to 15", "configuration saved"})
        EXPECT_NE(log.find(entry), std::string::npos) << entry;
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  [^\r\n]+\r\n)");
    EXPECT_TRUE(std::regex_search(log, line));
}

// ---- Clients, stopping, the command log ---------------------------------------

TEST(VyxSimTest, SecondClientIsToldBusyAndTheFirstKeepsItsConnection) {
    Sim sim({});
    Peer first = sim.greeted();
    Peer second = sim.connect();
    EXPECT_EQ(second.read_until("\r\n"), "busy\r\n");
    EXPECT_TRUE(second.closed_within(3000));
    EXPECT_EQ(ask(first, "get warning").substr(0, 8), "warning:");

    first.close();
    // Once the first has gone, the next one is welcome again.
    std::string greeting;
    ASSERT_TRUE(loopback::wait_until(
        [&] {
            Peer next = sim.connect();
            greeting = next.read_until(PROMPT, 1000);
            return greeting.find(GREETING) != std::string::npos;
        },
        3000))
        << greeting;
}

TEST(VyxSimTest, ShutdownSaysServusAndEndsTheProgram) {
    Sim sim({});
    Peer p = sim.greeted();
    EXPECT_EQ(ask(p, "shutdown", "\r\n"), "servus\r\n");
    EXPECT_TRUE(p.closed_within(3000));
    EXPECT_EQ(sim.exit_code(3000), 0);
}

TEST(VyxSimTest, SignalsStopItCleanlyEvenMidAnswer) {
    for (int signal_number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal_number);
        Sim sim({"--wait-ms", "5000"});
        Peer p = sim.greeted();
        ask(p, "reboot", "\r\n");
        EXPECT_EQ(sim.stop(signal_number, 3000), 0);
        EXPECT_TRUE(p.closed_within(1000));
    }
}

TEST(VyxSimTest, ExitAfterBoundsTheRun) {
    const auto start = Clock::now();
    const auto [code, out] = run_to_end({"--port", "0", "--exit-after", "1", "--quiet"});
    EXPECT_EQ(code, 0);
    EXPECT_GE(ms_since(start), 900);
    EXPECT_NE(out.find("listening on 127.0.0.1 port "), std::string::npos);
}

TEST(VyxSimTest, EachCommandIsLoggedWithATimestamp) {
    Sim sim({});
    Peer p = sim.greeted();
    ask(p, "get all");
    ask(p, "get warning");
    p.send("\x01odd\r\n");
    p.read_until(PROMPT);
    const std::string log = sim.log();
    const std::string stamp = R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] 127\.0\.0\.1:\d+ > )";
    for (const char* command : {"get all", "get warning", R"(\\x01odd)"})
        EXPECT_TRUE(std::regex_search(log, std::regex(stamp + command))) << command << "\n" << log;
}

TEST(VyxSimTest, OverlongLinesAreDroppedAndTheNextCommandWorks) {
    Sim sim({});
    Peer p = sim.greeted();
    p.send(std::string(100000, 'a') + "\r\n");
    EXPECT_EQ(ask(p, "get warning"), "warning:0\r\nVYX>");
}

// ---- Faults --------------------------------------------------------------------

TEST(VyxSimTest, FaultsGreet) {
    struct {
        const char* fault;
        const char* first_piece;  // of the greeting within 100 ms, if known
        bool welcomed;
    } cases[] = {
        {"busy", "busy\r\n", false},
        {"lower", "welcome to vyx mini-server v1.3\r\nVYX>", false},
        {"split", "Welcome to V", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Sim sim({"--fault", c.fault, "--split-ms", "300"});
        Peer p = sim.connect();
        const std::string first = p.read_for(100);
        EXPECT_EQ(first, c.first_piece);
        const bool whole = first.find(PROMPT) != std::string::npos || first == "busy\r\n";
        const std::string rest = whole ? std::string() : p.read_until(PROMPT, 2000);
        EXPECT_EQ((first + rest).find(GREETING) != std::string::npos, c.welcomed);
        if (std::string(c.fault) == "busy") {
            EXPECT_TRUE(p.closed_within(3000));
        }
    }
}

TEST(VyxSimTest, FaultsAnswer) {
    struct {
        const char* fault;
        const char* command;
        int listen_ms;
        std::size_t at_least;  // bytes
        bool prompt;           // ends in the prompt
        bool closes;
    } cases[] = {
        {"silent", "get all", 400, 0, false, false},
        {"garbage", "get all", 300, 64, false, false},
        {"endless", "get all", 300, 5000, false, false},
        {"close-mid", "get all", 1000, 1, false, true},
        {"no-confirm", "modify auto bitdn 7000", 900, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Sim sim({"--fault", c.fault});
        Peer p = sim.greeted();
        p.send(std::string(c.command) + "\r\n");
        const std::string got = p.read_for(c.listen_ms);
        EXPECT_GE(got.size(), c.at_least);
        if (c.at_least == 0) {
            EXPECT_EQ(got, "");
        }
        EXPECT_EQ(got.find("VYX>"), std::string::npos) << "no prompt may come";
        for (const char* text : {"busy", "servus", "ok. please wait", "QXMGSFLE"})
            EXPECT_EQ(got.find(text), std::string::npos) << text;
        if (c.closes) {
            EXPECT_TRUE(p.closed_within(2000));
        } else {
            EXPECT_FALSE(p.closed_within(100));
        }
        p.close();
        // Whatever the last client got, the next one is greeted.
        EXPECT_TRUE(loopback::wait_until(
            [&] {
                Peer next = sim.connect();
                return next.read_until(PROMPT, 500).find(GREETING) != std::string::npos;
            },
            3000));
    }
}

TEST(VyxSimTest, NeverConfirmedChangesStillApply) {
    Sim sim({"--fault", "no-confirm"});
    Peer p = sim.greeted();
    p.send("modify auto bitdn 7000\r\n");
    EXPECT_EQ(p.read_for(700), "");
    EXPECT_EQ(values_of(ask(p, "get all"))["auto_bitdn:"], "7000");
}

TEST(VyxSimTest, LateConfirmationsComeAfterTheirDelayInOrder) {
    Sim sim({"--fault", "late-confirm", "--late-ms", "300"});
    Peer p = sim.greeted();
    const auto start = Clock::now();
    p.send("modify auto bitdn 7000\r\nmodify auto bitup 700\r\n");
    EXPECT_EQ(p.read_for(200), "");
    const std::string both = p.read_until(std::string(CONFIRMATION) + CONFIRMATION, 3000);
    EXPECT_EQ(both, std::string(CONFIRMATION) + CONFIRMATION);
    EXPECT_GE(ms_since(start), 295);
}

TEST(VyxSimTest, FaultyTransfersAnnounceWhatTheyDoNotSend) {
    struct {
        const char* fault;
        bool negative;
    } cases[] = {{"truncated", false}, {"negative", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Sim sim({"--fault", c.fault, "--log-lines", "10"});
        Peer p = sim.greeted();
        p.send("get logfile\r\n");
        const std::string header = p.read_exact(12);
        ASSERT_EQ(header.substr(0, 8), "QXMGSFLE");
        const auto* b = reinterpret_cast<const unsigned char*>(header.data() + 8);
        const auto length =
            static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
        const std::string content = p.read_for(500);
        EXPECT_GT(content.size(), 0u);
        if (c.negative) {
            EXPECT_LT(length, 0);
        } else {
            EXPECT_GT(static_cast<std::size_t>(length), content.size());
        }
        EXPECT_FALSE(p.closed_within(100)) << "the connection stays open, silent";
    }
}

// ---- Command line -------------------------------------------------------------

TEST(VyxSimTest, HelpDocumentsEveryOption) {
    const auto [code, text] = run_to_end({"--help"});
    EXPECT_EQ(code, 0);
    for (const char* option : {"--bind",
                               "--port",
                               "--server-version",
                               "--bitdn",
                               "--bitup",
                               "--snr",
                               "--drift",
                               "--snr-drift",
                               "--seed",
                               "--wait-ms",
                               "--no-please-wait",
                               "--minute-ms",
                               "--log-lines",
                               "--fault",
                               "--split-ms",
                               "--late-ms",
                               "--exit-after",
                               "--quiet",
                               "--help",
                               "silent",
                               "busy",
                               "lower",
                               "split",
                               "garbage",
                               "endless",
                               "truncated",
                               "negative",
                               "close-mid",
                               "no-confirm",
                               "late-confirm"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(VyxSimTest, BadOrUnboundedArgumentsAreRefused) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "70000"},       {"--port", "-1"},        {"--port"},
        {"--wait-ms", "600001"},   {"--exit-after", "0"},   {"--exit-after", "86401"},
        {"--fault", "nonsense"},   {"--bind", "localhost"}, {"--drift", "51"},
        {"--log-lines", "100001"}, {"--minute-ms", "1"},    {"--server-version", "a b"},
        {"--frobnicate"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        EXPECT_EQ(run_to_end(args).first, 2);
    }
}

}  // namespace
