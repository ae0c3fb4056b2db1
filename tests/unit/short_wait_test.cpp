// The short wait: it lasts its time, drops what it does not handle, moves the
// window to and from the tray, and a close request ends the program.
#include "app/short_wait.h"

#include "app/tray.h"
#include "tests/unit/fixture.h"

namespace {

class ShortWaitTest : public StartedTest {};

TEST_F(ShortWaitTest, LastsItsTimeAndDropsOtherEvents) {
    enable_control(ID_REFRESH, 1);
    headless::push_control(ID_REFRESH);
    headless::push_menu(MENU_QUIT);
    headless::push_tray(TRAY_RIGHT_CLICK);
    headless::push_close(LOG_WINDOW);
    const long long t0 = headless::world().now_ms;
    wait_with_events(2500);  // two ticks of timer 499 fall inside and are dropped too
    EXPECT_EQ(headless::world().now_ms - t0, 2500);
    EXPECT_TRUE(headless::world().queue.empty());
    // Nothing happened for them, and nothing happens later either.
    EXPECT_TRUE(control_enabled(ID_REFRESH));
    EXPECT_EQ(state.quit_requested, 0);
    EXPECT_TRUE(headless::world().popup_shown.empty());
    EXPECT_EQ(state.wait_event, EVENT_TIMER);
    EXPECT_EQ(state.wait_timer_id, TIMER_SHORT_WAIT);
    // The one-shot timer is gone; the supervision timer stays.
    ASSERT_EQ(headless::world().timers.size(), 1u);
    EXPECT_EQ(headless::world().timers[0].id, TIMER_SUPERVISION);
}

TEST_F(ShortWaitTest, MinimiseGoesToTheTrayWithoutSavingAndDoubleClickRestores) {
    const std::string before = settings_file();
    headless::user_minimize(MAIN_WINDOW);
    wait_with_events(450);
    EXPECT_EQ(state.window_shown, 0);
    EXPECT_FALSE(window_visible(MAIN_WINDOW));
    EXPECT_EQ(headless::world().tray.count(1), 1u);
    EXPECT_EQ(settings_file(), before) << "a short wait saves nothing";

    headless::push_tray(TRAY_LEFT_DOUBLE);
    wait_with_events(450);
    EXPECT_EQ(state.window_shown, 1);
    EXPECT_TRUE(window_visible(MAIN_WINDOW));
    EXPECT_FALSE(window_minimized(MAIN_WINDOW)) << "comes back in its normal size";
    EXPECT_TRUE(headless::world().tray.empty());
}

TEST_F(ShortWaitTest, CloseRequestSavesAndEndsTheProgram) {
    set_control_text(ID_PREFIX, "closed during a wait");
    EXPECT_EXIT(
        {
            headless::push_close(MAIN_WINDOW);
            wait_with_events(700);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(settings_file().find("SysTrayIconPrefix = closed during a wait\r\n"), std::string::npos)
        << settings_file();
}

}  // namespace
