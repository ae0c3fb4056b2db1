// The settings file: what start-up takes from it, the exact bytes a save
// writes, and that neither a strange file nor a failed save costs the user
// anything. Everything runs over real files in the test's own directory.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/unit/fixture.h"
#include "ui/ini_file.h"
#include "ui/settings.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

struct Fields {
    std::string host, port;
    std::int32_t auto_connect, start_iconic;
    std::string prefix;
    std::int32_t try_connect, interval;
    bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Fields& f) {
    return os << "{\"" << f.host << "\", \"" << f.port << "\", " << f.auto_connect << ", " << f.start_iconic
              << ", \"" << f.prefix << "\", " << f.try_connect << ", " << f.interval << "}";
}

const Fields defaults{"localhost", "7784", 1, 1, "DSL-Modem 1", 0, 15};

Fields loaded() {
    return {state.ip_or_hostname, state.port,         state.auto_connect,        state.start_iconic,
            state.systray_icon_prefix, state.try_connect, state.try_connect_interval};
}

Fields with(Fields f, void (*change)(Fields&)) {
    change(f);
    return f;
}

const std::string default_file =
    "[CLIENT]\r\n"
    "IP_or_Hostname = localhost\r\n"
    "Port = 7784\r\n"
    "AutoConnect = 1\r\n"
    "startVYXCiconic = 1\r\n"
    "SysTrayIconPrefix = DSL-Modem 1\r\n"
    "TryConnect = 0\r\n"
    "TryConnectInterval = 15\r\n";

void write_file(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SettingsTest : public ProgramTest {
protected:
    // A fresh program over `file` (no settings file when empty).
    void restart_with(const std::optional<std::string>& file) {
        if (window_exists(MAIN_WINDOW)) release_everything();
        headless::reset();
        fs::remove_all(SETTINGS_FILE);
        fs::remove_all(SETTINGS_TEMP_FILE);
        if (file) write_file(SETTINGS_FILE, *file);
        start();
    }

    // The files in the working directory, for "nothing else was left behind".
    std::vector<std::string> directory_names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// ---- Reading ---------------------------------------------------------------

TEST_F(SettingsTest, ReadingRules) {
    struct {
        const char* what;
        std::string file;
        Fields expected;
    } cases[] = {
        {"empty file", "", defaults},
        {"no CLIENT group at all", "Port = 1\r\n[OTHER]\r\nPort = 2\r\n", defaults},
        {"lower-case header, no blanks around '='", "[client]\r\nPort=8080\r\n",
         with(defaults, [](Fields& f) { f.port = "8080"; })},
        {"keys in any letter case",
         "[Client]\r\nport = 1\r\nIP_OR_HOSTNAME = h\r\ntryconnectinterval = 9\r\n",
         with(defaults, [](Fields& f) { f.port = "1"; f.host = "h"; f.interval = 9; })},
        {"trailing blanks are not part of a value",
         "[CLIENT]\r\nPort = 8080 \t \r\nIP_or_Hostname =\t host name  \r\nTryConnect = 1  \r\n",
         with(defaults, [](Fields& f) { f.port = "8080"; f.host = "host name"; f.try_connect = 1; })},
        {"blanks before the key and the header, and before '='",
         " \t[CLIENT]\r\n\t Port \t = 9\r\n  SysTrayIconPrefix\t=x\r\n",
         with(defaults, [](Fields& f) { f.port = "9"; f.prefix = "x"; })},
        {"first of two entries wins",
         "[CLIENT]\r\nPort = 1111\r\nport = 2222\r\nAutoConnect=0\r\nAutoConnect=1\r\n",
         with(defaults, [](Fields& f) { f.port = "1111"; f.auto_connect = 0; })},
        {"keys before the header or under another header are ignored",
         "Port = 1\r\nTryConnect = 1\r\n[CLIENT]\r\nAutoConnect = 0\r\n"
         "[OTHER]\r\nPort = 2\r\nTryConnectInterval = 99\r\n",
         with(defaults, [](Fields& f) { f.auto_connect = 0; })},
        {"only the first CLIENT group counts",
         "[CLIENT]\r\nPort = 1\r\n[X]\r\n[client]\r\nTryConnect = 1\r\n",
         with(defaults, [](Fields& f) { f.port = "1"; })},
        {"blanks inside the brackets make another group",
         "[ CLIENT ]\r\nPort = 1\r\nAutoConnect = 0\r\n", defaults},
        {"tab inside the brackets too", "[CLIENT\t]\r\nPort = 1\r\n", defaults},
        {"text after ']' is ignored", "[CLIENT] ; main group\r\nPort = 3\r\n",
         with(defaults, [](Fields& f) { f.port = "3"; })},
        {"a header without ']' runs to the line end", "[CLIENT\r\nPort = 3\r\n",
         with(defaults, [](Fields& f) { f.port = "3"; })},
        {"comments are not entries", "[CLIENT]\r\n; Port = 1\r\n;Port=2\r\n  ; TryConnect = 1\r\n", defaults},
        {"empty interval reads 0, not the default", "[CLIENT]\r\nTryConnectInterval =\r\n",
         with(defaults, [](Fields& f) { f.interval = 0; })},
        {"digits then letters read as the digits", "[CLIENT]\r\nTryConnectInterval = 12abc\r\n",
         with(defaults, [](Fields& f) { f.interval = 12; })},
        {"non-numeric flags read 0, not their default",
         "[CLIENT]\r\nAutoConnect = yes\r\nstartVYXCiconic = \r\n",
         with(defaults, [](Fields& f) { f.auto_connect = 0; f.start_iconic = 0; })},
        {"signs and out-of-range values are taken as they are",
         "[CLIENT]\r\nTryConnectInterval = -7\r\nAutoConnect = +2\r\nTryConnect = 4294967297\r\n"
         "startVYXCiconic=\v5\r\n",
         {"localhost", "7784", 2, 5, "DSL-Modem 1", 1, -7}},
        {"a key without '=' is present with an empty value, and the next line still counts",
         "[CLIENT]\r\nIP_or_Hostname\r\nPort = 5\r\nTryConnectInterval\r\n",
         with(defaults, [](Fields& f) { f.host = ""; f.port = "5"; f.interval = 0; })},
        {"a value may contain '=', ';' and '['", "[CLIENT]\r\nSysTrayIconPrefix = a=b ; [c]\r\n",
         with(defaults, [](Fields& f) { f.prefix = "a=b ; [c]"; })},
        {"a present but blank text is empty, not the default", "[CLIENT]\r\nSysTrayIconPrefix =  \t \r\n",
         with(defaults, [](Fields& f) { f.prefix = ""; })},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[CLIENT]\r\nPort = 8080\r\n",
         with(defaults, [](Fields& f) { f.port = "8080"; })},
        {"a mark anywhere else is text", "[CLIENT]\r\n\xEF\xBB\xBFPort = 8080\r\n", defaults},
        {"LF line ends", "[CLIENT]\nPort = 1\nTryConnect = 1\n",
         with(defaults, [](Fields& f) { f.port = "1"; f.try_connect = 1; })},
        {"CR line ends", "[CLIENT]\rPort = 1\rTryConnect = 1",
         with(defaults, [](Fields& f) { f.port = "1"; f.try_connect = 1; })},
        {"mixed line ends and blank lines", "\r\n\n[CLIENT]\n\r\r\nPort = 1\r\r\r\n   \r\n\nTryConnect = 1",
         with(defaults, [](Fields& f) { f.port = "1"; f.try_connect = 1; })},
        {"all seven keys",
         "[CLIENT]\r\nIP_or_Hostname = 10.0.0.1\r\nPort = 23\r\nAutoConnect = 0\r\nstartVYXCiconic = 0\r\n"
         "SysTrayIconPrefix = Box\r\nTryConnect = 1\r\nTryConnectInterval = 600\r\n",
         {"10.0.0.1", "23", 0, 0, "Box", 1, 600}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(SETTINGS_FILE, c.file);
        state = ProgramState{};
        load_settings();
        EXPECT_EQ(loaded(), c.expected);
        EXPECT_EQ(read_file(SETTINGS_FILE), c.file) << "reading never changes the file";
    }
}

TEST_F(SettingsTest, UnreadableFileGivesDefaults) {
    struct {
        const char* what;
        void (*make)();
    } cases[] = {
        {"no file", [] {}},
        {"a directory under the file's name", [] { fs::create_directory(SETTINGS_FILE); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(SETTINGS_FILE);
        c.make();
        state = ProgramState{};
        load_settings();
        EXPECT_EQ(loaded(), defaults);
    }
    EXPECT_TRUE(fs::is_directory(SETTINGS_FILE));
}

TEST_F(SettingsTest, NoFileStartsWithDefaultsAndCreatesNothingUntilSaved) {
    start();
    EXPECT_EQ(get_control_text(ID_HOST), "localhost");
    EXPECT_EQ(get_control_text(ID_PORT), "7784");
    EXPECT_EQ(is_checked(ID_AUTO_CONNECT), 1);
    EXPECT_EQ(is_checked(ID_TRY_CONNECT), 0);
    EXPECT_EQ(get_control_text(ID_INTERVAL), "15");
    EXPECT_EQ(get_control_text(ID_PREFIX), "DSL-Modem 1");
    EXPECT_FALSE(window_visible(MAIN_WINDOW)) << "starts in the tray";
    EXPECT_TRUE(fs::is_empty(dir_)) << "loading never creates the file";

    headless::push_menu(MENU_QUIT);
    EXPECT_EQ(main_loop_turn(), 0);
    shutdown_program();
    EXPECT_EQ(read_file(SETTINGS_FILE), default_file);
    EXPECT_EQ(directory_names(), std::vector<std::string>{SETTINGS_FILE});
}

TEST_F(SettingsTest, FlagsAtStartUpAndWhatTheNextSaveMakesOfThem) {
    struct {
        const char* what;
        std::string file;
        bool auto_box, reconnect_box, window_shown;
        std::string interval_text;
        const char* saved_flags;  // lines 4, 5 and 7 of the saved file
    } cases[] = {
        {"auto-connect 2 shows checked and is saved as 1",
         "[CLIENT]\r\nAutoConnect = 2\r\nstartVYXCiconic = 0\r\n", true, false, true, "15",
         "AutoConnect = 1|startVYXCiconic = 0|TryConnect = 0"},
        {"start-iconic other than 1 shows the window and survives the save",
         "[CLIENT]\r\nAutoConnect = 0\r\nstartVYXCiconic = 7\r\n", false, false, true, "15",
         "AutoConnect = 0|startVYXCiconic = 7|TryConnect = 0"},
        {"negative flags count as checked; start-iconic -1 is not 1",
         "[CLIENT]\r\nAutoConnect = -1\r\nstartVYXCiconic = -1\r\nTryConnect = -1\r\n",
         true, true, true, "15",
         "AutoConnect = 1|startVYXCiconic = -1|TryConnect = 1"},
        {"interval shown as read, unclamped", "[CLIENT]\r\nTryConnectInterval = 2\r\nstartVYXCiconic = 1\r\n",
         true, false, false, "2", "AutoConnect = 1|startVYXCiconic = 1|TryConnect = 0"},
        {"interval far out of range", "[CLIENT]\r\nTryConnectInterval = 5000\r\n", true, false, false, "5000",
         "AutoConnect = 1|startVYXCiconic = 1|TryConnect = 0"},
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
        std::string flags;
        const std::string saved = read_file(SETTINGS_FILE);
        for (const char* key : {"AutoConnect = ", "startVYXCiconic = ", "TryConnect = "}) {
            const std::size_t at = saved.find("\r\n"s + key);
            ASSERT_NE(at, std::string::npos) << key;
            if (!flags.empty()) flags += "|";
            flags += saved.substr(at + 2, saved.find("\r\n", at + 2) - at - 2);
        }
        EXPECT_EQ(flags, c.saved_flags);
    }
}

// ---- Huge and hostile files ------------------------------------------------

// Deterministic noise, with every byte value including NUL, CR, LF, '[' and '='.
std::string noise(std::size_t size) {
    std::string s(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

// Junk to make a file exactly `size` bytes long: one comment line.
std::string comment_of_size(std::size_t size) { return ";" + std::string(size - 3, 'x') + "\r\n"; }

TEST_F(SettingsTest, HugeAndNoisyFilesStillStart) {
    const std::string header = "[CLIENT]\r\n";
    const std::string many_lines = [] {
        std::string s;
        while (s.size() < 8 * 1024 * 1024) s += "Unknown = some value that is not ours\r\n";
        return s;
    }();
    const std::size_t bound = INI_MAX_BYTES;
    const std::string port_line = "Port = 8080\r\n";  // the CR is 2 bytes before the line's end
    struct {
        const char* what;
        std::string file;
        Fields expected;
    } cases[] = {
        {"group first, megabytes of lines after it; what lies past the bound is not read",
         header + port_line + many_lines + "TryConnect = 1\r\n",
         with(defaults, [](Fields& f) { f.port = "8080"; })},
        {"megabytes of one line with no line end, group after it",
         std::string(8 * 1024 * 1024, 'a') + "\r\n" + header + port_line, defaults},
        {"group after megabytes of lines", many_lines + header + port_line, defaults},
        {"binary noise", noise(256 * 1024), defaults},
        {"binary noise after the group", header + port_line + noise(256 * 1024),
         with(defaults, [](Fields& f) { f.port = "8080"; })},
        {"NULs inside a value", header + "SysTrayIconPrefix = a\0b\r\n"s,
         with(defaults, [](Fields& f) { f.prefix = "a\0b"s; })},
        // At the bound: only whole lines are taken, so a value is never cut short.
        {"line ending right at the bound",
         header + comment_of_size(bound - header.size() - port_line.size() + 1) + port_line +
             "TryConnect = 1\r\n",
         with(defaults, [](Fields& f) { f.port = "8080"; })},
        {"line crossing the bound",
         header + comment_of_size(bound - header.size() - port_line.size() + 2) + port_line +
             "TryConnect = 1\r\n",
         defaults},
        {"file of exactly the bound without a last line end",
         header + comment_of_size(bound - header.size() - 11) + "Port = 8080",
         with(defaults, [](Fields& f) { f.port = "8080"; })},
        {"one byte over the bound without a last line end",
         header + comment_of_size(bound - header.size() - 11) + "Port = 80801", defaults},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart_with(c.file);
        EXPECT_EQ(loaded(), c.expected);
        EXPECT_EQ(get_control_text(ID_PORT), c.expected.port);
        EXPECT_EQ(main_loop_turn(), 1) << "the program runs";
    }
}

// ---- Writing ---------------------------------------------------------------

TEST_F(SettingsTest, SaveWritesExactlyTheEightLines) {
    struct {
        const char* what;
        std::optional<std::string> old_file;
        void (*edit)();               // the user's changes in the window
        bool by_minimize;             // else by Quit
        std::string expected;
    } cases[] = {
        {"defaults at exit", std::nullopt, [] {}, false, default_file},
        {"everything else in the old file is dropped, and the mark too",
         "\xEF\xBB\xBF; my notes\n[OTHER]\nx=1\n\n[client]\nport=8080   \nUnknown = 5\n"
         "startVYXCiconic=0\nTryConnectInterval=12abc\n[MORE]\n",
         [] {}, true,
         "[CLIENT]\r\nIP_or_Hostname = localhost\r\nPort = 8080\r\nAutoConnect = 1\r\nstartVYXCiconic = 0\r\n"
         "SysTrayIconPrefix = DSL-Modem 1\r\nTryConnect = 0\r\nTryConnectInterval = 12\r\n"},
        {"edited controls; the interval text goes through the number rule",
         "[CLIENT]\r\nstartVYXCiconic = 0\r\n",
         [] {
             set_control_text(ID_HOST, "192.168.1.1");
             set_control_text(ID_PORT, "");
             set_checked(ID_AUTO_CONNECT, 0);
             set_checked(ID_TRY_CONNECT, 1);
             set_control_text(ID_INTERVAL, " 12abc");
             set_control_text(ID_PREFIX, "A prefix longer than twenty-five characters = fine");
         },
         true,
         "[CLIENT]\r\nIP_or_Hostname = 192.168.1.1\r\nPort = \r\nAutoConnect = 0\r\nstartVYXCiconic = 0\r\n"
         "SysTrayIconPrefix = A prefix longer than twenty-five characters = fine\r\nTryConnect = 1\r\n"
         "TryConnectInterval = 12\r\n"},
        {"an interval past the 32-bit range wraps", std::nullopt,
         [] { set_control_text(ID_INTERVAL, "-2147483649"); }, false,
         "[CLIENT]\r\nIP_or_Hostname = localhost\r\nPort = 7784\r\nAutoConnect = 1\r\nstartVYXCiconic = 1\r\n"
         "SysTrayIconPrefix = DSL-Modem 1\r\nTryConnect = 0\r\nTryConnectInterval = 2147483647\r\n"},
        {"an empty interval is 0", std::nullopt, [] { set_control_text(ID_INTERVAL, ""); }, false,
         "[CLIENT]\r\nIP_or_Hostname = localhost\r\nPort = 7784\r\nAutoConnect = 1\r\nstartVYXCiconic = 1\r\n"
         "SysTrayIconPrefix = DSL-Modem 1\r\nTryConnect = 0\r\nTryConnectInterval = 0\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart_with(c.old_file);
        c.edit();
        if (c.by_minimize) {
            ASSERT_TRUE(window_visible(MAIN_WINDOW));
            headless::user_minimize(MAIN_WINDOW);
            EXPECT_EQ(main_loop_turn(), 1);
        } else {
            headless::push_menu(MENU_QUIT);
            EXPECT_EQ(main_loop_turn(), 0);
            shutdown_program();
        }
        EXPECT_EQ(read_file(SETTINGS_FILE), c.expected);
        EXPECT_EQ(directory_names(), std::vector<std::string>{SETTINGS_FILE}) << "no temporary file left";
    }
}

TEST_F(SettingsTest, SavedSettingsReadBackUnchanged) {
    start();
    set_control_text(ID_HOST, "host=with=equals");
    set_control_text(ID_PORT, "65535");
    set_checked(ID_AUTO_CONNECT, 0);
    set_checked(ID_TRY_CONNECT, 1);
    set_control_text(ID_INTERVAL, "-2147483648");
    set_control_text(ID_PREFIX, "[not a header]; nor a comment");
    save_settings();
    const Fields saved = loaded();
    const Fields expected{"host=with=equals", "65535", 0, 1, "[not a header]; nor a comment", 1, INT32_MIN};
    EXPECT_EQ(saved, expected);

    state = ProgramState{};
    load_settings();
    EXPECT_EQ(loaded(), saved);
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
        write_file(fs::path(c.obstacle) / "inside", "kept");
        set_control_text(ID_PORT, "4242");
        set_control_text(ID_PREFIX, "typed");
        if (c.by_minimize) {
            headless::user_minimize(MAIN_WINDOW);
            EXPECT_EQ(main_loop_turn(), 1);
            EXPECT_EQ(main_loop_turn(), 1) << "the program goes on";
            // What the user typed stays in the window and in the fields.
            EXPECT_EQ(get_control_text(ID_PORT), "4242");
            EXPECT_EQ(state.port, "4242");
            EXPECT_EQ(state.systray_icon_prefix, "typed");
        } else {
            headless::push_menu(MENU_QUIT);
            EXPECT_EQ(main_loop_turn(), 0);
            shutdown_program();
        }
        if (c.file) {
            EXPECT_EQ(read_file(SETTINGS_FILE), *c.file);
        }
        EXPECT_EQ(read_file(fs::path(c.obstacle) / "inside"), "kept");
        std::vector<std::string> expected{c.obstacle};
        if (c.file) expected.push_back(SETTINGS_FILE);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(directory_names(), expected) << "no temporary file left";
        fs::remove_all(c.obstacle);
    }
}

// ---- The file layer on its own ---------------------------------------------

TEST(IniFile, ParsedFileWrittenBackShowsWhatWasRead) {
    struct {
        const char* what;
        std::string image, written;
    } cases[] = {
        {"empty", "", ""},
        {"blank lines and a blank-only line vanish", "\r\n\n\r  \t \r\nx=1\r\r\n\n", "x = 1\r\n"},
        {"one space after ';' is dropped, nothing else", ";a\n; b\n;  c\n;\td\n;\n",
         "; a\r\n; b\r\n;  c\r\n; \td\r\n; \r\n"},
        {"header: up to the first ']', untrimmed", "  [ a b ] tail ]\n[open\n[]\n[[x]]\n",
         "[ a b ]\r\n[open]\r\n[]\r\n[[x]\r\n"},
        {"entry: key trimmed at its end, value only at its start", "\t key \t=\t value \t\n",
         "key = value \t\r\n"},
        {"key without '=' and with an empty key", "lonely\n=v\nk=\n", "lonely = \r\n = v\r\nk = \r\n"},
        {"value keeps further '='", "a = b = c\n", "a = b = c\r\n"},
        {"byte-order mark kept as the file's encoding", "\xEF\xBB\xBFx=1", "\xEF\xBB\xBF\r\nx = 1\r\n"},
        {"a partial mark is text", "\xEF\xBBx=1", "\xEF\xBBx = 1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const IniFile file = ini_parse(c.image);
        EXPECT_EQ(ini_serialize(file), c.written);
        EXPECT_EQ(ini_serialize(ini_parse(c.written)), c.written) << "the written form reads back the same";
    }
}

TEST(IniFile, WritesLandInTheSelectedGroup) {
    struct {
        const char* what;
        std::string image, group;
        std::vector<std::pair<std::string, std::string>> writes;
        std::string written;
        int found;
    } cases[] = {
        {"replaces the first entry and takes the new spelling", "[g]\nKEY=1\nkey=2\n", "G", {{"Key", "9"}},
         "[g]\r\nKey = 9\r\nkey = 2\r\n", 1},
        {"adds at the group's end, before the next header", "[a]\nx=1\n; c\n[b]\ny=2\n", "a", {{"z", "3"}},
         "[a]\r\nx = 1\r\n; c\r\nz = 3\r\n[b]\r\ny = 2\r\n", 1},
        {"a missing group is appended by the first write only", "x=1\n[a]\n", "B", {{"k", "v"}, {"l", "w"}},
         "x = 1\r\n[a]\r\n[B]\r\nk = v\r\nl = w\r\n", 0},
        {"no group: before the first header", "[a]\nx=1\n", "", {{"k", "v"}}, "k = v\r\n[a]\r\nx = 1\r\n", 1},
        {"a UTF-8 file stays one", "\xEF\xBB\xBF[a]\n", "a", {{"k", "v"}},
         "\xEF\xBB\xBF\r\n[a]\r\nk = v\r\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile file = ini_parse(c.image);
        EXPECT_EQ(ini_select_group(file, c.group), c.found);
        for (const auto& [key, value] : c.writes) ini_write_string(file, key, value);
        EXPECT_EQ(ini_serialize(file), c.written);
    }
}

}  // namespace
