#include "platform/enter_shortcut.h"

#include <vector>

#include "platform/platform.h"

namespace {

struct Shortcut {
    int window, item;
};

// One per window that has one; a few windows at most, so a plain list.
std::vector<Shortcut> g_shortcuts;

Shortcut* find(int window) {
    for (Shortcut& s : g_shortcuts)
        if (s.window == window) return &s;
    return nullptr;
}

}  // namespace

// A later registration for the window replaces the earlier.
void register_enter_shortcut(int window, int item) {
    if (window < 0) return;
    if (Shortcut* s = find(window))
        s->item = item;
    else
        g_shortcuts.push_back(Shortcut{window, item});
}

bool enter_shortcut_item(int window, int* item) {
    const Shortcut* s = find(window);
    if (!s) return false;
    if (item) *item = s->item;
    return true;
}

void clear_enter_shortcuts() { g_shortcuts.clear(); }
