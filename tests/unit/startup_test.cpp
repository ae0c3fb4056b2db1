// Start-up: pictures, fonts, the tray popup menu, the Enter shortcut, the
// supervision timer, the first enabling, and the network-failure way out.
#include <filesystem>

#include "tests/unit/fixture.h"

namespace {

class StartupTest : public ProgramTest {
   protected:
    void start() {
        write_settings(QUIET_SETTINGS);
        ProgramTest::start();
    }
};

TEST_F(StartupTest, PicturesLoadWithTheirSizesAndFormats) {
    start();
    struct {
        int first, last;
        PictureKind kind;
        int size, bits;
    } groups[] = {
        {10, 14, PICTURE_ICON, 48, 32},
        {15, 19, PICTURE_ICON, 16, 32},
        {20, 20, PICTURE_ICON, 48, 32},
        {60, 68, PICTURE_BITMAP, 12, 24},
    };
    for (const auto& g : groups) {
        for (int id = g.first; id <= g.last; ++id) {
            SCOPED_TRACE("picture " + std::to_string(id));
            const int handle = state.pictures[id];
            ASSERT_NE(handle, 0);
            const headless::Picture& p = headless::world().pictures[handle];
            EXPECT_EQ(p.kind, g.kind);
            EXPECT_EQ(p.width, g.size);
            EXPECT_EQ(p.height, g.size);
            EXPECT_EQ(p.bits, g.bits);
        }
    }
}

TEST_F(StartupTest, CorruptPictureDataIsRefusedNotRead) {
    // Truncated and lying headers must give a null handle, never a read past the data.
    const unsigned char ico_short[] = {0, 0, 1, 0, 1, 0};
    unsigned char ico_lying[6 + 16 + 40] = {0, 0, 1, 0, 1, 0};
    ico_lying[6 + 8] = 0xFF;  // image bytes far beyond the data
    ico_lying[6 + 9] = 0xFF;
    ico_lying[6 + 12] = 22;
    const unsigned char bmp_short[] = {'B', 'M', 0, 0};
    EXPECT_EQ(load_picture(ico_short, sizeof ico_short, PICTURE_ICON), 0);
    EXPECT_EQ(load_picture(ico_lying, sizeof ico_lying, PICTURE_ICON), 0);
    EXPECT_EQ(load_picture(bmp_short, sizeof bmp_short, PICTURE_BITMAP), 0);
    EXPECT_EQ(load_picture(nullptr, 0, PICTURE_BITMAP), 0);
}

TEST_F(StartupTest, TrayMenuBuiltOnceWithTitleDisabledAndBitmaps) {
    start();
    struct Item {
        int item;
        const char* text;
        int picture;
    } expected[] = {
        {980, "", 0},
        {0, "", 0},
        {970, "", 65},
        {971, "", 66},
        {972, "", 67},
        {0, "", 0},
        {984, "Modem Reboot+Resync.", 60},
        {0, "", 0},
        {986, "DSL-Resync/Retrain", 61},
        {990, "Update/Refresh Data", 62},
        {0, "", 0},
        {995, "Maximize Window", 63},
        {993, "View Logfile", 68},
        {0, "", 0},
        {999, "Quit", 64},
    };
    const auto& items = headless::world().menus[900];
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(items[i].item, expected[i].item);
        EXPECT_EQ(items[i].text, expected[i].text);
        EXPECT_EQ(items[i].enabled, expected[i].item != 980);
        EXPECT_EQ(items[i].bitmap, expected[i].picture ? state.pictures[expected[i].picture] : 0);
    }
}

TEST_F(StartupTest, ShortcutTimerAndNotConnectedLook) {
    start();
    auto& w = headless::world();
    EXPECT_EQ(w.enter_shortcut_window, MAIN_WINDOW);
    EXPECT_EQ(w.enter_shortcut_item, 400);
    ASSERT_EQ(w.timers.size(), 1u);
    EXPECT_EQ(w.timers[0].id, 499);
    EXPECT_EQ(w.timers[0].period_ms, 1000);
    EXPECT_EQ(state.line_break, "\r\n");

    // Connection settings usable; everything that needs a server disabled.
    for (int id : {28, 31, 32, 33, 37}) EXPECT_TRUE(control_enabled(id)) << id;
    for (int id : {38, 40, 41, 42, 43, 24, 25, 26, 59, 14, 19, 70, 2, 3, 1, 4, 9, 10, 8, 68, 20, 23, 21, 22})
        EXPECT_FALSE(control_enabled(id)) << id;
    // Box 33 unchecked: the interval field and its labels are off.
    for (int id : {34, 35, 36}) EXPECT_FALSE(control_enabled(id)) << id;
}

TEST_F(StartupTest, StartThatCannotGoOnSaysSoAndEndsWithTheSettingsUntouched) {
    const struct {
        const char* what;
        bool network, windows;
        const char* text;
    } cases[] = {
        {"no network", false, true, "Can't initialize the network. TCP/IP-Stack !"},
        {"no main window", true, false, "Can't create the main window."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        headless::reset();
        write_settings(QUIET_SETTINGS);
        headless::world().network_starts = c.network;
        headless::world().windows_build = c.windows;
        EXPECT_EQ(program_main(), 0);
        auto& w = headless::world();
        ASSERT_EQ(w.message_boxes.size(), 1u);
        EXPECT_EQ(w.message_boxes[0].title, "Error");
        EXPECT_EQ(w.message_boxes[0].text, c.text);
        EXPECT_EQ(w.message_boxes[0].buttons, MB_BUTTONS_OK);
        EXPECT_EQ(headless::live_windows(), 0);
        EXPECT_EQ(headless::live_fonts(), 0);
        EXPECT_EQ(headless::live_pictures(), 0);
        EXPECT_TRUE(w.tray.empty());
        EXPECT_EQ(settings_file(), QUIET_SETTINGS) << "settings neither lost nor rewritten";
    }
}

TEST_F(StartupTest, ShutdownReleasesEverything) {
    write_settings(QUIET_SETTINGS);
    headless::push_close(MAIN_WINDOW);
    EXPECT_EQ(program_main(), 0);
    EXPECT_EQ(headless::live_windows(), 0);
    EXPECT_EQ(headless::live_controls(), 0);
    EXPECT_EQ(headless::live_fonts(), 0);
    EXPECT_EQ(headless::live_pictures(), 0);
    EXPECT_TRUE(headless::world().tray.empty());
    EXPECT_TRUE(headless::world().menus.empty());
}

}  // namespace
