// The main loop: how each event code and id is routed, and how the loop ends.
#include "tests/unit/fixture.h"

namespace {

class MainLoopTest : public StartedTest {};

TEST_F(MainLoopTest, CloseOrQuitEndsTheLoopAfterThatTurn) {
    struct {
        const char* what;
        void (*push)();
    } cases[] = {
        {"close box", [] { headless::push_close(MAIN_WINDOW); }},
        {"Quit", [] { headless::push_menu(MENU_QUIT); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        state.quit_requested = 0;
        c.push();
        EXPECT_EQ(main_loop_turn(), 0);
    }
}

TEST_F(MainLoopTest, CloseOnLogViewerClosesOnlyIt) {
    ASSERT_EQ(create_window({LOG_WINDOW, "VYXlog.txt", 224, 72, 701, 560, false, true}), 1);
    ASSERT_EQ(create_control({LOG_WINDOW, -1, ID_LOG_CLOSE, KIND_BUTTON, 600, 525, 90, 25, "Close", 0}), 1);
    state.log_window_open = 1;
    headless::push_close(LOG_WINDOW);
    EXPECT_EQ(main_loop_turn(), 1);
    EXPECT_FALSE(window_exists(LOG_WINDOW));
    EXPECT_FALSE(control_exists(ID_LOG_CLOSE));
    EXPECT_EQ(state.log_window_open, 0);
    EXPECT_TRUE(window_exists(MAIN_WINDOW));
    EXPECT_EQ(state.quit_requested, 0);
}

TEST_F(MainLoopTest, MonitoringButtonsSetTheirRequest) {
    struct {
        int id;
        int auto_status, auto_status_changed, commit_pending;
    } cases[] = {
        {ID_ACTIVATE, 1, 1, 0}, {ID_DEACTIVATE, 0, 1, 0}, {ID_APPLY, 7, 0, 1},  // auto_status left as it was
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        state.auto_status = 7;
        state.auto_status_changed = state.commit_pending = 0;
        enable_control(c.id, 1);
        headless::push_control(c.id);
        main_loop_turn();
        EXPECT_FALSE(control_enabled(c.id));
        EXPECT_EQ(state.auto_status, c.auto_status);
        EXPECT_EQ(state.auto_status_changed, c.auto_status_changed);
        EXPECT_EQ(state.commit_pending, c.commit_pending);
    }
}

TEST_F(MainLoopTest, ReconnectBoxDrivesIntervalControls) {
    for (int checked : {1, 0, 1}) {
        set_checked(ID_TRY_CONNECT, checked);
        headless::push_control(ID_TRY_CONNECT);
        main_loop_turn();
        for (int id : {ID_INTERVAL, ID_INTERVAL_LABEL, ID_SECONDS_LABEL})
            EXPECT_EQ(control_enabled(id), checked) << id;
    }
}

TEST_F(MainLoopTest, ViewLogfileOnlyWhileConfigurationIsNotPending) {
    for (int pending : {1, 0}) {
        SCOPED_TRACE(pending);
        state.auto_config_pending = pending;
        enable_control(ID_SHOW_LOG, 1);
        headless::push_menu(MENU_VIEW_LOG);
        main_loop_turn();
        EXPECT_EQ(control_enabled(ID_SHOW_LOG), pending == 1);
        EXPECT_EQ(state.suppress_get_all, 0);
    }
}

TEST_F(MainLoopTest, IgnoredEventsChangeNothing) {
    // Unlisted ids, tray left click and right double click, plain messages.
    headless::push_control(ID_HOST);  // an edit's text change
    headless::push_control(ID_MON_SNR_SWITCH);
    headless::push_menu(MENU_TITLE);
    headless::push_menu(12345);
    headless::push_tray(TRAY_LEFT_CLICK);
    headless::push_tray(TRAY_RIGHT_DOUBLE);
    headless::push(512, MAIN_WINDOW);  // a mouse move
    headless::push(0, WINDOW_NONE);    // the network's null message
    const auto before = headless::world().controls;
    EXPECT_EQ(drain(), 1);
    const auto& after = headless::world().controls;
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [id, c] : before) {
        EXPECT_EQ(after.at(id).enabled, c.enabled) << id;
        EXPECT_EQ(after.at(id).text, c.text) << id;
        EXPECT_EQ(after.at(id).checked, c.checked) << id;
    }
    EXPECT_TRUE(headless::world().popup_shown.empty());
    EXPECT_TRUE(headless::world().shell_opens.empty());
    EXPECT_EQ(state.window_shown, 1);
    EXPECT_TRUE(window_visible(MAIN_WINDOW));
    EXPECT_EQ(state.quit_requested, 0);
}

}  // namespace
