// What the platforms share: the event queue both real programs ship (and the
// headless one drives), and the table of Enter shortcuts.
#include "tests/unit/fixture.h"

namespace {

// Each test in a fresh headless world: no event queued, no shortcut registered.
using EventQueueTest = ProgramTest;
using EnterShortcutTest = ProgramTest;

TEST_F(EventQueueTest, ATickForATimerAlreadyWaitingIsMergedPerWindowAndId) {
    std::string out;  // each event handed out as "code/window/param"
    const auto take = [&] {
        const int code = event_queue::take();
        out += std::to_string(code) + "/" + std::to_string(get_event_window()) + "/" +
               std::to_string(code == EVENT_TIMER ? get_event_timer() : get_event_control()) + " ";
    };
    const auto tick = [](int window, int id) { event_queue::push(EVENT_TIMER, window, id); };
    tick(0, 499), tick(0, 499);  // merged
    tick(1, 499), tick(0, 111);  // another window, another id: kept
    event_queue::push(EVENT_CONTROL, 0, 707);
    tick(0, 499);                              // merged while the first waits, whatever came since
    event_queue::push(EVENT_CONTROL, 0, 707);  // other events are never merged
    take();
    tick(0, 499);  // its predecessor handed out: kept
    while (!event_queue::empty()) take();
    EXPECT_EQ(out, "275/0/499 275/1/499 275/0/111 13100/0/707 13100/0/707 275/0/499 ");
}

TEST_F(EventQueueTest, BoundedWhenFullNewEventsAreDroppedAndTheOldestKept) {
    for (int id = 1; id <= 257; ++id) event_queue::push(EVENT_CONTROL, 0, id);  // room for 256
    // Taking one makes room for one again, and the ring keeps its order across its end.
    for (int id = 1; id <= 600; ++id) {
        ASSERT_EQ((std::tuple{event_queue::take(), get_event_control()}), std::tuple(EVENT_CONTROL, id));
        event_queue::push(EVENT_CONTROL, 0, id + 256);
    }
}

TEST_F(EventQueueTest, TheAnswersKeepTheirLastValueUntilAnEventOfTheirKind) {
    // After each event handed out: window, control, menu item, click type, timer.
    using Answers = std::tuple<int, int, int, int, int>;
    const auto answers = [] {
        return Answers{get_event_window(), get_event_control(), get_event_menu(), get_event_type(),
                       get_event_timer()};
    };
    EXPECT_EQ(answers(), Answers(WINDOW_NONE, 0, 0, 0, 0)) << "before any event";
    const std::tuple<int, int, int, Answers> rows[] = {
        {EVENT_CONTROL, 0, 707, {0, 707, 0, 0, 0}},
        {EVENT_MENU, 1, 400, {1, 707, 400, 0, 0}},
        {EVENT_TIMER, 0, 499, {0, 707, 400, 0, 499}},
        {EVENT_TRAY, 0, TRAY_RIGHT_CLICK, {0, 707, 400, 1, 499}},
        {EVENT_CLOSE_WINDOW, 1, 0, {1, 707, 400, 1, 499}},
        {512, WINDOW_NONE, 0, {WINDOW_NONE, 707, 400, 1, 499}},  // a plain message queued
        {EVENT_CONTROL, 1, 12, {1, 12, 400, 1, 499}},
    };
    for (const auto& [code, window, param, expected] : rows) {
        event_queue::push(code, window, param);
        EXPECT_EQ(event_queue::take(), code);
        EXPECT_EQ(answers(), expected) << code;
    }
    event_queue::note_plain(0);  // a plain message handed out instead of a queued event
    EXPECT_EQ(answers(), Answers(0, 12, 400, 1, 499));
    event_queue::reset();
    EXPECT_EQ(answers(), Answers(WINDOW_NONE, 0, 0, 0, 0));
}

TEST_F(EnterShortcutTest, OnePerWindowForAnyNumberOfWindows) {
    // The item Enter gives in windows 0 to 3 ("-" for none).
    const auto items = [] {
        std::string got;
        for (int window = 0, item = -99; window <= 3; ++window)
            got += enter_shortcut_item(window, &item) ? std::to_string(item) + " " : "- ";
        return got;
    };
    for (const auto& [window, item] : {std::pair(0, 400), {0, 401}, {3, 403}, {1, 0}, {WINDOW_NONE, 400}})
        register_enter_shortcut(window, item);
    EXPECT_EQ(items(), "401 0 - 403 ") << "a later one replaces the earlier; item 0 is an item";
    EXPECT_FALSE(enter_shortcut_item(WINDOW_NONE, nullptr)) << "no window";
    clear_enter_shortcuts();
    EXPECT_EQ(items(), "- - - - ");
}

}  // namespace
