// The Enter shortcuts of the windows, kept once for every platform: the
// portable code registers them (register_enter_shortcut in platform.h), the
// platform's keyboard handling looks them up when Enter is pressed.
#pragma once

// The item Enter (no modifier) stands for on the window: true and *item set,
// or false when the window has none.
bool enter_shortcut_item(int window, int* item);

// Forgets every shortcut (platform release; between tests).
void clear_enter_shortcuts();
