// The settings file over real files; what else a start sets up and every way out; the main loop's
// unlisted events; the text-to-number rule.
#include "ui/settings.h"

#include <optional>

#include "app/text_number.h"
#include "tests/unit/fixture.h"
#include "ui/main_window.h"
#include "ui/status.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace std::string_view_literals;

constexpr const char* FILE_NAME = "vyxC_0.78_cfg.ini";
constexpr const char* TEMP_NAME = "vyxC_0.78_cfg.ini.tmp";

// The seven settings; what is not named is the default.
struct Fields {
    std::string host = "localhost", port = "7784";
    int auto_connect = 1, start_iconic = 1;
    std::string prefix = "DSL-Modem 1";
    int try_connect = 0, interval = 15;
};

std::string file_of(const Fields& f) {
    return "[CLIENT]\r\nIP_or_Hostname = " + f.host + "\r\nPort = " + f.port +
           "\r\nAutoConnect = " + std::to_string(f.auto_connect) +
           "\r\nstartVYXCiconic = " + std::to_string(f.start_iconic) + "\r\nSysTrayIconPrefix = " + f.prefix +
           "\r\nTryConnect = " + std::to_string(f.try_connect) +
           "\r\nTryConnectInterval = " + std::to_string(f.interval) + "\r\n";
}

using SettingsTest = ProgramTest;

// Start-up from a file, edits in the window, then a save: by minimizing when shown, else by Quit.
TEST_F(SettingsTest, StartUpThenSave) {
    std::string lines, noise(256 * 1024, '\0');
    while (lines.size() < 2 * 1024 * 1024) lines += "Unknown = some value that is not ours\r\n";
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 131 + i / 256);
    const std::string group = "[CLIENT]\r\nPort = 8080\r\n";
    const auto sized = [&](std::size_t n) { return group + std::string(n - group.size() - 2, ';') + "\r\n"; };
    const struct {
        std::optional<std::string> file;
        Fields saved;                    // the fields after the save, and the file it wrote
        std::string edits = "";          // typed in the window
        const char* obstacle = nullptr;  // a directory put under this name once started
    } cases[] = {
        {std::nullopt, {}},
        // Keys before the header, under another header or in a later CLIENT group do not count.
        {"Port = 1\r\n[OTHER]\r\nx=1\r\n[CLIENT]\r\nAutoConnect = 0\r\n[OTHER]\r\nPort = 2\r\n[client]\r\n"
         "TryConnect = 1\r\n",
         {.auto_connect = 0}},
        {" \t[Client]\r\nport=1\r\n\t IP_OR_HOSTNAME \t = host name \t \r\ntryconnectinterval = 9\r\n",
         {.host = "host name", .port = "1", .interval = 9}},
        // The first entry wins; comments are no entries; a key without '=' is empty and the next line counts.
        {"[CLIENT] ; main\r\n; Port = 1\r\nPort = 1111\r\nport = 2222\r\nIP_or_Hostname\r\nAutoConnect=0\r\n"
         "AutoConnect=1\r\nTryConnectInterval\r\n",
         {.host = "", .port = "1111", .auto_connect = 0, .interval = 0}},
        {"[ CLIENT\t]\r\nPort = 1\r\n[CLIENT\r\nPort = 3\r\n", {.port = "3"}},
        // Numbers as far as they are digits; no digit reads 0, not the default. Any flag but 0 shows
        // checked and is saved as 1; start-iconic other than 1 shows the window and is kept as read.
        {"[CLIENT]\r\nTryConnectInterval = 12abc\r\nAutoConnect = yes\r\nstartVYXCiconic = \r\n"
         "TryConnect = 4294967297\r\n",
         {.auto_connect = 0, .start_iconic = 0, .try_connect = 1, .interval = 12}},
        {"[CLIENT]\r\nTryConnectInterval = -7\r\nAutoConnect = +2\r\nstartVYXCiconic=\v5\r\nTryConnect = -1",
         {.start_iconic = 5, .try_connect = 1, .interval = -7}},
        {"[CLIENT]\r\nSysTrayIconPrefix = a=b ; [c]\r\nIP_or_Hostname =  \t \r\n",
         {.host = "", .prefix = "a=b ; [c]"}},
        // UTF-8 after its byte-order mark, where the local code page is UTF-8; a mark elsewhere is text.
        {"\xEF\xBB\xBF[CLIENT]\r\nSysTrayIconPrefix = B\xC3\xBCro \xE2\x82\xAC\r\n\xEF\xBB\xBFPort = 8080",
         {.prefix = "B\xC3\xBCro \xE2\x82\xAC"}},
        // Any run of CR and LF ends a line.
        {"\r\n\n[CLIENT]\r\r\nIP_or_Hostname = 10.0.0.1\r\r\r\n   \r\n\nPort = 23\nAutoConnect = 0\r"
         "startVYXCiconic = 0\n\nSysTrayIconPrefix = Box\r\nTryConnect = 1\r\nTryConnectInterval = 600",
         {"10.0.0.1", "23", 0, 0, "Box", 1, 600}},
        // Edits that look like file syntax; the interval text goes through the number rule and wraps.
        {std::nullopt, {"a=b", "7784", 1, 1, "[x];y", 1, INT32_MAX}, "28=a=b|33=1|34=-2147483649x|52=[x];y"},
        // Read whole, however long and whatever the bytes, up to 8 MiB.
        {std::string(2 * 1024 * 1024, 'a') + "\r\n" + group + lines + "TryConnect = 1\r\n",
         {.port = "8080", .try_connect = 1}},
        {group + noise, {.port = "8080"}},
        {"[CLIENT]\r\nSysTrayIconPrefix = a\0b\r\n"s, {.prefix = "a\0b"s}},
        {sized(8 * 1024 * 1024), {.port = "8080"}},
        // Beyond that no settings file of ours: not read, and not replaced by defaults either.
        {sized(8 * 1024 * 1024 + 1), {}},
        // A save that cannot be done leaves the file as it was, and what was typed stays.
        {"[CLIENT]\r\nstartVYXCiconic=0", {.start_iconic = 0, .prefix = "typed"}, "52=typed", TEMP_NAME},
        {std::nullopt, {.prefix = "typed"}, "52=typed", FILE_NAME},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.value_or("no file").substr(0, 80));
        const bool kept = c.obstacle || (c.file && c.file->size() > 8 * 1024 * 1024);  // as it was, or absent
        for (const char* name : {FILE_NAME, TEMP_NAME}) fs::remove_all(name);
        restart(c.file);
        EXPECT_EQ(fs::exists(FILE_NAME), c.file.has_value()) << "loading never creates the file";
        const bool shown = window_visible(MAIN_WINDOW);
        EXPECT_EQ(shown, c.saved.start_iconic != 1) << "in the tray at exactly 1";
        if (c.obstacle) fs::create_directory(c.obstacle);
        type_into(c.edits);
        shown ? headless::user_minimize(MAIN_WINDOW) : headless::push_menu(MENU_QUIT);
        EXPECT_EQ(main_loop_turn(), shown ? 1 : 0);
        if (!shown) shutdown_program();
        EXPECT_EQ(file_of({state.ip_or_hostname, state.port, state.auto_connect, state.start_iconic,
                           state.systray_icon_prefix, state.try_connect, state.try_connect_interval}),
                  file_of(c.saved));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}),
                  (c.obstacle ? 1 : 0) + (c.file || !kept ? 1 : 0))
            << "no temporary file left";
        if (c.obstacle) fs::remove_all(c.obstacle);
        EXPECT_TRUE(!kept || settings_file() == c.file.value_or("")) << "the file was replaced";
        EXPECT_TRUE(kept || settings_file() == file_of(c.saved));
    }
}

using StartupTest = StartedTest;

TEST_F(StartupTest, WhatAStartSetsUp) {
    auto& w = headless::world();
    for (auto [first, last, kind, size, bits] : {std::tuple{10, 14, PICTURE_ICON, 48, 32},
                                                 {15, 19, PICTURE_ICON, 16, 32},
                                                 {20, 20, PICTURE_ICON, 48, 32},
                                                 {60, 68, PICTURE_BITMAP, 12, 24}})
        for (int id = first; id <= last; ++id) {
            const headless::Picture& p = w.pictures[state.pictures[id]];
            EXPECT_EQ(std::tuple(p.kind, p.width, p.height, p.bits), std::tuple(kind, size, size, bits))
                << id;
        }

    // Items top to bottom (0: a separator), with their bitmap's picture number; "off" when disabled.
    std::string menu;
    for (const auto& m : w.menus.at(900)) {
        const auto picture = std::ranges::find(state.pictures, m.bitmap) - state.pictures.begin();
        menu += std::to_string(m.item) + (m.bitmap ? ":" + std::to_string(picture) : "") +
                (m.enabled ? " " : "off ");
    }
    EXPECT_EQ(menu, "980off 0 970:65 971:66 972:67 0 984:60 0 986:61 990:62 0 995:63 993:68 994 0 999:64 ");

    ASSERT_EQ(w.timers.size(), 1u);
    int item = 0;
    EXPECT_EQ(std::tuple(enter_shortcut_item(MAIN_WINDOW, &item), item,
                         enter_shortcut_item(LOG_WINDOW, nullptr), w.timers[0].id, w.timers[0].period_ms),
              std::tuple(true, 400, false, 499, 1000));
    headless::push_control(707);
    main_loop_turn();
    EXPECT_EQ(w.shell_opens, std::vector<std::string>{get_control_text(707)})
        << "the link opens the page it shows";
}

// Built in the state the start-up then leaves it in, the shown window repaints no control for it.
TEST_F(ProgramTest, TheWindowIsBuiltAsTheStartUpLeavesIt) {
    const auto enabling = [] {
        std::string all;
        for (const auto& [id, c] : headless::world().controls)
            all += std::to_string(id) + (c.enabled ? "+ " : "- ");
        return all;
    };
    for (const char* try_connect : {"0", "1"}) {
        write_settings(std::string(QUIET_SETTINGS) + "TryConnect=" + try_connect + "\r\n");
        load_settings();
        ASSERT_EQ(build_main_window(), 1);
        const std::string built = enabling();
        settings_to_controls();
        update_interval_controls();
        enable_action_controls(0);
        enable_connection_controls(0);
        EXPECT_EQ(enabling(), built) << "TryConnect=" << try_connect;
        headless::reset();
    }
}

TEST_F(StartupTest, EveryWayOutReleasesEverythingAndOnlyARunSaves) {
    // What went wrong, and the message boxes shown as title|text|buttons; the save last.
    const std::tuple<const char*, bool, bool, std::string> cases[] = {
        {"no network", false, true, "Error|Can't initialize the network. TCP/IP-Stack !|0\n"},
        {"no main window", true, false, "Error|Can't create the main window.|0\n"},
        {"closed after a run", true, true, ""},
    };
    for (const auto& [what, network, windows, expected_boxes] : cases) {
        SCOPED_TRACE(what);
        headless::reset();
        auto& w = headless::world();
        w.network_starts = network, w.windows_build = windows;
        headless::push_close(MAIN_WINDOW);
        EXPECT_EQ(program_main(), 0);
        std::string boxes;
        for (const auto& b : w.message_boxes)
            boxes += b.title + "|" + b.text + "|" + std::to_string(b.buttons) + "\n";
        EXPECT_EQ(boxes, expected_boxes);
        EXPECT_EQ(settings_file() == QUIET_SETTINGS, !boxes.empty()) << "saved after a run only";
        EXPECT_EQ(std::tuple(headless::live_windows(), headless::live_controls(), headless::live_fonts(),
                             headless::live_pictures(), w.tray.size(), w.menus.size()),
                  std::tuple(0, 0, 0, 0, 0u, 0u));
    }
}

using MainLoopTest = ConnectedTest;

TEST_F(MainLoopTest, UnlistedEventsDoNothingAndCloseRequestsSayNothingToTheServer) {
    const std::tuple<const char*, void (*)(), int> cases[] = {
        {"close box", [] { headless::push_close(MAIN_WINDOW); }, 0},
        {"Quit", [] { headless::push_menu(999); }, 0},
        {"log viewer's close box: closes only the viewer", [] { headless::push_close(LOG_WINDOW); }, 1},
    };
    for (const auto& [what, push, running] : cases) {
        SCOPED_TRACE(what);
        restart(QUIET_SETTINGS);
        open_link();
        server_says(loopback::frame("x\n"));  // the log viewer open

        for (int id : {ID_HOST, ID_MON_SNR_SWITCH}) headless::push_control(id);  // a text change, a plain box
        for (int item : {980, 12345}) headless::push_menu(item);
        headless::push(512, MAIN_WINDOW);  // a mouse move
        headless::push(0, WINDOW_NONE);    // the network's null message
        const auto before = headless::world().controls;
        headless::world().pictures_shown.clear();
        while (!event_queue::empty()) ASSERT_EQ(main_loop_turn(), 1);
        for (const auto& [id, c] : before) EXPECT_EQ(control_enabled(id), c.enabled) << id;
        EXPECT_TRUE(pictures_seen().empty()) << "no status change";
        EXPECT_TRUE(headless::world().popup_shown.empty());
        push();
        EXPECT_EQ(main_loop_turn(), running);
        EXPECT_EQ(window_exists(LOG_WINDOW), running == 0);
        EXPECT_TRUE(window_visible(MAIN_WINDOW));
        shutdown_program();
        EXPECT_EQ(peer_.read(2000), "") << "nothing said to the server";
    }
}

TEST_F(MainLoopTest, CloseRequestInsideAShortWaitSavesAndEndsTheProgram) {
    set_control_text(ID_PREFIX, "closed during a wait");
    EXPECT_EXIT((headless::push_close(MAIN_WINDOW), wait_with_events(700)), ::testing::ExitedWithCode(0), "");
    EXPECT_NE(settings_file().find("SysTrayIconPrefix = closed during a wait\r\n"), std::string::npos);
}

// Blanks and tabs in front, one sign, digits up to the first other character;
// 32-bit wrap-around instead of overflow; a view ends where the view ends.
TEST(TextToInt, Rule) {
    const std::pair<std::string_view, std::int32_t> cases[] = {{" \t 42", 42},
                                                               {"-5", -5},
                                                               {"+8", 8},
                                                               {"12abc", 12},
                                                               {"12 34", 12},
                                                               {"3.9", 3},
                                                               {"", 0},
                                                               {"-", 0},
                                                               {"abc", 0},
                                                               {"   ", 0},
                                                               {"--5", 0},
                                                               {"+-5", 0},
                                                               {"- 5", 0},
                                                               {"5-", 5},
                                                               {"\n5", 0},
                                                               {"\r5", 0},
                                                               {"\v5", 0},
                                                               {"4\0002"sv, 4},
                                                               {"2147483647", INT32_MAX},
                                                               {"-2147483648", INT32_MIN},
                                                               {"2147483648", INT32_MIN},
                                                               {"4294967295", -1},
                                                               {"4294967297", 1},
                                                               {"-4294967297", -1},
                                                               {"00000000000017", 17},
                                                               {"12345"sv.substr(0, 2), 12}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(text_to_int(text), expected) << '"' << text << '"';
}

}  // namespace
