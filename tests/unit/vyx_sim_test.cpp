// vyx_sim as a client meets it: the real binary in a child process on a free
// loopback port, spoken to over a real socket with a time-out on every read.
// Covers the greeting, the report and its keys, the please-wait sequence,
// confirmations and their effect, the framed log and its deletion, the busy
// answer to a second client, stopping, every fault and bad arguments.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <map>
#include <vector>

#include "tests/unit/loopback_peer.h"
#include "tests/unit/report_keys.h"
#include "tests/unit/sim_process.h"

namespace {

using loopback::Clock;
using loopback::ms_since;
using loopback::Peer;
using simproc::GREETING;
using simproc::PROMPT;
using simproc::Sim;
constexpr const char* CONFIRMATION = "modification successfully\r\nVYX>";

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

// The 32-bit little-endian length behind the 8-byte marker of a framed transfer.
std::int32_t announced_length(const std::string& header) {
    EXPECT_EQ(header.substr(0, 8), "QXMGSFLE");
    if (header.size() < 12) return -1;
    const auto* b = reinterpret_cast<const unsigned char*>(header.data() + 8);
    return static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

// Asks for the log and reads one framed transfer; length is the announced one.
std::string get_log(Peer& p, std::int32_t* length) {
    p.send("get logfile\r\n");
    *length = announced_length(p.read_exact(12));
    return *length > 0 ? p.read_exact(static_cast<std::size_t>(*length)) : std::string();
}

bool next_client_greeted(const Sim& sim) {
    return loopback::wait_until(
        [&] { return sim.connect().read_until(PROMPT, 500).find(GREETING) != std::string::npos; }, 3000);
}

TEST(VyxSimTest, GreetsThenReportsAllTwentyKeysOncePerLine) {
    Sim sim({"--server-version", "9.87", "--drift", "0", "--snr-drift", "0", "--bitdn", "7000", "--bitup",
             "800", "--snr", "9.5"});
    ASSERT_TRUE(sim.listening());
    Peer p = sim.connect();
    EXPECT_EQ(p.read_until(PROMPT), std::string(GREETING) + "9.87" + PROMPT);
    EXPECT_EQ(p.read_for(100), "");
    const std::string report = ask(p, "get all");
    ASSERT_TRUE(report.ends_with(PROMPT)) << report;
    for (const auto& k : report_keys::key_fields)
        EXPECT_EQ(count_of(report, "\n" + std::string(k.key)), 1) << k.key;
    auto v = values_of(report);
    EXPECT_EQ(v["md_bitdn:"] + " " + v["md_bitup:"] + " " + v["md_snrdn:"], "7000 800 9.5");
    EXPECT_EQ(v["auto_status:"], "disabled");
    EXPECT_EQ(v["warning:"], "0");
    EXPECT_EQ(p.read_for(100), "") << "one report per command";
    EXPECT_EQ(ask(p, "get warning"), "warning:0\r\nVYX>");
    p.send(std::string(100000, 'a') + "\r\n");  // an overlong line is dropped
    p.send("get warning\n");                    // a bare LF ends a command too
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
        EXPECT_TRUE(report.ends_with(PROMPT)) << report;
        EXPECT_EQ(values_of(report)["md_state:"], "showtime");
        EXPECT_EQ(count_of(report, "\nauto_status:"), 1);
        EXPECT_EQ(p.read_for(50), "");
    }
}

TEST(VyxSimTest, EveryChangeIsConfirmedAndShowsInTheNextReport) {
    struct {
        const char* command;
        const char* key;
        const char* value;
    } cases[] = {
        {"modify auto interval 10", "auto_interval:", "10"},
        {"modify auto status enable", "auto_status:", "enabled"},
        {"modify auto bitdn 08", "auto_bitdn:", "8"},
        {"modify auto bitdn ", "auto_bitdn:", "0"},
        {"modify auto snrdnx 12", "auto_snrdnx:", "12"},
        {"modify auto switch bitup enable", "auto_switch_bitup:", "enabled"},
        {"modify auto switch cantconnect disable", "auto_switch_cantconnect:", "disabled"},
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
        std::vector<std::string> changes;
        const char* warning;
    } cases[] = {
        {{}, "0"},
        {{"modify auto bitdn 7000"}, "1"},
        {{"modify auto bitdn 7000", "modify auto switch bitdn disable"}, "0"},
        {{"modify auto bitup 600"}, "0"},  // its switch is off by default
        {{"modify auto snrdnx 5", "modify auto snrdn 2"}, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.changes.empty() ? "" : c.changes.back());
        Sim sim({"--drift", "0", "--snr-drift", "0", "--bitdn", "6000", "--bitup", "500", "--snr", "6.5"});
        Peer p = sim.greeted();
        for (const std::string& change : c.changes) ASSERT_EQ(ask(p, change), CONFIRMATION);
        EXPECT_EQ(ask(p, "get warning"), std::string("warning:") + c.warning + PROMPT);
        EXPECT_EQ(values_of(ask(p, "get all"))["warning:"], c.warning);
    }
}

TEST(VyxSimTest, LogComesFramedAndDeletionEmptiesIt) {
    for (int seeded : {0, 3001}) {
        SCOPED_TRACE(seeded);
        Sim sim({"--log-lines", std::to_string(seeded)});
        Peer p = sim.greeted();
        std::int32_t length = -1;
        const std::string log = get_log(p, &length);
        EXPECT_EQ(static_cast<std::size_t>(length), log.size());
        // Seeded lines, the start and this client's connection.
        EXPECT_EQ(count_of(log, "\r\n"), seeded + 2);
        EXPECT_TRUE(log.ends_with("\r\n"));
        EXPECT_NE(log.find("connected"), std::string::npos);
        EXPECT_EQ(p.read_for(100), "") << "nothing after the content";

        EXPECT_TRUE(ask(p, "modify logfile action delete").ends_with(PROMPT));
        EXPECT_EQ(get_log(p, &length), "");
        EXPECT_EQ(length, 0);
        EXPECT_EQ(p.read_for(100), "");
    }
}

TEST(VyxSimTest, SecondClientIsToldBusyAndTheFirstKeepsItsConnection) {
    Sim sim({});
    Peer first = sim.greeted();
    Peer second = sim.connect();
    EXPECT_EQ(second.read_until("\r\n"), "busy\r\n");
    EXPECT_TRUE(second.closed_within(3000));
    EXPECT_EQ(ask(first, "get warning").substr(0, 8), "warning:");
    first.close();
    EXPECT_TRUE(next_client_greeted(sim)) << "once the first has gone, the next one is welcome";
}

TEST(VyxSimTest, ShutdownSaysServusAndEndsTheProgram) {
    Sim sim({});
    Peer p = sim.greeted();
    EXPECT_EQ(ask(p, "shutdown", "\r\n"), "servus\r\n");
    EXPECT_TRUE(p.closed_within(3000));
    EXPECT_EQ(sim.exit_code(3000), 0);
}

TEST(VyxSimTest, EachFaultMisbehavesItsOwnWay) {
    enum Frame { NO_FRAME, SHORT_FRAME, NEGATIVE_FRAME };
    struct {
        const char* fault;
        const char* command;  // nullptr: only the greeting is looked at
        int listen_ms;
        const char* exactly;   // what arrives within listen_ms, when known
        std::size_t at_least;  // bytes within listen_ms
        const char* then;      // what follows later, if anything
        bool closes;
        Frame frame;
    } cases[] = {
        {"busy", nullptr, 100, "busy\r\n", 0, nullptr, true, NO_FRAME},
        {"lower", nullptr, 100, "welcome to vyx mini-server v1.3\r\nVYX>", 0, nullptr, false, NO_FRAME},
        {"split", nullptr, 100, "Welcome to V", 0, "YX Mini-Server v1.3\r\nVYX>", false, NO_FRAME},
        {"silent", "get all", 400, "", 0, nullptr, false, NO_FRAME},
        {"garbage", "get all", 300, nullptr, 64, nullptr, false, NO_FRAME},
        {"endless", "get all", 300, nullptr, 5000, nullptr, false, NO_FRAME},
        {"close-mid", "get all", 1000, nullptr, 1, nullptr, true, NO_FRAME},
        {"no-confirm", "modify auto bitdn 7000", 700, "", 0, nullptr, false, NO_FRAME},
        {"late-confirm", "modify auto bitdn 7000\r\nmodify auto bitup 700", 200, "", 0,
         "modification successfully\r\nVYX>modification successfully\r\nVYX>", false, NO_FRAME},
        {"truncated", "get logfile", 500, nullptr, 13, nullptr, false, SHORT_FRAME},
        {"negative", "get logfile", 500, nullptr, 13, nullptr, false, NEGATIVE_FRAME},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Sim sim({"--fault", c.fault, "--split-ms", "300", "--late-ms", "300", "--log-lines", "10"});
        const auto start = Clock::now();
        Peer p = c.command ? sim.greeted() : sim.connect();
        if (c.command) p.send(std::string(c.command) + "\r\n");
        const std::string got = p.read_for(c.listen_ms);
        if (c.exactly) {
            EXPECT_EQ(got, c.exactly);
        }
        EXPECT_GE(got.size(), c.at_least);
        if (c.command) {
            EXPECT_EQ(got.find("VYX>"), std::string::npos) << "no prompt may come";
            for (const char* text : {"busy", "servus", "ok. please wait"})
                EXPECT_EQ(got.find(text), std::string::npos) << text;
        }
        EXPECT_EQ(got.find("QXMGSFLE") == 0, c.frame != NO_FRAME);
        if (c.frame != NO_FRAME && got.size() >= 12) {
            const std::int32_t length = announced_length(got);
            if (c.frame == NEGATIVE_FRAME) {
                EXPECT_LT(length, 0);
            } else {
                EXPECT_GT(static_cast<std::size_t>(length), got.size() - 12)
                    << "announces more than it sends";
            }
        }
        if (c.then) {
            EXPECT_EQ(p.read_until(c.then, 3000), c.then);
            EXPECT_GE(ms_since(start), 295) << "only after its delay";
        }
        EXPECT_EQ(c.closes ? p.closed_within(2000) : p.closed_within(100), c.closes);
        if (std::string(c.fault) == "no-confirm") {
            EXPECT_EQ(values_of(ask(p, "get all"))["auto_bitdn:"], "7000") << "the change still applies";
        }
        p.close();
        if (c.command) {
            EXPECT_TRUE(next_client_greeted(sim)) << "whatever the last client got";
        }
    }
}

TEST(VyxSimTest, BadOrUnboundedArgumentsAreRefused) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "70000"},       {"--port"},
        {"--wait-ms", "600001"},   {"--exit-after", "0"},
        {"--fault", "nonsense"},   {"--bind", "localhost"},
        {"--log-lines", "100001"}, {"--frobnicate"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const pid_t pid = simproc::spawn(args, null, null);
        ::close(null);
        const int code = simproc::wait_for_exit(pid, 5000);
        if (code == -1) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        EXPECT_EQ(code, 2);
    }
}

}  // namespace
