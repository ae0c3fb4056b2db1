// The headless platform's test surface: an in-memory window system, events
// that tests push into the queue both real programs ship (platform/event_queue),
// timers on a virtual clock, and records of every side effect a user could see
// (tray, menus, message boxes, shell opens). The Enter shortcuts are the shared
// table's (platform/enter_shortcut.h), the pictures' sizes the shared check's.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace headless {

struct Window {
    int number = 0;
    std::string title;
    int x = 0, y = 0, client_w = 0, client_h = 0;
    bool minimize_box = false, resizable = false;
    int min_w = 0, min_h = 0;
    bool visible = false, minimized = false, maximized = false;
    int repaints = 0;
};

struct Control {
    int id = 0, window = 0, panel = -1;
    ControlKind kind = KIND_LABEL;
    int x = 0, y = 0, w = 0, h = 0;
    std::string text;
    int flags = 0;
    int font = 0;   // 0: default GUI font
    int limit = 0;  // typing limit, 0 for none
    bool enabled = true, checked = false, visible = true;
    int picture = 0;
    std::string tooltip;
    int background = -1;                // 0xRRGGBB once set, -1 for the system's colour
    std::vector<std::string> appended;  // editor: appends since the text was last set
    int order = 0;                      // creation order among all controls ever created
    DrawList drawing;                   // canvas: the list last handed over
    int drawings = 0;                   // canvas: how many lists were handed over
};

struct MenuItem {
    int item = 0;  // 0 for a separator
    std::string text;
    bool enabled = true;
    int bitmap = 0;
};

struct Font {
    std::string face;
    int height = 0, weight = 0;
};

struct Picture {
    PictureKind kind = PICTURE_ICON;
    int width = 0, height = 0, bits = 0;
};

struct TrayIcon {
    int window = 0, picture = 0;
    std::string tooltip;
};

struct MessageBoxCall {
    int window;
    std::string title, text;
    int buttons;
};

// One picture put into an image control, with the virtual time it happened.
struct PictureShown {
    int control, picture;
    long long at_ms;
};

struct Timer {
    int window, id, period_ms;
    long long due_ms;
};

struct World {
    std::map<int, Window> windows;
    std::map<int, Control> controls;
    std::map<int, std::vector<MenuItem>> menus;
    std::map<int, Font> fonts;
    std::map<int, Picture> pictures;
    std::map<int, TrayIcon> tray;
    std::vector<MessageBoxCall> message_boxes;
    std::deque<int> message_box_answers;  // scripted; MB_ANSWER_OK when empty
    std::vector<std::string> shell_opens;
    std::vector<std::string> notifications;    // title, a line break, text
    std::vector<int> popup_shown;              // menus shown, in order
    std::vector<PictureShown> pictures_shown;  // what the status picture showed, in order
    std::vector<Timer> timers;
    long long now_ms = 0;
    // Local time minus UTC from a moment (UTC seconds) on; none: local time is UTC.
    std::map<long long, int> utc_offsets;
    int mouse_x = 100, mouse_y = 100;
    bool network_starts = true;
    bool windows_build = true;  // false: every create_window fails
    bool network_started = false;
    int next_handle = 1;
    int created_controls = 0;
};

// The one world; reset() empties it, the event queue and the Enter shortcuts
// for the next test.
World& world();
void reset();

// Event injection, as the user or the system would cause them; the events
// queue up behind any the program's own code queued.
void push(int code, int window = WINDOW_NONE, int param = 0);
void push_control(int id);
void push_menu(int item);
void push_tray(int click_type);
void push_close(int window);
// The user minimises the window (title-bar button): the window becomes iconic
// and the system sends it a plain message.
void user_minimize(int window);
// The user resizes the window's client area: the size changes, the event follows.
void user_resize(int window, int w, int h);
// The pointer moves over a canvas (x = -1: it left).
void user_point(int canvas, int x, int y);

Control* find_control(int id);
// Number of live handles of each kind, for leak checks.
int live_controls();
int live_windows();
int live_fonts();
int live_pictures();

}  // namespace headless
