// The main loop: the events it ignores, which close requests end it, that
// ending says nothing to the server, and a close request inside a short wait.
#include <tuple>

#include "app/short_wait.h"
#include "tests/unit/connected_fixture.h"

namespace {

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
        ASSERT_EQ(create_window({LOG_WINDOW, "VYXlog.txt", 224, 72, 701, 560, false, true}), 1);
        state.log_window_open = 1;

        for (int id : {ID_HOST, ID_MON_SNR_SWITCH}) headless::push_control(id);  // a text change, a plain box
        for (int item : {980, 12345}) headless::push_menu(item);
        headless::push(512, MAIN_WINDOW);  // a mouse move
        headless::push(0, WINDOW_NONE);    // the network's null message
        const auto before = headless::world().controls;
        headless::world().pictures_shown.clear();
        EXPECT_EQ(drain(), 1);
        for (const auto& [id, c] : before) EXPECT_EQ(control_enabled(id), c.enabled) << id;
        EXPECT_TRUE(pictures_seen().empty()) << "no status change";
        EXPECT_TRUE(headless::world().popup_shown.empty());
        push();
        EXPECT_EQ(main_loop_turn(), running);
        EXPECT_EQ(window_exists(LOG_WINDOW), running == 0);
        EXPECT_TRUE(window_visible(MAIN_WINDOW));
        shutdown_program();
        EXPECT_EQ(peer_.read_for(2000), "") << "nothing said to the server";
    }
}

TEST_F(MainLoopTest, CloseRequestInsideAShortWaitSavesAndEndsTheProgram) {
    set_control_text(ID_PREFIX, "closed during a wait");
    EXPECT_EXIT((headless::push_close(MAIN_WINDOW), wait_with_events(700)), ::testing::ExitedWithCode(0), "");
    EXPECT_NE(settings_file().find("SysTrayIconPrefix = closed during a wait\r\n"), std::string::npos);
}

}  // namespace
