#include "platform/enter_shortcut.h"

#include <map>

#include "platform/platform.h"

namespace {

// By window number; a later registration for the window replaces the earlier.
std::map<int, int> g_shortcuts;

}  // namespace

void register_enter_shortcut(int window, int item) {
    if (window >= 0) g_shortcuts[window] = item;
}

bool enter_shortcut_item(int window, int* item) {
    const auto it = g_shortcuts.find(window);
    if (it == g_shortcuts.end()) return false;
    if (item) *item = it->second;
    return true;
}

void clear_enter_shortcuts() { g_shortcuts.clear(); }
