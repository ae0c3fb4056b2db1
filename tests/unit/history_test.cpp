// Recording the history against a scripted server on the virtual clock, and the history window.
#include <filesystem>

#include "monitor/history_recorder.h"
#include "tests/unit/fixture.h"
#include "ui/settings.h"
#include "ui/history_window.h"

namespace {

using loopback::GREETING;
using loopback::ScriptedServer;
using HistoryRecordingTest = ProgramTest;

const std::string REPORT =
    "md_bitdn: 8000\r\nmd_bitup: 1024\r\nmd_snrdn: 6,5 \"dB\"\r\nwarning: 0\r\n\r\nVYX>";
const std::string DAY_FILE = "vyx_history/2026-01-01.csv";

// A server that answers "get all" with REPORT and the warning flag the test sets.
struct Server {
    int warning = 0;
    ScriptedServer server{
        {.script = {{0, GREETING}}, .answer = [this](const std::string& line, loopback::Peer& c) {
             std::string r = REPORT;
             r.replace(r.find("warning: 0"), 10, "warning: " + std::to_string(warning));
             if (line == "get all") c.send(r);
         }}};
    int taken = 0;  // answers the program has read
    int get_alls() {
        int n = 0;
        for (const auto& l : server.lines()) n += l == "get all";
        return n;
    }
};

// Turns the loop until the virtual clock has moved by ms, taking each answer as it comes.
void run_for(Server& s, long long ms) {
    const long long until = headless::world().now_ms + ms;
    while (headless::world().now_ms < until) {
        main_loop_turn();
        if (state.connection <= 0) continue;
        loopback::wait_until([&] { return s.get_alls() > s.taken; }, 20);
        if (s.get_alls() > s.taken &&
            loopback::wait_until([&] { return bytes_waiting(state.connection) > 0; })) {
            ++s.taken;
            main_loop_turn();
        }
    }
}

// Turns the loop until what was pushed has been handled.
void handle_pushed() {
    while (!event_queue::empty()) main_loop_turn();
}

void connect_to(Server& s) {
    set_control_text(ID_HOST, "127.0.0.1");
    set_control_text(ID_PORT, std::to_string(s.server.port()));
    headless::push_control(ID_CONNECT);
    run_for(s, 1);
}

// The day file's kind column, and the detail where there is one.
std::vector<std::string> kinds() {
    std::vector<std::string> out;
    std::ifstream in(DAY_FILE, std::ios::binary);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const auto a = line.find(','), b = line.find(',', a + 1);
        std::string kind = line.substr(a + 1, b - a - 1);
        const auto last = line.rfind(',');
        if (line.size() > last + 2) kind += ":" + line.substr(last + 1, line.size() - last - 2);
        out.push_back(kind);
    }
    return out;
}

TEST_F(HistoryRecordingTest, OffByDefaultNothingIsWrittenAndNoCommandAdded) {
    restart(QUIET_SETTINGS);
    const std::string settings = settings_file();
    Server s;
    connect_to(s);
    run_for(s, 65000);
    headless::push_control(ID_RESYNC);
    run_for(s, 1000);
    release_everything();
    EXPECT_EQ(s.server.lines(), (std::vector<std::string>{"get all", "resync"}));
    EXPECT_FALSE(std::filesystem::exists("vyx_history"));
    EXPECT_FALSE(std::filesystem::exists("vyxC_history.ini"));
    EXPECT_EQ(settings_file(), settings);
}

TEST_F(HistoryRecordingTest, SamplesEachPeriodWhileIdleAndEveryEventInOrder) {
    std::ofstream("vyxC_history.ini") << "[HISTORY]\nRecord=1\nSampleSeconds=10\nKeepDays=2\n";
    std::filesystem::create_directory("vyx_history");
    for (const char* old : {"2025-12-29.csv", "2025-12-30.csv", "notes.txt"})
        std::ofstream(std::string("vyx_history/") + old) << "x";
    restart(QUIET_SETTINGS);
    Server s;
    connect_to(s);
    run_for(s, 35000);  // three idle samples
    EXPECT_EQ(s.get_alls(), 4);
    state.auto_config_pending = 1;  // a configuration being sent: not idle
    run_for(s, 20000);
    EXPECT_EQ(s.get_alls(), 4);
    state.auto_config_pending = 0;
    s.warning = 1;
    run_for(s, 10000);
    s.warning = 0;
    run_for(s, 10000);
    headless::push_control(ID_REBOOT);
    headless::push_control(ID_DISCONNECT);
    run_for(s, 1000);
    release_everything();

    const std::vector<std::string> expected = {
        "program_started", "connected",      "sample", "sample",          "sample",      "sample",
        "sample",          "warning_raised", "sample", "warning_cleared", "reboot_sent", "dropped:disconnect",
        "program_ended"};
    EXPECT_EQ(kinds(), expected);
    // The margin text as the server sent it, quoted; time with its offset.
    EXPECT_NE(read_file(DAY_FILE).find("2026-01-01T00:00:00+00:00,sample,8000,1024,\"6,5 \"\"dB\"\"\",0,"),
              std::string::npos)
        << read_file(DAY_FILE);
    std::vector<std::string> left;
    for (const auto& f : std::filesystem::directory_iterator("vyx_history"))
        left.push_back(f.path().filename());
    std::ranges::sort(left);
    EXPECT_EQ(left, (std::vector<std::string>{"2025-12-30.csv", "2026-01-01.csv", "notes.txt"}));
}

TEST_F(HistoryRecordingTest, AFolderThatCannotBeMadeStopsRecordingWithOneLineAndNothingElseChanges) {
    std::ofstream("vyxC_history.ini") << "[HISTORY]\nRecord=1\n";
    std::ofstream("vyx_history") << "a file where the folder would be";
    restart(QUIET_SETTINGS);
    Server s;
    connect_to(s);
    EXPECT_EQ(state.connected, 1);
    headless::push_control(ID_STATUS_PICTURE);
    handle_pushed();
    EXPECT_EQ(get_control_text(ID_HIST_STATUS), "History stopped: the folder vyx_history cannot be made.");
    EXPECT_TRUE(is_checked(ID_HIST_RECORD));
}

TEST_F(HistoryRecordingTest, SettingsFileReadWithDefaultsAndWrittenOnlyWhenChanged) {
    const struct {
        const char* file;
        int record, seconds, keep;
    } cases[] = {
        {"", 0, 60, 400},
        {"[HISTORY]\nRecord=1\nSampleSeconds=3600\nKeepDays=7\n", 1, 3600, 7},
        {"[HISTORY]\nRecord=2\nSampleSeconds=9\nKeepDays=0\n", 0, 60, 400},
        {"[OTHER]\nRecord=1\n[HISTORY]\nSampleSeconds=abc\n", 0, 60, 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream("vyxC_history.ini") << c.file;
        const HistorySettings s = read_history_settings();
        EXPECT_EQ(std::tuple(s.record, s.sample_seconds, s.keep_days),
                  std::tuple(c.record, c.seconds, c.keep));
    }
    std::filesystem::remove("vyxC_history.ini");
    restart(QUIET_SETTINGS);
    save_settings();
    const std::string settings = settings_file();
    headless::push_menu(MENU_HISTORY);
    handle_pushed();
    set_control_text(ID_HIST_PERIOD, "15");
    set_checked(ID_HIST_RECORD, 1);
    headless::push_control(ID_HIST_RECORD);
    handle_pushed();
    EXPECT_EQ(read_file("vyxC_history.ini"),
              "[HISTORY]\r\nRecord = 1\r\nSampleSeconds = 15\r\nKeepDays = 400\r\n");
    EXPECT_TRUE(std::filesystem::exists(DAY_FILE));
    save_settings();
    EXPECT_EQ(settings_file(), settings);
}

TEST_F(HistoryRecordingTest, WindowOpensResizesFollowsThePointerAndClosesAlone) {
    restart(QUIET_SETTINGS);
    headless::push_control(ID_STATUS_PICTURE);
    handle_pushed();
    const headless::Window& w = headless::world().windows.at(HISTORY_WINDOW);
    EXPECT_EQ(w.title, "VYX Client History");
    EXPECT_TRUE(w.resizable && w.visible);
    const headless::Control& canvas = *headless::find_control(ID_HIST_CANVAS);
    EXPECT_GT(canvas.drawings, 0);
    const int drawn = canvas.drawings, wide = canvas.w;
    headless::user_resize(HISTORY_WINDOW, w.client_w + 200, w.client_h + 100);
    handle_pushed();
    EXPECT_EQ(canvas.w, wide + 200);
    EXPECT_GT(canvas.drawings, drawn);
    EXPECT_EQ(headless::find_control(ID_HIST_CLOSE)->x, 830 + 200);
    headless::user_resize(HISTORY_WINDOW, 10, 10);  // kept at its least size
    handle_pushed();
    EXPECT_GE(canvas.w, 600);
    headless::push_close(HISTORY_WINDOW);
    handle_pushed();
    EXPECT_FALSE(window_exists(HISTORY_WINDOW));
    EXPECT_TRUE(window_exists(MAIN_WINDOW));
    EXPECT_EQ(state.quit_requested, 0);
}

}  // namespace
