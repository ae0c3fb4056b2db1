// The one boundary between the client and the operating system.
//
// Everything the portable code (app/, link/, monitor/, ui/) needs from the
// system is declared here, in the program's own vocabulary: windows are
// numbers (0 main, 1 log viewer, 2 history; any number may exist), controls
// are ids unique across all windows, menus are their ids, and every other system object (font,
// picture, connection, file) is a positive integer handle with 0 for none.
// The build links exactly one implementation: win32/ for the Windows program,
// gtk/ (+ posix/) for the native Linux one, headless/ (+ posix/) for the
// Linux build the unit tests run on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/draw_list.h"

// ---- Event source ---------------------------------------------------------

enum : int {
    EVENT_CONTROL = 13100,    // parameter: control id
    EVENT_MENU = 13101,       // parameter: menu item id
    EVENT_TRAY = 13102,       // parameter: click type
    EVENT_CLOSE_WINDOW = 16,  // window number of the event says which
    EVENT_TIMER = 275,        // parameter: timer id
    EVENT_RESIZE = 13103,     // the window's client area changed: get_event_size
    EVENT_POINTER = 13104,    // the pointer over a canvas moved or left: control id, get_event_point
};

// Tray click types.
enum : int { TRAY_LEFT_CLICK = 0, TRAY_RIGHT_CLICK = 1, TRAY_LEFT_DOUBLE = 2, TRAY_RIGHT_DOUBLE = 3 };

enum : int { WINDOW_NONE = -1 };

// Blocks until the next event of the program's thread and returns its code;
// codes other than the named ones are plain window-system messages.
int wait_next_event();
int get_event_window();   // window number of the last event, WINDOW_NONE if none
int get_event_control();  // id of the last EVENT_CONTROL
int get_event_menu();     // item id of the last EVENT_MENU
int get_event_type();     // click type of the last EVENT_TRAY
int get_event_timer();    // timer id of the last EVENT_TIMER
// New client size of the last EVENT_RESIZE.
void get_event_size(int* w, int* h);
// Pointer position of the last EVENT_POINTER, relative to the canvas; -1, -1 once it left.
void get_event_point(int* x, int* y);

// Window timers, one per (window, id): starting one again restarts it with the
// new period. Their ticks arrive as EVENT_TIMER through the same queue.
void start_timer(int window, int timer_id, int period_ms);
void stop_timer(int window, int timer_id);

// ---- Windows --------------------------------------------------------------

struct WindowArgs {
    int window;  // any number >= 0 not in use
    const char* title;
    int x, y;                // requested position; replaced when centred
    int client_w, client_h;  // client area size
    bool minimize_box;       // main window: caption, system menu, minimize box
    bool centred;
    // Resizable with a maximize box, never smaller than min_w x min_h; each
    // change of its client size arrives as EVENT_RESIZE.
    bool resizable = false;
    int min_w = 0, min_h = 0;
};

int create_window(const WindowArgs& args);  // 1 on success, 0 on failure; created hidden
void destroy_window(int window);            // and every control on it
int window_exists(int window);

enum : int { SHOW_HIDE = 0, SHOW_NORMAL = 1, SHOW_MAXIMIZED = 3, SHOW_MINIMIZE = 6 };
void show_window(int window, int mode);
int window_visible(int window);
int window_minimized(int window);
int window_maximized(int window);
void set_foreground_window(int window);
void repaint_window(int window);  // paint now, so a change shows before a blocking wait
void get_client_size(int window, int* w, int* h);

// ---- Controls -------------------------------------------------------------

enum ControlKind : int {
    KIND_FRAME,     // group box with caption
    KIND_EDIT,      // single-line edit, sunken, auto horizontal scroll, tab stop
    KIND_LABEL,     // static text
    KIND_CHECKBOX,  // automatic check box, tab stop
    KIND_BUTTON,    // push button, tab stop
    KIND_PANEL,     // tab control with one tab page (text = the tab's caption)
    KIND_IMAGE,     // static showing an icon; reports clicks
    KIND_LINK,      // static text, hand cursor, black / red under the mouse
    KIND_RICHEDIT,  // multi-line rich edit with both scroll bars
    KIND_CANVAS,    // shows a DrawList (canvas_draw); reports pointer moves as EVENT_POINTER
};

enum : int {
    CTL_ALIGN_RIGHT = 1,
    CTL_ALIGN_CENTRE = 2,
    CTL_DIGITS = 4,  // edit: only 0-9 can be typed
    CTL_DEFAULT_BUTTON = 8,
    CTL_DISABLED = 16,  // created disabled
};

struct ControlArgs {
    int window;
    int panel;  // id of the enclosing panel, or -1: position is then client-relative
    int id;
    ControlKind kind;
    int x, y, w, h;  // relative to the panel's tab page when panel >= 0
    const char* text;
    int flags;
    int font = 0;  // a create_font handle, 0: the default GUI font
};

int create_control(const ControlArgs& args);  // 1 on success, 0 on failure
void destroy_control(int id);
int control_exists(int id);
void move_control(int id, int x, int y, int w, int h);  // same coordinates as at creation

void set_control_text(int id, const std::string& text);
std::string get_control_text(int id);
int get_control_text_length(int id);         // without copying the text
void set_text_limit(int id, int max_chars);  // limits typing only
void enable_control(int id, int enabled);
int control_enabled(int id);
void set_checked(int id, int checked);
int is_checked(int id);
void set_control_picture(int id, int picture);              // KIND_IMAGE
void set_control_tooltip(int id, const std::string& text);  // hover tooltip
void set_control_background(int id, int r, int g, int b);   // KIND_RICHEDIT

// Canvas: the platform keeps a copy of the list and paints from it whenever the
// window system asks, white under it, clipped to the canvas.
void canvas_draw(int id, const DrawList& list);

// Rich edit (log viewer).
void editor_append(int id, const std::string& text);
int editor_line_count(int id);
int editor_line_index(int id, int line);  // character index of a line's start
void editor_set_selection(int id, int start, int end);

// ---- Fonts and pictures ---------------------------------------------------

int screen_dpi_y();
// height < 0: character height in pixels, as the window system takes it.
int create_font(const char* face, int height, int weight);
void free_font(int font);

enum PictureKind : int { PICTURE_ICON, PICTURE_BITMAP };
// data: a complete .ico (one image) or .bmp file held in memory.
int load_picture(const std::uint8_t* data, std::size_t size, PictureKind kind);
void free_picture(int picture);

// ---- Menus and keyboard ---------------------------------------------------

int create_popup_menu(int menu);  // 1 on success
void append_menu_item(int menu, int item, const std::string& text);
void append_menu_separator(int menu);
void enable_menu_item(int item, int enabled);
void set_menu_item_text(int item, const std::string& text);
void set_menu_item_bitmap(int item, int picture);  // same bitmap checked and unchecked
void destroy_popup_menu(int menu);
void get_mouse_position(int* x, int* y);
// Shows the menu; returns when it closes. A chosen item arrives later as EVENT_MENU.
void track_popup_menu(int menu, int window, int x, int y);

// Enter (no modifier) on the window produces EVENT_MENU with item.
void register_enter_shortcut(int window, int item);

// ---- Tray -----------------------------------------------------------------

int tray_add(int icon_id, int window, int picture);          // empty tooltip; 0 on failure
int tray_change(int icon_id, int picture);                   // also empties the tooltip
int tray_set_tooltip(int icon_id, const std::string& text);  // cut to 63 characters
void tray_remove(int icon_id);
void tray_remove_all();

// ---- Shell and message boxes ----------------------------------------------

enum : int { MB_BUTTONS_OK = 0, MB_BUTTONS_OK_CANCEL = 1 };
enum : int { MB_ANSWER_OK = 1, MB_ANSWER_CANCEL = 2 };
// window: owner window number, or WINDOW_NONE.
int message_box(int window, const std::string& title, const std::string& text, int buttons);
void shell_open(const std::string& address);
// The desktop's own notification: a balloon from the program's tray icon on
// Windows (an icon is added for it while the window shows, and removed after),
// the desktop's notification service natively. Never blocks.
void notify_user(const std::string& title, const std::string& text);

// ---- Network --------------------------------------------------------------

int net_start();  // 1 when the stack started
void net_stop();
// Blocking connect to host (dotted address, else a name lookup) and port's low 16 bits.
int net_open(const std::string& host, int port);  // handle > 0, or 0
// Network activity on the handle makes wait_next_event return (a plain message).
void net_watch(int handle, int window);
int net_bytes_waiting(int handle);
int net_peek(int handle, char* buffer, int size);  // bytes looked at, -1 on error
// Blocks until bytes or the peer's close are waiting (1), or for at most timeout_ms (0).
int net_wait_readable(int handle, int timeout_ms);
int net_receive(int handle, char* buffer, int size);  // n > 0, 0 closed, -1 nothing or error
// Bytes accepted now: 0 when the system would block (try again), -1 when the
// connection failed (a reset peer, say), which no retry mends.
int net_send(int handle, const char* data, int size);
// 1 when nothing more can ever be read: every byte has been taken and the
// peer has closed, or the connection failed. Never blocks.
int net_ended(int handle);
void net_close(int handle);

// One ICMP echo to an IPv4 address (host byte order). 1 when answered in time,
// 0 when not, ECHO_REFUSED when the system does not let this user send echoes
// at all (Linux allows unprivileged ones only to the groups it names).
enum : int { ECHO_REFUSED = -1 };
int icmp_echo(std::uint32_t address, const char* data, int size, int reply_size, int timeout_ms);

// ---- Files, clock, process ------------------------------------------------

// Write creates or empties; append creates or writes at the end, each write
// handed to the system at once.
enum : int { FILE_READ = 0, FILE_WRITE = 1, FILE_APPEND = 2 };
int file_open(const std::string& name, int mode);      // handle > 0, or 0
int file_read(int file, char* buffer, int size);       // bytes read, -1 on error
int file_write(int file, const char* data, int size);  // bytes written, -1 on error
void file_close(int file);
long long file_size(int file);             // -1 when unknown
int file_exists(const std::string& name);  // 1 when anything stands under the name
int file_delete(const std::string& name);
int file_replace(const std::string& from, const std::string& to);  // rename over
int make_folder(const std::string& name);                          // 1 when the folder is there afterwards
// Names (not paths) of the plain files in a folder, in no order; empty when it cannot be read.
std::vector<std::string> list_folder(const std::string& name);

int seconds_clock();                    // local wall-clock time in seconds since 1970, counted as UTC
long long utc_seconds();                // the true time: seconds since 1970 UTC
int utc_offset_seconds(long long utc);  // local time minus UTC at that moment (DST included)
// Milliseconds on a clock that only goes forward; only differences mean something.
long long elapsed_ms();
// Blocks the thread; may last a system timer tick longer than asked, so waits
// that must keep to time measure it with elapsed_ms.
void sleep_ms(int ms);

// ---- Text -----------------------------------------------------------------

// UTF-8 text in the system's local 8-bit code page: 1, or 0 when a character
// has no place there. Where the local code page is UTF-8 the bytes stay.
int utf8_to_local(const std::string& utf8, std::string& local);
[[noreturn]] void exit_process(int code);

// Called once before anything else; 1 on success.
int platform_init();
// Releases whatever the platform still holds (windows, timers, handles).
void platform_release();
