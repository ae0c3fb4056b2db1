// The queue of the program's own events that both real platforms fill from
// their window system's callbacks and drain one per wait_next_event, and
// what the get_event_* functions report of the event last handed out.
// The hard part is that callbacks also run inside modal loops (message
// boxes, menus, window moves) while the program is not waiting: the queue
// is bounded, and timer ticks that pile up meanwhile are merged into one, as
// are a window's size changes and a canvas' pointer moves (the last one counts).
#pragma once

namespace event_queue {

// a, b: the new client size of EVENT_RESIZE, the point of EVENT_POINTER.
void push(int code, int window, int param, int a = 0, int b = 0);
bool empty();
// Hands out the oldest event: remembered for get_event_*, its code returned.
int take();
// A plain window-system message handed out instead of a queued event.
void note_plain(int window);
// Empties the queue and forgets the last event, as at start-up (between tests).
void reset();

}  // namespace event_queue
