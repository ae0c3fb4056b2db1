// The main window's controls, the fonts and the tray menu as data: the program builds them
// through the platform, and the start-up probe builds the same window from the same data.
#pragma once

#include <span>

#include "app/state.h"
#include "platform/platform.h"

struct ControlSpec {
    int id;
    ControlKind kind;
    int x, y, w, h;
    const char* text;
    int font;   // a Font, or 0 for the system's default GUI font
    int limit;  // typing limit in characters, 0 for none
    int flags;  // CTL_* flags
    const char* tooltip = nullptr;
};

// A run of controls on the window (panel -1) or on a panel's page.
struct LayoutPart {
    std::span<const ControlSpec> controls;
    int panel;
};

struct FontSpec {
    Font number;
    const char* face;
    int points;
    int weight;
};

struct MenuItemSpec {
    int item;          // 0: separator
    const char* text;  // nullptr: the tray icon prefix as it is now
    int picture;       // 0: none
};

// Window 0's controls in creation (and tab) order; the home-page link comes later.
std::span<const LayoutPart> main_window_layout();
const ControlSpec& home_link_spec();
std::span<const FontSpec> font_specs();
std::span<const MenuItemSpec> tray_menu_layout();
