// The log viewer window, built from its layout table.
#include "ui/log_window.h"

#include <span>

#include "app/ids.h"
#include "app/state.h"
#include "platform/platform.h"
#include "ui/layout.h"

namespace {

constexpr int C = CTL_ALIGN_CENTRE;

constexpr ControlSpec viewer_controls[] = {
    {ID_LOG_TEXT, KIND_RICHEDIT, 0, 0, 700, 510, "please wait .....", FONT_SANS_8, 0, 0},
    {ID_LOG_CLOSE, KIND_BUTTON, 600, 525, 90, 25, "Close", FONT_SANS_8, 0, 0},
    {ID_LOG_REFRESH, KIND_BUTTON, 10, 525, 90, 25, "Refresh", FONT_SANS_8, 0, 0},
    {ID_LOG_DELETE, KIND_BUTTON, 125, 525, 65, 25, "Delete", FONT_SANS_8, 0, 0},
    {ID_LOG_SIZE, KIND_LABEL, 260, 536, 260, 10, "", FONT_TERMINAL_6, 0, 0},
    {ID_LOG_LOADING, KIND_LABEL, 235, 547, 300, 11, "", FONT_TERMINAL_6, 0, C},
    {ID_LOG_MODEM, KIND_LABEL, 258, 518, 265, 12, "", FONT_ARIAL_8_BOLD, 0, C},
};

}  // namespace

void open_log_viewer() {
    // The requested position only matters if centring were off.
    const WindowArgs window{LOG_WINDOW, "VYXlog.txt", 224, 72, 701, 560, false, true};
    if (!create_window(window)) return;
    for (const ControlSpec& c : std::span(viewer_controls))
        create_control(
            {LOG_WINDOW, -1, c.id, c.kind, c.x, c.y, c.w, c.h, c.text, c.flags, state.fonts[c.font]});
    set_control_tooltip(ID_LOG_TEXT, "copy selected text to clipboard with CTRL+C");
    show_window(LOG_WINDOW, SHOW_NORMAL);
}

void close_log_viewer() {
    destroy_window(LOG_WINDOW);
    state.log_window_open = 0;
    if (state.connected == 1 && state.auto_config_pending == 0) enable_control(ID_SHOW_LOG, 1);
}

void scroll_to_end(int id) {
    const int last = editor_line_index(id, editor_line_count(id) - 1);
    editor_set_selection(id, last, last);
}

void enable_log_viewer_buttons(int online) {
    if (state.log_window_open != 1) return;
    enable_control(ID_LOG_REFRESH, online == 1);
    enable_control(ID_LOG_DELETE, online == 1);
}
