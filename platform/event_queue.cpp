#include "platform/event_queue.h"

#include "platform/platform.h"

namespace {

struct Event {
    int code;
    int window;
    int param;
    int a, b;
};

// Far more than a burst of user input can fill; beyond it new events are
// dropped rather than letting the queue grow without bound.
constexpr int QUEUE_CAPACITY = 256;
Event g_queue[QUEUE_CAPACITY];
int g_head = 0;
int g_count = 0;

int g_last_window = WINDOW_NONE;
int g_last_control = 0;
int g_last_menu = 0;
int g_last_type = 0;
int g_last_timer = 0;
int g_last_size[2] = {0, 0};
int g_last_point[2] = {-1, -1};

// The queued event a new one merges into, or nullptr.
Event* waiting(int code, int window, int param) {
    if (code != EVENT_TIMER && code != EVENT_RESIZE && code != EVENT_POINTER) return nullptr;
    for (int i = 0; i < g_count; ++i) {
        Event& e = g_queue[(g_head + i) % QUEUE_CAPACITY];
        if (e.code == code && e.window == window && e.param == param) return &e;
    }
    return nullptr;
}

}  // namespace

namespace event_queue {

void push(int code, int window, int param, int a, int b) {
    if (Event* e = waiting(code, window, param)) {
        e->a = a;
        e->b = b;
        return;
    }
    if (g_count == QUEUE_CAPACITY) return;
    g_queue[(g_head + g_count) % QUEUE_CAPACITY] = Event{code, window, param, a, b};
    ++g_count;
}

bool empty() { return g_count == 0; }

int take() {
    const Event e = g_queue[g_head];
    g_head = (g_head + 1) % QUEUE_CAPACITY;
    --g_count;
    g_last_window = e.window;
    switch (e.code) {
        case EVENT_CONTROL:
            g_last_control = e.param;
            break;
        case EVENT_MENU:
            g_last_menu = e.param;
            break;
        case EVENT_TRAY:
            g_last_type = e.param;
            break;
        case EVENT_TIMER:
            g_last_timer = e.param;
            break;
        case EVENT_RESIZE:
            g_last_size[0] = e.a;
            g_last_size[1] = e.b;
            break;
        case EVENT_POINTER:
            g_last_control = e.param;
            g_last_point[0] = e.a;
            g_last_point[1] = e.b;
            break;
        default:
            break;
    }
    return e.code;
}

void note_plain(int window) { g_last_window = window; }

void reset() {
    g_head = g_count = 0;
    g_last_window = WINDOW_NONE;
    g_last_control = g_last_menu = g_last_type = g_last_timer = 0;
    g_last_size[0] = g_last_size[1] = 0;
    g_last_point[0] = g_last_point[1] = -1;
}

}  // namespace event_queue

int get_event_window() { return g_last_window; }
int get_event_control() { return g_last_control; }
int get_event_menu() { return g_last_menu; }
int get_event_type() { return g_last_type; }
int get_event_timer() { return g_last_timer; }

void get_event_size(int* w, int* h) {
    *w = g_last_size[0];
    *h = g_last_size[1];
}

void get_event_point(int* x, int* y) {
    *x = g_last_point[0];
    *y = g_last_point[1];
}
