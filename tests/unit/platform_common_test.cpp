// What the platforms share: the event queue both real programs ship (and the
// headless one drives), and the table of Enter shortcuts.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/enter_shortcut.h"
#include "platform/event_queue.h"
#include "platform/platform.h"

namespace {

struct Push {
    int code, window, param;
};
constexpr int TAKE = -1;  // as a code: hand one event out here

// Each event handed out as "code/window/param", the ones still queued last.
std::string run(const std::vector<Push>& pushes) {
    std::string out;
    const auto take = [&] {
        const int code = event_queue::take();
        const int param = code == EVENT_TIMER     ? get_event_timer()
                          : code == EVENT_CONTROL ? get_event_control()
                          : code == EVENT_MENU    ? get_event_menu()
                                                  : get_event_type();
        out += std::to_string(code) + "/" + std::to_string(get_event_window()) + "/" + std::to_string(param) +
               " ";
    };
    for (const Push& p : pushes) p.code == TAKE ? take() : event_queue::push(p.code, p.window, p.param);
    while (!event_queue::empty()) take();
    return out;
}

class EventQueueTest : public ::testing::Test {
   protected:
    void SetUp() override { event_queue::reset(); }
    void TearDown() override { event_queue::reset(); }
};

TEST_F(EventQueueTest, ATickForATimerAlreadyWaitingIsMergedPerWindowAndId) {
    const Push tick_0_499{EVENT_TIMER, 0, 499}, tick_1_499{EVENT_TIMER, 1, 499},
        tick_0_111{EVENT_TIMER, 0, 111}, click{EVENT_CONTROL, 0, 707}, take{TAKE, 0, 0};
    const std::tuple<const char*, std::vector<Push>, std::string> rows[] = {
        {"two ticks of one timer", {tick_0_499, tick_0_499}, "275/0/499 "},
        {"one id in two windows", {tick_0_499, tick_1_499, tick_0_499}, "275/0/499 275/1/499 "},
        {"two ids in one window", {tick_0_499, tick_0_111, tick_0_499}, "275/0/499 275/0/111 "},
        {"merged where the first waits", {tick_0_499, click, tick_0_499}, "275/0/499 13100/0/707 "},
        {"handed out, then ticking again", {tick_0_499, take, tick_0_499}, "275/0/499 275/0/499 "},
        {"other events are never merged", {click, click}, "13100/0/707 13100/0/707 "},
        {"nor are plain messages", {{0, 0, 0}, {0, 0, 0}}, "0/0/0 0/0/0 "},
    };
    for (const auto& [what, pushes, expected] : rows) {
        event_queue::reset();
        EXPECT_EQ(run(pushes), expected) << what;
    }
}

TEST_F(EventQueueTest, BoundedWhenFullNewEventsAreDroppedAndTheOldestKept) {
    // Filled with this many clicks (ids 1, 2, ...), then one more event: the clicks handed out, and
    // the others as "menu item/timer".
    const std::tuple<const char*, int, Push, int, std::string> rows[] = {
        {"room for one more", 255, {EVENT_MENU, 0, 400}, 255, "400/0 "},
        {"full: a new event is dropped", 256, {EVENT_MENU, 0, 400}, 256, ""},
        {"full: a tick of a timer not waiting too", 256, {EVENT_TIMER, 0, 499}, 256, ""},
        {"a tick with room", 100, {EVENT_TIMER, 0, 499}, 100, "0/499 "},
        {"far past full", 1000, {EVENT_MENU, 0, 400}, 256, ""},
    };
    for (const auto& [what, fill, last, clicks, after] : rows) {
        SCOPED_TRACE(what);
        event_queue::reset();
        for (int id = 1; id <= fill; ++id) event_queue::push(EVENT_CONTROL, 0, id);
        event_queue::push(last.code, last.window, last.param);
        int taken = 0;
        std::string others;
        while (!event_queue::empty()) {
            if (event_queue::take() == EVENT_CONTROL)
                ASSERT_EQ(get_event_control(), ++taken) << "oldest first, none lost between";
            else
                others += std::to_string(get_event_menu()) + "/" + std::to_string(get_event_timer()) + " ";
        }
        EXPECT_EQ(std::tuple(taken, others), std::tuple(clicks, after));
    }
    // Taking one makes room for one again, and the ring keeps its order across its end.
    event_queue::reset();
    for (int id = 1; id <= 256; ++id) event_queue::push(EVENT_CONTROL, 0, id);
    for (int round = 0; round < 300; ++round) {
        event_queue::take();
        ASSERT_EQ(get_event_control(), round + 1);
        event_queue::push(EVENT_CONTROL, 0, 257 + round);
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
    const std::tuple<Push, Answers> rows[] = {
        {{EVENT_CONTROL, 0, 707}, {0, 707, 0, 0, 0}},
        {{EVENT_MENU, 1, 400}, {1, 707, 400, 0, 0}},
        {{EVENT_TIMER, 0, 499}, {0, 707, 400, 0, 499}},
        {{EVENT_TRAY, 0, TRAY_RIGHT_CLICK}, {0, 707, 400, 1, 499}},
        {{EVENT_CLOSE_WINDOW, 1, 0}, {1, 707, 400, 1, 499}},
        {{512, WINDOW_NONE, 0}, {WINDOW_NONE, 707, 400, 1, 499}},  // a plain message queued
        {{EVENT_CONTROL, 1, 12}, {1, 12, 400, 1, 499}},
    };
    for (const auto& [push, expected] : rows) {
        event_queue::push(push.code, push.window, push.param);
        EXPECT_EQ(event_queue::take(), push.code);
        EXPECT_EQ(answers(), expected) << push.code;
    }
    event_queue::note_plain(0);  // a plain message handed out instead of a queued event
    EXPECT_EQ(answers(), Answers(0, 12, 400, 1, 499));
    event_queue::reset();
    EXPECT_EQ(answers(), Answers(WINDOW_NONE, 0, 0, 0, 0));
}

TEST(EnterShortcutTest, OnePerWindowForAnyNumberOfWindows) {
    struct Register {
        int window, item;
    };
    // Registrations, then the item Enter gives in windows 0 to 3 ("-" for none).
    const std::tuple<const char*, std::vector<Register>, std::string> rows[] = {
        {"none", {}, "- - - -"},
        {"the main window's", {{0, 400}}, "400 - - -"},
        {"a later one replaces it", {{0, 400}, {0, 401}}, "401 - - -"},
        {"a third window", {{0, 400}, {2, 402}}, "400 - 402 -"},
        {"each its own", {{3, 403}, {1, 401}, {0, 400}, {2, 402}}, "400 401 402 403"},
        {"no window", {{WINDOW_NONE, 400}, {-7, 400}}, "- - - -"},
        {"item 0 is an item", {{1, 0}}, "- 0 - -"},
    };
    for (const auto& [what, registrations, expected] : rows) {
        clear_enter_shortcuts();
        for (const Register& r : registrations) register_enter_shortcut(r.window, r.item);
        std::string got;
        for (int window = 0; window <= 3; ++window) {
            int item = -99;
            got += (got.empty() ? "" : " ") +
                   (enter_shortcut_item(window, &item) ? std::to_string(item) : std::string("-"));
        }
        EXPECT_EQ(got, expected) << what;
        EXPECT_FALSE(enter_shortcut_item(WINDOW_NONE, nullptr)) << what;
    }
    clear_enter_shortcuts();
}

}  // namespace
