// The monitoring-configuration sender against a real loopback peer that
// records every line and confirms at once, late or never: which commands go
// out for which differences, in which order, and how long each wait lasts.
// Waits are measured on the virtual clock, which only the sleeps advance.
#include "monitor/config_sender.h"

#include <functional>
#include <thread>
#include <vector>

#include "monitor/report.h"
#include "tests/unit/connected_fixture.h"
#include "tests/unit/scripted_server.h"

namespace {

// The waits keep to the clock, so they last at least their time (less the
// clock's rounding to whole milliseconds); how much longer depends on the
// machine's load.
constexpr long long ROUNDING_MS = 3;
constexpr long long SLACK_MS = 500;

using Lines = std::vector<std::string>;

constexpr const char* CONFIRMATION = "modification successfully\r\nVYX>";

// When the server confirms a line: at once, only when the next line arrives
// (so after the client's wait for it may have given up), or never.
enum class Confirm { at_once, with_next_line, never };

// Confirms every line but "get all" as told.
loopback::ScriptedServer::Answer confirming(Confirm confirm) {
    return [confirm, owed = false](const std::string& line, loopback::Peer& client) mutable {
        if (owed) client.send(CONFIRMATION);
        owed = false;
        if (line == "get all") return;
        if (confirm == Confirm::at_once) client.send(CONFIRMATION);
        owed = confirm == Confirm::with_next_line;
    };
}

class ConfigSenderTest : public ConnectedTest {
   protected:
    void SetUp() override {
        ConnectedTest::SetUp();
        reported();
    }

    // Settings as the server last reported them, shown in the panel.
    void reported() {
        state.auto_interval = 60;
        state.auto_bitdn = 7;
        state.auto_bitup = 500;
        state.auto_snrdn = 6;
        state.auto_snrdnx = 3;
        state.auto_status = state.auto_switch_bitdn = state.auto_switch_snrdn = state.auto_action_writelog =
            state.auto_action_resync = state.auto_action_netsend = 1;
        state.auto_switch_bitup = state.auto_switch_cantconnect = state.auto_action_ipdetect =
            state.auto_action_reboot = 0;
        state.auto_action_netsendadd = "10.0.0.5";
        show_monitoring_settings();
    }

    // Presses a button as the loop does; returns the lines the server got
    // and the real time the press took.
    std::pair<Lines, long long> press(int button, Confirm confirm = Confirm::at_once) {
        loopback::ScriptedServer server(peer_, {.listen_ms = -1, .answer = confirming(confirm)});
        const auto t0 = loopback::Clock::now();
        dispatch_control(button);
        const long long took = loopback::ms_since(t0);
        // "get all" comes last.
        loopback::wait_until([&] { return !server.lines().empty() && server.lines().back() == "get all"; });
        server.stop();
        return {server.lines(), took};
    }

    // What is still waiting on the client's side a moment after a send.
    std::string left_over() {
        loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; }, 200);
        return read_available_text(state.connection, 10000);
    }
};

TEST(SwitchWord, OnlyZeroAndOneHaveAWord) {
    EXPECT_EQ(switch_word(1), "enable");
    EXPECT_EQ(switch_word(0), "disable");
    for (int other : {2, -1, 1 << 30}) EXPECT_EQ(switch_word(other), "") << other;
}

TEST_F(ConfigSenderTest, CommandsForTheDifferencesInTheirOrder) {
    const std::function<void()> unchanged = [] {};
    struct {
        const char* what;
        std::function<void()> change;
        int button;
        Lines expected;
    } cases[] = {
        {"nothing changed, apply", unchanged, ID_APPLY, {"commit", "get all"}},
        {"nothing changed, activate",
         [] { state.auto_status = 0; },
         ID_ACTIVATE,
         {"modify auto status enable", "get all"}},
        {"nothing changed, deactivate", unchanged, ID_DEACTIVATE, {"modify auto status disable", "get all"}},
        {"interval lowered while active: restart",
         [] { set_control_text(ID_MON_INTERVAL, "10"); },
         ID_APPLY,
         {"modify auto interval 10", "modify auto status disable", "modify auto status enable", "commit",
          "get all"}},
        {"interval lowered while inactive",
         [] {
             state.auto_status = 0;
             set_control_text(ID_MON_INTERVAL, "10");
         },
         ID_APPLY,
         {"modify auto interval 10", "commit", "get all"}},
        {"interval raised while active",
         [] { set_control_text(ID_MON_INTERVAL, "120"); },
         ID_APPLY,
         {"modify auto interval 120", "commit", "get all"}},
        {"interval lowered, deactivate",
         [] { set_control_text(ID_MON_INTERVAL, "10"); },
         ID_DEACTIVATE,
         {"modify auto interval 10", "modify auto status disable", "get all"}},
        {"interval lowered, activate",
         [] {
             state.auto_status = 0;
             set_control_text(ID_MON_INTERVAL, "10");
         },
         ID_ACTIVATE,
         {"modify auto interval 10", "modify auto status enable", "get all"}},
        {"interval same number, other text",
         [] { set_control_text(ID_MON_INTERVAL, "0060"); },
         ID_APPLY,
         {"commit", "get all"}},
        {"interval emptied counts as 0, lowered",
         [] { set_control_text(ID_MON_INTERVAL, ""); },
         ID_APPLY,
         {"modify auto interval ", "modify auto status disable", "modify auto status enable", "commit",
          "get all"}},
        {"bitdn 07 against 7", [] { set_control_text(ID_MON_BITDN, "07"); }, ID_APPLY, {"commit", "get all"}},
        {"bitdn 08 against 7, sent as typed",
         [] { set_control_text(ID_MON_BITDN, "08"); },
         ID_APPLY,
         {"modify auto bitdn 08", "commit", "get all"}},
        {"bitup emptied",
         [] { set_control_text(ID_MON_BITUP, ""); },
         ID_APPLY,
         {"modify auto bitup ", "commit", "get all"}},
        {"snrdnx emptied while 0",
         [] {
             state.auto_snrdnx = 0;
             set_control_text(ID_MON_SNRDNX, "");
         },
         ID_APPLY,
         {"commit", "get all"}},
        {"address emptied",
         [] { set_control_text(ID_MON_NETSENDADD, ""); },
         ID_APPLY,
         {"modify auto action netsendadd *", "commit", "get all"}},
        {"address empty on both sides",
         [] {
             state.auto_action_netsendadd = "";
             set_control_text(ID_MON_NETSENDADD, "");
         },
         ID_APPLY,
         {"commit", "get all"}},
        {"address differs in case only",
         [] { set_control_text(ID_MON_NETSENDADD, "Server"); },
         ID_DEACTIVATE,
         {"modify auto status disable", "modify auto action netsendadd Server", "get all"}},
        {"two switches",
         [] {
             set_checked(ID_MON_WRITELOG, 0);
             set_checked(ID_MON_BITUP_SWITCH, 1);
         },
         ID_APPLY,
         {"modify auto switch bitup enable", "modify auto action writelog disable", "commit", "get all"}},
        {"greeting just done: all settings 0",
         [] {
             for (std::int32_t* f :
                  {&state.auto_status, &state.auto_interval, &state.auto_bitdn, &state.auto_bitup,
                   &state.auto_snrdn, &state.auto_snrdnx, &state.auto_switch_bitdn, &state.auto_switch_snrdn,
                   &state.auto_action_writelog, &state.auto_action_resync, &state.auto_action_netsend})
                 *f = 0;
             state.auto_action_netsendadd.clear();
             for (int id : {ID_MON_INTERVAL, ID_MON_BITDN, ID_MON_BITUP, ID_MON_SNRDN, ID_MON_SNRDNX})
                 set_control_text(id, "0");
         },
         ID_APPLY,
         {"modify auto switch bitdn enable", "modify auto switch snrdn enable",
          "modify auto action writelog enable", "modify auto action resync enable",
          "modify auto action netsend enable", "modify auto action netsendadd 10.0.0.5", "commit",
          "get all"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        reported();
        c.change();
        const ProgramState before = state;
        const auto [lines, took] = press(c.button);
        EXPECT_EQ(lines, c.expected);
        EXPECT_EQ(state.commit_pending, 0);
        EXPECT_EQ(state.auto_status_changed, 0);
        EXPECT_EQ(state.update_in_progress, 1) << "until the answer to get all";
        // Only the button touches a stored setting; the report rewrites them.
        EXPECT_EQ(state.auto_interval, before.auto_interval);
        EXPECT_EQ(state.auto_bitdn, before.auto_bitdn);
        EXPECT_EQ(state.auto_action_netsendadd, before.auto_action_netsendadd);
        EXPECT_EQ(state.auto_status, c.button == ID_ACTIVATE     ? 1
                                     : c.button == ID_DEACTIVATE ? 0
                                                                 : before.auto_status);
        EXPECT_FALSE(control_enabled(c.button));
    }
}

TEST_F(ConfigSenderTest, EverythingChangedSendsEighteenCommandsThenGetAll) {
    set_control_text(ID_MON_INTERVAL, "30");
    set_control_text(ID_MON_BITDN, "6000");
    set_control_text(ID_MON_BITUP, "");
    set_control_text(ID_MON_SNRDN, "12");
    set_control_text(ID_MON_SNRDNX, "4");
    for (int id : {2, 3, 1, 4, 19, 70, 20, 23, 21}) set_checked(id, !is_checked(id));
    set_control_text(ID_MON_NETSENDADD, "pc-7");
    const auto [lines, took] = press(ID_APPLY);
    const Lines expected = {
        "modify auto interval 30",
        "modify auto status disable",
        "modify auto status enable",
        "modify auto bitdn 6000",
        "modify auto bitup ",
        "modify auto snrdn 12",
        "modify auto snrdnx 4",
        "modify auto switch bitdn disable",
        "modify auto switch bitup enable",
        "modify auto switch snrdn disable",
        "modify auto switch cantconnect enable",
        "modify auto action writelog disable",
        "modify auto action ipdetect enable",
        "modify auto action resync disable",
        "modify auto action reboot enable",
        "modify auto action netsend disable",
        "modify auto action netsendadd pc-7",
        "commit",
        "get all",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_GE(took, 18 * 30 - ROUNDING_MS);
    EXPECT_LT(took, 18 * 30 + SLACK_MS) << "each wait ends at its first poll when confirmed at once";
}

TEST_F(ConfigSenderTest, SlowOrSilentServerCostsTimeButNoCommand) {
    struct {
        const char* what;
        Confirm confirm;
        long long took_ms;
        std::string left_over;
    } cases[] = {
        {"at once", Confirm::at_once, 3 * 30, ""},
        // Each late confirmation ends the next wait at its first poll; the
        // last one reaches the exchange with the answer to get all.
        {"late", Confirm::with_next_line, 630 + 2 * 30, CONFIRMATION},
        {"never", Confirm::never, 3 * 630, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reported();
        set_control_text(ID_MON_INTERVAL, "120");
        set_control_text(ID_MON_BITDN, "9");
        const auto [lines, took] = press(ID_APPLY, c.confirm);
        EXPECT_EQ(lines, (Lines{"modify auto interval 120", "modify auto bitdn 9", "commit", "get all"}));
        EXPECT_GE(took, c.took_ms - ROUNDING_MS);
        EXPECT_LT(took, c.took_ms + SLACK_MS);
        EXPECT_EQ(left_over(), c.left_over);
        enable_control(ID_APPLY, 1);
    }
}

TEST_F(ConfigSenderTest, WaitEndsOnTheConfirmationAndConsumesWhatItRead) {
    struct {
        const char* what;
        std::string before, later;  // sent before the wait starts, and 100 ms into it
        long long min_ms, max_ms;
        std::string left_over;
    } cases[] = {
        {"nothing", "", "", 630, 630, ""},
        {"confirmed", CONFIRMATION, "", 30, 30, ""},
        {"in two pieces", "modification succ", "essfully\r\nVYX>", 90, 450, ""},
        {"without the prompt", "modification successfully\r\n", "", 630, 630, ""},
        {"other text only", "busy\r\nservus", "", 630, 630, ""},
        // A log file at the head stays for the loop, which reads it as a file.
        {"file transfer", std::string(FILE_MARKER) + "log", "", 30, 30, std::string(FILE_MARKER) + "log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.before.empty()) {
            ASSERT_TRUE(peer_.send(c.before));
            ASSERT_TRUE(loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; }));
        }
        std::thread later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!c.later.empty()) peer_.send(c.later);
        });
        const auto t0 = loopback::Clock::now();
        wait_modification_confirmed();
        const long long took = loopback::ms_since(t0);
        later.join();
        EXPECT_GE(took, c.min_ms - ROUNDING_MS);
        EXPECT_LE(took, c.max_ms + SLACK_MS);
        EXPECT_EQ(left_over(), c.left_over);
    }
}

TEST_F(ConfigSenderTest, WithoutAConnectionTheRequestsAreKept) {
    close_connection(state.connection);
    state.connection = 0;
    state.connected = 0;
    state.commit_pending = state.auto_status_changed = 1;
    send_monitoring_config();
    EXPECT_EQ(state.commit_pending, 1);
    EXPECT_EQ(state.auto_status_changed, 1);
    EXPECT_EQ(peer_.read_for(50), "");
}

}  // namespace
