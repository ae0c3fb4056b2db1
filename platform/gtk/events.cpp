// The event source: one queue of the program's own events, fed by signal
// handlers, timers and the network, drained by wait_next_event one per call.
// The hard part is the network. On Windows a watched socket posts one message
// per event and no more until it is read; poll() instead reports unread
// bytes on every turn, which would spin the loop. So a GLib source asks the
// Linux sockets for news (see posix/net.h), watches only the quiet sockets
// with poll(), and looks at those with unread bytes again every few ms.
#include <algorithm>
#include <vector>

#include "platform/gtk/internal.h"
#include "platform/posix/net.h"

namespace gtkp {
namespace {

// One GLib timeout per (window, id); each tick's source carries its own key.
struct TimerKey {
    int window, id;
};
struct Timer {
    TimerKey key;
    guint source;
};
std::vector<Timer> g_timers;

gboolean on_timer(gpointer data) {
    const auto* key = static_cast<const TimerKey*>(data);
    event_queue::push(EVENT_TIMER, key->window, key->id);
    return G_SOURCE_CONTINUE;
}

void free_key(gpointer data) { delete static_cast<TimerKey*>(data); }

// ---- the network source

constexpr int READY_RECHECK_MS = 5;

struct Polled {
    int fd;
    gpointer tag;
};

struct NetSource {
    GSource base;
    std::vector<Polled>* polled;
};

// Changing a source's descriptors wakes the loop, so they change only when
// the set of quiet sockets does; else every turn would wake the next.
void poll_only(GSource* source, const std::vector<int>& fds) {
    auto& polled = *reinterpret_cast<NetSource*>(source)->polled;
    const bool same =
        polled.size() == fds.size() && std::equal(fds.begin(), fds.end(), polled.begin(),
                                                  [](int fd, const Polled& p) { return fd == p.fd; });
    if (same) return;
    for (const Polled& p : polled) g_source_remove_unix_fd(source, p.tag);
    polled.clear();
    for (int fd : fds)
        polled.push_back(Polled{
            fd, g_source_add_unix_fd(source, fd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR))});
}

gboolean net_prepare(GSource* source, gint* timeout) {
    if (posix::wait_socket_activity(0)) {
        *timeout = 0;
        return TRUE;
    }
    bool others_ready = false;
    poll_only(source, posix::quiet_watched_fds(&others_ready));
    *timeout = others_ready ? READY_RECHECK_MS : -1;
    return FALSE;
}

gboolean net_check(GSource*) { return posix::sockets_watched() && posix::wait_socket_activity(0); }

gboolean net_dispatch(GSource*, GSourceFunc, gpointer) {
    event_queue::push(MESSAGE_NULL, 0, 0);
    return G_SOURCE_CONTINUE;
}

void net_finalize(GSource* source) { delete reinterpret_cast<NetSource*>(source)->polled; }

GSourceFuncs g_net_funcs = {net_prepare, net_check, net_dispatch, net_finalize, nullptr, nullptr};
GSource* g_net_source = nullptr;

void attach_net_source() {
    if (g_net_source) return;
    g_net_source = g_source_new(&g_net_funcs, sizeof(NetSource));
    reinterpret_cast<NetSource*>(g_net_source)->polled = new std::vector<Polled>;
    g_source_attach(g_net_source, nullptr);
}

}  // namespace

void stop_window_timers(int window) {
    for (const Timer& t : g_timers)
        if (t.key.window == window) g_source_remove(t.source);
    std::erase_if(g_timers, [window](const Timer& t) { return t.key.window == window; });
}

void release_timers() {
    for (const Timer& t : g_timers) g_source_remove(t.source);
    g_timers.clear();
    if (g_net_source) {
        g_source_destroy(g_net_source);
        g_source_unref(g_net_source);
        g_net_source = nullptr;
    }
}

}  // namespace gtkp

using namespace gtkp;

int wait_next_event() {
    attach_net_source();
    while (event_queue::empty()) g_main_context_iteration(nullptr, TRUE);
    return event_queue::take();
}

void start_timer(int window, int timer_id, int period_ms) {
    if (!window_widget(window) || timer_id < 0) return;
    stop_timer(window, timer_id);  // setting a timer again restarts it, as on Windows
    const guint source =
        g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(period_ms > 0 ? period_ms : 1), on_timer,
                           new TimerKey{window, timer_id}, free_key);
    g_timers.push_back(Timer{{window, timer_id}, source});
}

void stop_timer(int window, int timer_id) {
    for (std::size_t i = 0; i < g_timers.size(); ++i)
        if (g_timers[i].key.window == window && g_timers[i].key.id == timer_id) {
            g_source_remove(g_timers[i].source);
            g_timers.erase(g_timers.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}
