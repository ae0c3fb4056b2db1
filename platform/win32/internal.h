// What the Win32 files share: the top-level windows, the control records
// and the event queue. The hard part is that several files need to find a
// control from either side (its id or its HWND) and that records must be
// forgotten exactly when the system destroys the window behind them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "platform/enter_shortcut.h"
#include "platform/event_queue.h"
#include "platform/platform.h"

namespace win32 {

// Per-window state, in a table grown on demand: window numbers are small.
// Slots of windows never made stay value-initialised.
template <class T>
T& per_window(std::vector<T>& table, int window) {
    const auto slot = static_cast<std::size_t>(window);
    if (slot >= table.size()) table.resize(slot + 1);
    return table[slot];
}

// Shell notification for our tray icons, and the copy we post to ourselves
// so it is handled from the queue rather than inside the shell's send.
constexpr UINT TRAY_CALLBACK = 12501;
constexpr UINT TRAY_REPOSTED = 12502;

HINSTANCE instance();
// Loaded when the first rich edit is made rather than imported: only the log
// viewer has one, start-up stays shorter, and a missing library costs that
// one control, not the whole program.
void load_rich_edit();
HWND window_handle(int window);  // nullptr when the window does not exist
int window_number(HWND hwnd);    // top-level window of hwnd, or WINDOW_NONE
int window_slots();              // one more than the highest window number ever made
// Resizable windows: the smallest outer size, and whether the client size
// the system reports is new (remembered when it is).
void window_min_track_size(int window, MINMAXINFO* info);
bool window_resized(int window, int w, int h);

struct Control {
    int id = 0;
    HWND hwnd = nullptr;
    int window = 0;
    ControlKind kind = KIND_LABEL;
    int panel = -1;  // enclosing panel id, -1 if none
    // Panels only: where the tab page starts in the window's client area,
    // and a brush holding the page's own background for controls on it.
    POINT page{};
    HBRUSH page_brush = nullptr;
    bool hot = false;                   // links only: the mouse is over it
    bool has_tooltip = false;           // registered with the window's tooltip window
    bool tooltip_pending = false;       // to be registered when the loop next waits
    std::string tooltip;                // kept so a renewed control gets it again
    COLORREF background = CLR_INVALID;  // rich edits only: as set, for the same reason
};

Control* find_control(int id);
Control* find_control(HWND hwnd);
std::vector<Control>& controls();

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// panels.cpp
bool create_panel_page(Control& panel);
void note_new_control(const Control& made);
void settle_panels();  // before the system shows, paints or reads the order of controls
void drop_panel_page(Control& panel);
void refresh_panel_pages(int window);
void paint_panel_pages(int window, HDC dc);  // after the window erased its background

// link_label.cpp
void make_link(Control& link);

// canvas.cpp
const char* canvas_class();                 // registered on first use; nullptr if it cannot be
void exclude_canvases(int window, HDC dc);  // from the window's erasing: they cover their own ground

// Answers WM_CTLCOLORSTATIC for links and controls on panels; nullptr means
// the default colours are fine.
HBRUSH static_colours(HDC dc, HWND child);

// tooltips.cpp
void forget_tooltip(Control& control);
void forget_tooltip_window(int window);
void settle_tooltips();

// fonts.cpp / pictures.cpp
HFONT font_handle(int font);  // nullptr for unknown handles
HICON icon_handle(int picture);
HBITMAP bitmap_handle(int picture);
void release_fonts();
void release_pictures();

// menus.cpp
void release_menus();

// tray.cpp
void restore_tray_icons();  // after the shell restarts
void retry_tray_icons();    // those the shell did not take yet
UINT taskbar_created_message();

// network.cpp / files.cpp
void release_network();
void release_files();

}  // namespace win32
