// The monitoring-configuration sender against a real loopback peer: which
// commands go out for which differences, in which order, and how long a wait
// for the server's confirmation lasts. Real time bounds a wait from below; the
// virtual clock, which only the wait's sleeps advance, bounds it from above.
#include "monitor/config_sender.h"

#include <sstream>
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

    // Presses a button as the loop does; returns the lines the server got. The
    // server confirms each line at once, or only when the next line arrives.
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
        for (const std::string& line : server.lines()) sent += (sent.empty() ? "" : "|") + line;
        return sent;
    }
};

TEST_F(ConfigSenderTest, CommandsForTheDifferencesInTheirOrder) {
    const struct {
        const char* what;
        int status;         // as last reported
        const char* edits;  // id=text; 0 or 1 for a check box
        int button;
        std::string sent;   // "get all" follows
        bool late = false;  // each line confirmed only when the next one arrives
    } cases[] = {
        {"nothing changed", 1, "", ID_APPLY, "commit"},
        {"interval lowered while active: a restart", 1, "14=10", ID_APPLY,
         "modify auto interval 10|modify auto status disable|modify auto status enable|commit"},
        {"interval lowered while inactive", 0, "14=10", ID_APPLY, "modify auto interval 10|commit"},
        {"interval raised while active", 1, "14=120", ID_APPLY, "modify auto interval 120|commit"},
        {"interval lowered with the status about to be sent", 0, "14=10", ID_ACTIVATE,
         "modify auto interval 10|modify auto status enable"},
        {"same numbers in other text", 1, "14=0060 9=07 68=", ID_DEACTIVATE, "modify auto status disable"},
        {"numbers sent as typed, an emptied address as *", 1, "9=08 10= 22=", ID_APPLY,
         "modify auto bitdn 08|modify auto bitup |modify auto action netsendadd *|commit"},
        {"an emptied interval is 0, lowered; an address differing in case", 1, "14= 22=PC-5", ID_APPLY,
         "modify auto interval |modify auto status disable|modify auto status enable|"
         "modify auto action netsendadd PC-5|commit"},
        {"everything changed", 1,
         "14=30 9=6000 10= 8=12 68=4 2=0 3=1 1=0 4=0 19=0 70=1 20=0 23=0 21=0 22=pc-7", ID_APPLY,
         "modify auto interval 30|modify auto status disable|modify auto status enable|"
         "modify auto bitdn 6000|modify auto bitup |modify auto snrdn 12|modify auto snrdnx 4|"
         "modify auto switch bitdn disable|modify auto switch bitup enable|modify auto switch snrdn disable|"
         "modify auto switch cantconnect disable|modify auto action writelog disable|"
         "modify auto action ipdetect enable|modify auto action resync disable|"
         "modify auto action reboot disable|modify auto action netsend disable|"
         "modify auto action netsendadd pc-7|commit"},
        {"late confirmations: the first wait gives up, the others take the one before", 1, "14=120 9=9",
         ID_APPLY, "modify auto interval 120|modify auto bitdn 9|commit", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reported(c.status);
        const std::string stored = report_keys::fields();
        std::istringstream edits(c.edits);
        for (std::string edit; edits >> edit;) {
            const int id = std::stoi(edit);
            const std::string text = edit.substr(edit.find('=') + 1);
            if (headless::find_control(id)->kind == KIND_CHECKBOX)
                set_checked(id, text == "1");
            else
                set_control_text(id, text);
        }
        EXPECT_EQ(press(c.button, c.late), c.sent + "|get all");
        if (c.late) {  // each wait took what it read; the confirmation of the last reaches the loop
            ASSERT_TRUE(loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; }));
            EXPECT_EQ(read_available_text(state.connection, 10000), CONFIRMATION);
        }
        EXPECT_EQ(state.commit_pending + state.auto_status_changed, 0) << "requests done";
        EXPECT_EQ(state.update_in_progress, 1) << "until the answer to get all";
        EXPECT_EQ(state.auto_status, c.button == ID_ACTIVATE ? 1 : c.button == ID_DEACTIVATE ? 0 : c.status);
        state.auto_status = c.status;
        EXPECT_EQ(report_keys::fields(), stored) << "the answer to get all rewrites the settings";
        EXPECT_FALSE(control_enabled(c.button));
        enable_control(c.button, 1);
    }
}

TEST_F(ConfigSenderTest, WaitEndsOnTheConfirmationAndConsumesWhatItRead) {
    const std::string file = std::string(FILE_MARKER) + "log";
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

TEST_F(ConfigSenderTest, WithoutAConnectionTheRequestsAreKept) {
    close_connection(state.connection);
    state.connection = state.connected = 0;
    state.commit_pending = state.auto_status_changed = 1;
    send_monitoring_config();
    EXPECT_EQ(state.commit_pending + state.auto_status_changed, 2);
    EXPECT_EQ(peer_.read_for(50), "");
}

}  // namespace
