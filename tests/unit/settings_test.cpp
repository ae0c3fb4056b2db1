// The settings file: what start-up takes from it, the exact bytes a save
// writes, and that neither a strange file nor a failed save costs the user
// anything. Everything runs over real files in the test's own directory.
#include "ui/settings.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "tests/unit/fixture.h"
#include "ui/ini_file.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The seven settings; what is not named is the default.
struct Fields {
    std::string host = "localhost", port = "7784";
    std::int32_t auto_connect = 1, start_iconic = 1;
    std::string prefix = "DSL-Modem 1";
    std::int32_t try_connect = 0, interval = 15;
    bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Fields& f) {
    return os << "{\"" << f.host << "\", \"" << f.port << "\", " << f.auto_connect << ", " << f.start_iconic
              << ", \"" << f.prefix << "\", " << f.try_connect << ", " << f.interval << "}";
}

const Fields defaults{};

// A file and the settings start-up takes from it.
struct ReadCase {
    const char* what;
    std::string file;
    Fields expected;
};

Fields loaded() {
    return {state.ip_or_hostname,      state.port,        state.auto_connect,        state.start_iconic,
            state.systray_icon_prefix, state.try_connect, state.try_connect_interval};
}

const std::string default_file =
    "[CLIENT]\r\nIP_or_Hostname = localhost\r\nPort = 7784\r\nAutoConnect = 1\r\nstartVYXCiconic = 1\r\n"
    "SysTrayIconPrefix = DSL-Modem 1\r\nTryConnect = 0\r\nTryConnectInterval = 15\r\n";

// The eight lines a save of f writes (default_file pins the layout byte for byte).
std::string saved_file(const Fields& f) {
    return "[CLIENT]\r\nIP_or_Hostname = " + f.host + "\r\nPort = " + f.port +
           "\r\nAutoConnect = " + std::to_string(f.auto_connect) +
           "\r\nstartVYXCiconic = " + std::to_string(f.start_iconic) + "\r\nSysTrayIconPrefix = " + f.prefix +
           "\r\nTryConnect = " + std::to_string(f.try_connect) +
           "\r\nTryConnectInterval = " + std::to_string(f.interval) + "\r\n";
}

class SettingsTest : public ProgramTest {
   protected:
    // A fresh program over `file` (no settings file when nullopt).
    void restart_with(const std::optional<std::string>& file) {
        if (window_exists(MAIN_WINDOW)) release_everything();
        headless::reset();
        fs::remove_all(SETTINGS_FILE);
        fs::remove_all(SETTINGS_TEMP_FILE);
        if (file) write_settings(*file);
        start();
    }

    // Ends the program the way a save happens: minimizing the window, or Quit.
    static void save_by(bool minimize) {
        if (minimize) {
            ASSERT_TRUE(window_visible(MAIN_WINDOW));
            headless::user_minimize(MAIN_WINDOW);
            EXPECT_EQ(main_loop_turn(), 1);
        } else {
            headless::push_menu(MENU_QUIT);
            EXPECT_EQ(main_loop_turn(), 0);
            shutdown_program();
        }
    }

    std::vector<std::string> directory_names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SettingsTest, ReadingRules) {
    const ReadCase cases[] = {
        {"empty file", "", defaults},
        {"keys before the header, under another header or a later CLIENT group are ignored",
         "Port = 1\r\nTryConnect = 1\r\n[CLIENT]\r\nAutoConnect = 0\r\n[OTHER]\r\nPort = 2\r\n"
         "TryConnectInterval = 99\r\n[client]\r\nTryConnect = 1\r\n",
         {.auto_connect = 0}},
        {"header and keys in any letter case, blanks around '=' optional",
         "[Client]\r\nport=1\r\nIP_OR_HOSTNAME = h\r\ntryconnectinterval = 9\r\n",
         {.host = "h", .port = "1", .interval = 9}},
        {"blanks before key, header and '=' and after a value are dropped",
         " \t[CLIENT]\r\n\t Port \t = 8080 \t \r\nIP_or_Hostname =\t host name  \r\n",
         {.host = "host name", .port = "8080"}},
        {"first of two entries wins",
         "[CLIENT]\r\nPort = 1111\r\nport = 2222\r\nAutoConnect=0\r\nAutoConnect=1\r\n",
         {.port = "1111", .auto_connect = 0}},
        {"blanks inside the brackets make another group", "[ CLIENT\t]\r\nPort = 1\r\n", defaults},
        {"text after ']' is ignored", "[CLIENT] ; main group\r\nPort = 3\r\n", {.port = "3"}},
        {"a header without ']' runs to the line end", "[CLIENT\r\nPort = 3\r\n", {.port = "3"}},
        {"comments are not entries", "[CLIENT]\r\n; Port = 1\r\n  ;TryConnect = 1\r\n", defaults},
        {"numbers are read as far as they are digits, none read 0 and not the default",
         "[CLIENT]\r\nTryConnectInterval = 12abc\r\nAutoConnect = yes\r\nstartVYXCiconic = \r\n",
         {.auto_connect = 0, .start_iconic = 0, .interval = 12}},
        {"signs and out-of-range values are taken as they are",
         "[CLIENT]\r\nTryConnectInterval = -7\r\nAutoConnect = +2\r\nTryConnect = 4294967297\r\n"
         "startVYXCiconic=\v5\r\n",
         {.auto_connect = 2, .start_iconic = 5, .try_connect = 1, .interval = -7}},
        {"a key without '=' is present with an empty value, and the next line still counts",
         "[CLIENT]\r\nIP_or_Hostname\r\nPort = 5\r\nTryConnectInterval\r\n",
         {.host = "", .port = "5", .interval = 0}},
        {"a value keeps '=', ';' and '['; a blank one is empty, not the default",
         "[CLIENT]\r\nSysTrayIconPrefix = a=b ; [c]\r\nIP_or_Hostname =  \t \r\n",
         {.host = "", .prefix = "a=b ; [c]"}},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[CLIENT]\r\nPort = 8080\r\n", {.port = "8080"}},
        {"a mark anywhere else is text", "[CLIENT]\r\n\xEF\xBB\xBFPort = 8080\r\n", defaults},
        {"LF line ends", "[CLIENT]\nPort = 1\nTryConnect = 1\n", {.port = "1", .try_connect = 1}},
        {"CR, mixed line ends and blank lines",
         "\r\n\n[CLIENT]\r\r\nPort = 1\r\r\r\n   \r\n\nTryConnect = 1",
         {.port = "1", .try_connect = 1}},
        {"all seven keys",
         "[CLIENT]\r\nIP_or_Hostname = 10.0.0.1\r\nPort = 23\r\nAutoConnect = 0\r\nstartVYXCiconic = 0\r\n"
         "SysTrayIconPrefix = Box\r\nTryConnect = 1\r\nTryConnectInterval = 600\r\n",
         {"10.0.0.1", "23", 0, 0, "Box", 1, 600}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_settings(c.file);
        state = ProgramState{};
        load_settings();
        EXPECT_EQ(loaded(), c.expected);
        EXPECT_EQ(settings_file(), c.file) << "reading never changes the file";
    }
}

TEST_F(SettingsTest, NoFileStartsWithDefaultsAndCreatesNothingUntilSaved) {
    start();
    for (const auto& [id, text] : {std::pair{ID_HOST, "localhost"},
                                   {ID_PORT, "7784"},
                                   {ID_INTERVAL, "15"},
                                   {ID_PREFIX, "DSL-Modem 1"}})
        EXPECT_EQ(get_control_text(id), text) << id;
    EXPECT_EQ(is_checked(ID_AUTO_CONNECT), 1);
    EXPECT_EQ(is_checked(ID_TRY_CONNECT), 0);
    EXPECT_FALSE(window_visible(MAIN_WINDOW)) << "starts in the tray";
    EXPECT_TRUE(fs::is_empty(dir_)) << "loading never creates the file";

    save_by(false);
    EXPECT_EQ(settings_file(), default_file);
    EXPECT_EQ(directory_names(), std::vector<std::string>{SETTINGS_FILE});

    fs::remove(SETTINGS_FILE);
    fs::create_directory(SETTINGS_FILE);  // unreadable: a directory under the file's name
    state = ProgramState{};
    load_settings();
    EXPECT_EQ(loaded(), defaults);
}

TEST_F(SettingsTest, FlagsAtStartUpAndWhatTheNextSaveMakesOfThem) {
    struct {
        const char* what;
        std::string file;
        bool auto_box, reconnect_box, window_shown;
        std::string interval_text;
        Fields saved;
    } cases[] = {
        {"auto-connect 2 shows checked and is saved as 1; the interval is shown unclamped",
         "[CLIENT]\r\nAutoConnect = 2\r\nstartVYXCiconic = 0\r\nTryConnectInterval = 5000\r\n",
         true,
         false,
         true,
         "5000",
         {.start_iconic = 0, .interval = 5000}},
        {"start-iconic other than 1 shows the window and survives the save",
         "[CLIENT]\r\nAutoConnect = 0\r\nstartVYXCiconic = 7\r\n",
         false,
         false,
         true,
         "15",
         {.auto_connect = 0, .start_iconic = 7}},
        {"negative flags count as checked; start-iconic -1 is not 1",
         "[CLIENT]\r\nAutoConnect = -1\r\nstartVYXCiconic = -1\r\nTryConnect = -1\r\n",
         true,
         true,
         true,
         "15",
         {.start_iconic = -1, .try_connect = 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart_with(c.file);
        EXPECT_EQ(is_checked(ID_AUTO_CONNECT), c.auto_box ? 1 : 0);
        EXPECT_EQ(is_checked(ID_TRY_CONNECT), c.reconnect_box ? 1 : 0);
        EXPECT_EQ(control_enabled(ID_INTERVAL), c.reconnect_box ? 1 : 0) << "interval follows the box";
        EXPECT_EQ(window_visible(MAIN_WINDOW), c.window_shown ? 1 : 0);
        EXPECT_EQ(get_control_text(ID_INTERVAL), c.interval_text);
        save_settings();
        EXPECT_EQ(settings_file(), saved_file(c.saved));
    }
}

// Deterministic noise, with every byte value including NUL, CR, LF, '[' and '='.
std::string noise(std::size_t size) {
    std::string s(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : s) c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
    return s;
}

TEST_F(SettingsTest, LargeAndNoisyFilesAreReadWholeOrKept) {
    const std::string header = "[CLIENT]\r\n";
    const std::string port_line = "Port = 8080\r\n";
    std::string many_lines;
    while (many_lines.size() < 2 * 1024 * 1024) many_lines += "Unknown = some value that is not ours\r\n";
    std::string comments;
    while (comments.size() < 64 * 1024) comments += "; kept by hand, long before the program came\r\n";
    const std::string too_big = header + port_line + std::string(INI_MAX_BYTES, ';') + "\r\n";
    const struct {
        const char* what;
        std::string file;
        Fields expected;
        bool kept;  // a save leaves the file as it was
    } cases[] = {
        {"group first, megabytes of lines after it",
         header + port_line + many_lines + "TryConnect = 1\r\n",
         {.port = "8080", .try_connect = 1},
         false},
        {"group after 64 KiB of comments and another group",
         comments + "[OTHER]\r\nPort = 1\r\n" + header + port_line,
         {.port = "8080"},
         false},
        {"megabytes of one line with no line end, group after it",
         std::string(2 * 1024 * 1024, 'a') + "\r\n" + header + port_line,
         {.port = "8080"},
         false},
        {"binary noise", noise(256 * 1024), defaults, false},
        {"binary noise after the group", header + port_line + noise(256 * 1024), {.port = "8080"}, false},
        {"NULs inside a value", header + "SysTrayIconPrefix = a\0b\r\n"s, {.prefix = "a\0b"s}, false},
        // Not a settings file of ours: not read, and not replaced by defaults either.
        {"larger than the bound", too_big, defaults, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart_with(c.file);
        EXPECT_EQ(loaded(), c.expected);
        EXPECT_EQ(get_control_text(ID_PORT), c.expected.port);
        save_by(false);
        if (c.kept)
            EXPECT_TRUE(settings_file() == c.file) << "the file was replaced";
        else
            EXPECT_EQ(settings_file(), saved_file(c.expected));
    }
}

TEST_F(SettingsTest, SaveWritesExactlyTheEightLinesThatReadBackTheSame) {
    struct {
        const char* what;
        std::optional<std::string> old_file;
        void (*edit)();    // the user's changes in the window
        bool by_minimize;  // else by Quit
        std::string expected;
    } cases[] = {
        {"defaults at exit", std::nullopt, [] {}, false, default_file},
        {"everything else in the old file is dropped, and the mark too",
         "\xEF\xBB\xBF; my notes\n[OTHER]\nx=1\n\n[client]\nport=8080   \nUnknown = 5\n"
         "startVYXCiconic=0\nTryConnectInterval=12abc\n[MORE]\n",
         [] {}, true, saved_file({.port = "8080", .start_iconic = 0, .interval = 12})},
        {"edited controls, values that look like file syntax; the interval text goes through the number rule",
         "[CLIENT]\r\nstartVYXCiconic = 0\r\n",
         [] {
             set_control_text(ID_HOST, "host=with=equals");
             set_control_text(ID_PORT, "");
             set_checked(ID_AUTO_CONNECT, 0);
             set_checked(ID_TRY_CONNECT, 1);
             set_control_text(ID_INTERVAL, " 12abc");
             set_control_text(ID_PREFIX, "[not a header]; nor a comment, longer than 25 characters");
         },
         true,
         saved_file({"host=with=equals", "", 0, 0, "[not a header]; nor a comment, longer than 25 characters",
                     1, 12})},
        {"an interval past the 32-bit range wraps", std::nullopt,
         [] { set_control_text(ID_INTERVAL, "-2147483649"); }, false, saved_file({.interval = 2147483647})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart_with(c.old_file);
        c.edit();
        save_by(c.by_minimize);
        EXPECT_EQ(settings_file(), c.expected);
        EXPECT_EQ(directory_names(), std::vector<std::string>{SETTINGS_FILE}) << "no temporary file left";
        const ProgramState running = state;
        state = ProgramState{};
        load_settings();
        EXPECT_EQ(saved_file(loaded()), c.expected) << "what was saved reads back the same";
        state = running;
    }
}

TEST_F(SettingsTest, SaveThatCannotBeDoneLeavesEverythingAsItWas) {
    const std::string old_file = "[CLIENT]\r\nPort = 1\r\nstartVYXCiconic = 0\r\n; the user's own note\r\n";
    struct {
        const char* what;
        std::optional<std::string> file;
        const char* obstacle;  // a directory standing under this name
        bool by_minimize;
    } cases[] = {
        {"directory where the temporary file goes", old_file, SETTINGS_TEMP_FILE, true},
        {"directory where the settings file goes", std::nullopt, SETTINGS_FILE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart_with(c.file);
        fs::create_directory(c.obstacle);
        std::ofstream(fs::path(c.obstacle) / "inside") << "kept";
        set_control_text(ID_PORT, "4242");
        set_control_text(ID_PREFIX, "typed");
        save_by(c.by_minimize);
        if (c.by_minimize) {
            EXPECT_EQ(main_loop_turn(), 1) << "the program goes on";
            // What the user typed stays in the window and in the fields.
            EXPECT_EQ(get_control_text(ID_PORT), "4242");
            EXPECT_EQ(state.port, "4242");
            EXPECT_EQ(state.systray_icon_prefix, "typed");
        }
        if (c.file) {
            EXPECT_EQ(settings_file(), *c.file);
        }
        EXPECT_EQ(read_file(fs::path(c.obstacle) / "inside"), "kept");
        std::vector<std::string> expected{c.obstacle};
        if (c.file) expected.push_back(SETTINGS_FILE);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(directory_names(), expected) << "no temporary file left";
        fs::remove_all(c.obstacle);
    }
}

}  // namespace
