// The headless event source: the event queue both real programs ship, which
// tests fill, and window timers on a virtual clock. When the queue is empty
// the wait jumps the clock to the next timer due and queues its tick, so a
// one-second tick or a long notice costs no real time.
// The hard part is a real peer on a watched connection: its bytes must wake
// the wait promptly, as the posted network message does on Windows, without
// letting real time decide anything else. So the wait first gives watched
// sockets a short, bounded grace period of real time (never past the next
// timer) and only then jumps the clock.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <thread>

#include "platform/event_queue.h"
#include "platform/headless/headless.h"
#include "platform/posix/net.h"

namespace headless {

void push(int code, int window, int param) { event_queue::push(code, window, param); }

void push_control(int id) {
    const Control* c = find_control(id);
    push(EVENT_CONTROL, c ? c->window : WINDOW_NONE, id);
}

void push_menu(int item) { push(EVENT_MENU, 0, item); }
void push_tray(int click_type) { push(EVENT_TRAY, 0, click_type); }
void push_close(int window) { push(EVENT_CLOSE_WINDOW, window, 0); }

void user_minimize(int window) {
    auto it = world().windows.find(window);
    if (it != world().windows.end()) it->second.minimized = true;
    push(5 /* a plain size message */, window, 0);
}

void user_resize(int window, int w, int h) {
    auto it = world().windows.find(window);
    if (it == world().windows.end()) return;
    it->second.client_w = std::max(w, it->second.min_w);
    it->second.client_h = std::max(h, it->second.min_h);
    event_queue::push(EVENT_RESIZE, window, 0, it->second.client_w, it->second.client_h);
}

void user_point(int canvas, int x, int y) {
    const Control* c = find_control(canvas);
    if (c) event_queue::push(EVENT_POINTER, c->window, canvas, x, x < 0 ? -1 : y);
}

}  // namespace headless

using namespace headless;

namespace {

// Real time a watched socket gets before the clock jumps to the next timer.
constexpr int SOCKET_GRACE_MS = 40;
// With no timer at all only a peer can still wake the program.
constexpr int SOCKET_ONLY_GRACE_MS = 5000;

const Timer* next_timer() {
    const Timer* next = nullptr;
    for (const Timer& t : world().timers)
        if (!next || t.due_ms < next->due_ms) next = &t;
    return next;
}

// True when a watched socket showed new activity within the grace period;
// the virtual clock moves on by the real time spent.
bool socket_woke() {
    if (!posix::sockets_watched()) return false;
    const Timer* next = next_timer();
    long long grace = SOCKET_ONLY_GRACE_MS;
    if (next) grace = std::clamp<long long>(next->due_ms - world().now_ms, 0, SOCKET_GRACE_MS);
    const auto start = std::chrono::steady_clock::now();
    const bool woke = posix::wait_socket_activity(static_cast<int>(grace));
    const long long spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    world().now_ms += std::min(spent, grace);
    return woke;
}

}  // namespace

int wait_next_event() {
    World& w = world();
    // Network activity arrives as the null message, as on Windows.
    if (event_queue::empty() && socket_woke()) event_queue::push(0, 0, 0);
    if (event_queue::empty()) {
        if (w.timers.empty()) {
            // Nothing could ever arrive: a real program would block for ever.
            std::fprintf(stderr, "headless: event wait with no event and no timer\n");
            std::abort();
        }
        Timer* next = &w.timers.front();
        for (Timer& t : w.timers)
            if (t.due_ms < next->due_ms) next = &t;
        if (next->due_ms > w.now_ms) w.now_ms = next->due_ms;
        next->due_ms = w.now_ms + next->period_ms;
        event_queue::push(EVENT_TIMER, next->window, next->id);
    }
    return event_queue::take();
}

void start_timer(int window, int timer_id, int period_ms) {
    stop_timer(window, timer_id);
    if (!world().windows.count(window)) return;
    const int period = period_ms > 0 ? period_ms : 1;
    world().timers.push_back(Timer{window, timer_id, period, world().now_ms + period});
}

void stop_timer(int window, int timer_id) {
    std::erase_if(world().timers, [&](const Timer& t) { return t.window == window && t.id == timer_id; });
}

// The virtual clock starts at 2026-01-01 00:00:00 UTC; local time follows the
// test's offsets.
long long utc_seconds() { return 1767225600 + world().now_ms / 1000; }

int utc_offset_seconds(long long utc) {
    const auto& offsets = world().utc_offsets;
    auto it = offsets.upper_bound(utc);
    return it == offsets.begin() ? 0 : std::prev(it)->second;
}

int seconds_clock() {
    const long long utc = utc_seconds();
    return static_cast<int>(utc + utc_offset_seconds(utc));
}

// Sleeps for real as well: code that sleeps between polls of a real peer
// must give it real time to answer.
void sleep_ms(int ms) {
    if (ms <= 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    world().now_ms += ms;
}

void exit_process(int code) {
    std::fflush(nullptr);
    std::exit(code);
}

int net_start() {
    world().network_started = world().network_starts;
    return world().network_starts ? 1 : 0;
}

void net_stop() { world().network_started = false; }
