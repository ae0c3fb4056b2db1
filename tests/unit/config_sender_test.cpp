// The monitoring-configuration sender against a real loopback peer: which commands go out for which
// differences, in which order, and how long a wait for the server's confirmation lasts.
#include "monitor/config_sender.h"

#include <thread>
#include <utility>

#include "monitor/report.h"
#include "tests/unit/connected_fixture.h"
#include "tests/unit/report_keys.h"
#include "tests/unit/scripted_server.h"

namespace {

constexpr const char* CONFIRMATION = "modification successfully\r\nVYX>";

class ConfigSenderTest : public ConnectedTest {
   protected:
    // Settings as the server last reported them, shown in the panel.
    static void reported(int status) {
        report_keys::set_fields(1, "pc-5");
        state.auto_interval = 60, state.auto_bitdn = 7, state.auto_snrdnx = 0, state.auto_status = status;
        state.auto_switch_bitup = state.auto_action_ipdetect = 0;
        show_monitoring_settings();
    }

    // Presses a button as the loop does; returns the lines the server got, "modify auto " shown as "~".
    // The server confirms each line at once, or only when the next line arrives.
    std::string press(int button, bool late = false) {
        loopback::ScriptedServer server(
            peer_, {.listen_ms = -1,
                    .answer = [late, owed = false](const std::string& line, loopback::Peer& client) mutable {
                        const bool confirms = line != "get all";
                        if (late ? std::exchange(owed, confirms) : confirms) client.send(CONFIRMATION);
                    }});
        dispatch_control(button);
        loopback::wait_until([&] { return !server.lines().empty() && server.lines().back() == "get all"; });
        server.stop();
        std::string sent;
        for (const std::string& line : server.lines())
            sent +=
                (sent.empty() ? "" : "|") + (line.starts_with("modify auto ") ? "~" + line.substr(12) : line);
        return sent;
    }
};

TEST_F(ConfigSenderTest, CommandsForTheDifferencesInTheirOrderAndKeptWithoutAConnection) {
    const struct {
        const char* what;
        int status;  // as last reported
        const char* edits;
        int button;
        std::string sent;   // "get all" follows
        bool late = false;  // each line confirmed only when the next one arrives
    } cases[] = {
        {"nothing changed", 1, "", ID_APPLY, "commit"},
        {"interval lowered while inactive", 0, "14=10", ID_APPLY, "~interval 10|commit"},
        {"interval lowered with the status about to be sent", 0, "14=10", ID_ACTIVATE,
         "~interval 10|~status enable"},
        {"same numbers in other text", 1, "14=0060|9=07|68=", ID_DEACTIVATE, "~status disable"},
        {"numbers sent as typed, an emptied address as *", 1, "9=08|10=|22=", ID_APPLY,
         "~bitdn 08|~bitup |~action netsendadd *|commit"},
        {"an emptied interval is 0, lowered; an address differing in case", 1, "14=|22=PC-5", ID_APPLY,
         "~interval |~status disable|~status enable|~action netsendadd PC-5|commit"},
        {"everything changed; the interval lowered while active: a restart", 1,
         "14=30|9=6000|10=|8=12|68=4|2=0|3=1|1=0|4=0|19=0|70=1|20=0|23=0|21=0|22=pc-7", ID_APPLY,
         "~interval 30|~status disable|~status enable|~bitdn 6000|~bitup |~snrdn 12|~snrdnx 4|"
         "~switch bitdn disable|~switch bitup enable|~switch snrdn disable|~switch cantconnect disable|"
         "~action writelog disable|~action ipdetect enable|~action resync disable|~action reboot disable|"
         "~action netsend disable|~action netsendadd pc-7|commit"},
        {"raised while active; late confirmations: the first wait gives up, the others take the one before",
         1, "14=120|9=9", ID_APPLY, "~interval 120|~bitdn 9|commit", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reported(c.status);
        const std::string stored = report_keys::fields();
        type_into(c.edits);
        enable_control(c.button, 1);
        EXPECT_EQ(press(c.button, c.late), c.sent + "|get all");
        if (c.late) {  // each wait took what it read; the confirmation of the last reaches the loop
            ASSERT_TRUE(loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; }));
            EXPECT_EQ(read_available_text(state.connection, 10000), CONFIRMATION);
        }
        EXPECT_EQ(state.commit_pending + state.auto_status_changed + control_enabled(c.button), 0)
            << "requests done, the button off";
        EXPECT_EQ(state.update_in_progress, 1) << "until the answer to get all";
        state.auto_status = c.status;  // the button's own change
        EXPECT_EQ(report_keys::fields(), stored) << "the answer to get all rewrites the settings";
    }
    close_connection(state.connection);
    state.connection = state.connected = 0;
    state.commit_pending = state.auto_status_changed = 1;
    send_monitoring_config();
    EXPECT_EQ(state.commit_pending + state.auto_status_changed, 2) << "kept without a connection";
}

TEST_F(ConfigSenderTest, WaitEndsOnTheConfirmationAndConsumesWhatItRead) {
    const std::string file = std::string(FILE_MARKER) + "log";
    // Real time bounds a wait from below; the virtual clock, which only its sleeps advance, from above.
    const struct {
        const char* what;
        std::string before, later;  // sent before the wait starts, and 40 ms into it
        long long real_at_least, virtual_at_most;
        std::string left_over;
    } cases[] = {
        {"confirmed", CONFIRMATION, "", 27, 30, ""},
        {"in two pieces", "modification succ", "essfully\r\nVYX>", 87, 450, ""},
        {"without the prompt: six polls, 30 ms apart and growing", "modification successfully\r\n", "", 627,
         630, ""},
        // A log file at the head stays for the loop, which reads it as a file.
        {"file transfer", file, "", 27, 30, file},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(peer_.send(c.before));
        ASSERT_TRUE(loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; }));
        std::thread later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            if (!c.later.empty()) peer_.send(c.later);
        });
        const auto real_start = loopback::Clock::now();
        const long long virtual_start = headless::world().now_ms;
        wait_modification_confirmed();
        EXPECT_GE(loopback::ms_since(real_start), c.real_at_least);
        EXPECT_LE(headless::world().now_ms - virtual_start, c.virtual_at_most);
        later.join();
        EXPECT_EQ(read_available_text(state.connection, 10000), c.left_over);
    }
}

}  // namespace
