// The headless window system: windows, controls, menus, tray, boxes, fonts
// and pictures as plain records, so tests can read what a user would see.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/enter_shortcut.h"
#include "platform/event_queue.h"
#include "platform/headless/headless.h"
#include "platform/picture_check.h"
#include "platform/posix/net.h"

namespace headless {

World& world() {
    static World w;
    return w;
}

void reset() {
    posix::close_all_sockets();  // no stale connection may wake the next test
    event_queue::reset();
    clear_enter_shortcuts();
    world() = World{};
}

Control* find_control(int id) {
    auto it = world().controls.find(id);
    return it == world().controls.end() ? nullptr : &it->second;
}

int live_controls() { return static_cast<int>(world().controls.size()); }
int live_windows() { return static_cast<int>(world().windows.size()); }
int live_fonts() { return static_cast<int>(world().fonts.size()); }
int live_pictures() { return static_cast<int>(world().pictures.size()); }

}  // namespace headless

using namespace headless;

namespace {

int new_handle() { return world().next_handle++; }

MenuItem* find_menu_item(int item) {
    for (auto& [id, items] : world().menus)
        for (MenuItem& m : items)
            if (m.item == item) return &m;
    return nullptr;
}

}  // namespace

// ---- Windows ----------------------------------------------------------------

int platform_init() { return 1; }

void platform_release() {
    posix::close_all_sockets();
    world().windows.clear();
    world().controls.clear();
    world().timers.clear();
    world().menus.clear();
    world().tray.clear();
}

int create_window(const WindowArgs& a) {
    if (world().windows.count(a.window) || !world().windows_build) return 0;
    Window w;
    w.number = a.window;
    w.title = a.title;
    // A 1024x768 screen, as on the test display.
    w.x = a.centred ? (1024 - a.client_w) / 2 : a.x;
    w.y = a.centred ? (768 - a.client_h) / 2 : a.y;
    w.client_w = a.client_w;
    w.client_h = a.client_h;
    w.minimize_box = a.minimize_box;
    w.resizable = a.resizable;
    w.min_w = a.min_w;
    w.min_h = a.min_h;
    world().windows[a.window] = w;
    return 1;
}

void destroy_window(int window) {
    if (!world().windows.erase(window)) return;
    std::erase_if(world().controls, [&](const auto& c) { return c.second.window == window; });
    std::erase_if(world().timers, [&](const Timer& t) { return t.window == window; });
}

int window_exists(int window) { return world().windows.count(window) ? 1 : 0; }

void show_window(int window, int mode) {
    auto it = world().windows.find(window);
    if (it == world().windows.end()) return;
    Window& w = it->second;
    switch (mode) {
        case SHOW_HIDE:
            w.visible = false;
            break;
        case SHOW_NORMAL:
            w.visible = true;
            w.minimized = false;
            w.maximized = false;
            break;
        case SHOW_MAXIMIZED:
            w.visible = true;
            w.minimized = false;
            w.maximized = true;
            break;
        case SHOW_MINIMIZE:
            w.visible = true;
            w.minimized = true;
            break;
        default:
            break;
    }
}

int window_visible(int window) {
    auto it = world().windows.find(window);
    return it != world().windows.end() && it->second.visible;
}

int window_minimized(int window) {
    auto it = world().windows.find(window);
    return it != world().windows.end() && it->second.minimized;
}

int window_maximized(int window) {
    auto it = world().windows.find(window);
    return it != world().windows.end() && it->second.maximized;
}

void set_foreground_window(int) {}

void repaint_window(int window) {
    auto it = world().windows.find(window);
    if (it != world().windows.end()) ++it->second.repaints;
}

void get_client_size(int window, int* w, int* h) {
    auto it = world().windows.find(window);
    *w = it == world().windows.end() ? 0 : it->second.client_w;
    *h = it == world().windows.end() ? 0 : it->second.client_h;
}

// ---- Controls ---------------------------------------------------------------

int create_control(const ControlArgs& a) {
    if (!world().windows.count(a.window) || world().controls.count(a.id)) return 0;
    Control c;
    c.id = a.id;
    c.window = a.window;
    c.panel = a.panel;
    c.kind = a.kind;
    c.x = a.x;
    c.y = a.y;
    c.w = a.w;
    c.h = a.h;
    c.text = a.text ? a.text : "";
    c.flags = a.flags;
    c.font = a.font;
    c.enabled = !(a.flags & CTL_DISABLED);
    c.order = world().created_controls++;
    world().controls[a.id] = c;
    return 1;
}

void destroy_control(int id) { world().controls.erase(id); }
int control_exists(int id) { return find_control(id) ? 1 : 0; }

void move_control(int id, int x, int y, int w, int h) {
    if (Control* c = find_control(id)) {
        c->x = x;
        c->y = y;
        c->w = w;
        c->h = h;
    }
}

void canvas_draw(int id, const DrawList& list) {
    Control* c = find_control(id);
    if (!c || c->kind != KIND_CANVAS) return;
    c->drawing = list;
    ++c->drawings;
}

void set_control_text(int id, const std::string& text) {
    Control* c = find_control(id);
    if (!c) return;
    c->text = text;
    c->appended.clear();
}

int get_control_text_length(int id) {
    Control* c = find_control(id);
    return c ? static_cast<int>(c->text.size()) : 0;
}

std::string get_control_text(int id) {
    Control* c = find_control(id);
    return c ? c->text : std::string();
}

void set_text_limit(int id, int max_chars) {
    if (Control* c = find_control(id)) c->limit = max_chars;
}

void enable_control(int id, int enabled) {
    if (Control* c = find_control(id)) c->enabled = enabled != 0;
}

int control_enabled(int id) {
    Control* c = find_control(id);
    return c && c->enabled;
}

void set_checked(int id, int checked) {
    if (Control* c = find_control(id)) c->checked = checked != 0;
}

int is_checked(int id) {
    Control* c = find_control(id);
    return c && c->checked;
}

void set_control_picture(int id, int picture) {
    Control* c = find_control(id);
    if (!c) return;
    c->picture = picture;
    world().pictures_shown.push_back({id, picture, world().now_ms});
}

void set_control_tooltip(int id, const std::string& text) {
    if (Control* c = find_control(id)) c->tooltip = text;
}

void set_control_background(int id, int r, int g, int b) {
    if (Control* c = find_control(id)) c->background = (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}

void editor_append(int id, const std::string& text) {
    Control* c = find_control(id);
    if (!c) return;
    c->text += text;
    c->appended.push_back(text);
}

int editor_line_count(int id) {
    Control* c = find_control(id);
    if (!c) return 0;
    return 1 + static_cast<int>(std::count(c->text.begin(), c->text.end(), '\r'));
}

int editor_line_index(int id, int line) {
    Control* c = find_control(id);
    if (!c || line < 0) return -1;
    std::size_t pos = 0;
    for (int i = 0; i < line; ++i) {
        pos = c->text.find('\r', pos);
        if (pos == std::string::npos) return -1;
        ++pos;
    }
    return static_cast<int>(pos);
}

void editor_set_selection(int, int, int) {}

// ---- Fonts and pictures -----------------------------------------------------

int screen_dpi_y() { return 96; }

int create_font(const char* face, int height, int weight) {
    const int h = new_handle();
    world().fonts[h] = Font{face, height, weight};
    return h;
}

void free_font(int font) { world().fonts.erase(font); }

int load_picture(const std::uint8_t* data, std::size_t size, PictureKind kind) {
    PictureFacts facts;
    if (!check_picture(data, size, kind, &facts)) return 0;
    const int h = new_handle();
    world().pictures[h] = Picture{kind, facts.width, facts.height, facts.bits};
    return h;
}

void free_picture(int picture) { world().pictures.erase(picture); }

// ---- Menus and keyboard -----------------------------------------------------

int create_popup_menu(int menu) {
    world().menus[menu];
    return 1;
}

void append_menu_item(int menu, int item, const std::string& text) {
    auto it = world().menus.find(menu);
    if (it != world().menus.end()) it->second.push_back(MenuItem{item, text, true, 0});
}

void append_menu_separator(int menu) { append_menu_item(menu, 0, ""); }

void enable_menu_item(int item, int enabled) {
    if (MenuItem* m = find_menu_item(item)) m->enabled = enabled != 0;
}

void set_menu_item_text(int item, const std::string& text) {
    if (MenuItem* m = find_menu_item(item)) m->text = text;
}

void set_menu_item_bitmap(int item, int picture) {
    if (MenuItem* m = find_menu_item(item)) m->bitmap = picture;
}

void destroy_popup_menu(int menu) { world().menus.erase(menu); }

void get_mouse_position(int* x, int* y) {
    *x = world().mouse_x;
    *y = world().mouse_y;
}

void track_popup_menu(int menu, int, int, int) { world().popup_shown.push_back(menu); }

// ---- Tray -------------------------------------------------------------------

int tray_add(int icon_id, int window, int picture) {
    if (!picture || !world().windows.count(window) || world().tray.count(icon_id)) return 0;
    world().tray[icon_id] = TrayIcon{window, picture, ""};
    return 1;
}

int tray_change(int icon_id, int picture) {
    auto it = world().tray.find(icon_id);
    if (!picture || it == world().tray.end()) return 0;
    it->second.picture = picture;
    it->second.tooltip.clear();
    return 1;
}

int tray_set_tooltip(int icon_id, const std::string& text) {
    auto it = world().tray.find(icon_id);
    if (it == world().tray.end()) return 0;
    it->second.tooltip = text.substr(0, 63);
    return 1;
}

void tray_remove(int icon_id) { world().tray.erase(icon_id); }
void tray_remove_all() { world().tray.clear(); }

// ---- Shell and message boxes ------------------------------------------------

int message_box(int window, const std::string& title, const std::string& text, int buttons) {
    world().message_boxes.push_back({window, title, text, buttons});
    if (world().message_box_answers.empty()) return MB_ANSWER_OK;
    const int answer = world().message_box_answers.front();
    world().message_box_answers.pop_front();
    return answer;
}

void shell_open(const std::string& address) { world().shell_opens.push_back(address); }
void notify_user(const std::string& title, const std::string& text) {
    world().notifications.push_back(title + "\n" + text);
}
