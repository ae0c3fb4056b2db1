// The log viewer window (window 1) and its controls, described as data.
#include <span>

#include "app/ids.h"
#include "app/state.h"
#include "monitor/logfile.h"
#include "ui/main_window.h"

namespace {

constexpr int C = CTL_ALIGN_CENTRE;

constexpr ControlSpec viewer_controls[] = {
    {ID_LOG_TEXT, KIND_RICHEDIT, 0, 0, 700, 510, "please wait .....", 1, 0, 0},
    {ID_LOG_CLOSE, KIND_BUTTON, 600, 525, 90, 25, "Close", 1, 0, 0},
    {ID_LOG_REFRESH, KIND_BUTTON, 10, 525, 90, 25, "Refresh", 1, 0, 0},
    {ID_LOG_DELETE, KIND_BUTTON, 125, 525, 65, 25, "Delete", 1, 0, 0},
    {64, KIND_LABEL, 260, 536, 260, 10, "", 3, 0, 0},
    {65, KIND_LABEL, 235, 547, 300, 11, "", 3, 0, C},
    {66, KIND_LABEL, 258, 518, 265, 12, "", 7, 0, C},
};

}  // namespace

void open_log_viewer() {
    // The requested position only matters if centring were off.
    const WindowArgs window{LOG_WINDOW, "VYXlog.txt", 224, 72, 701, 560, false, true};
    if (!create_window(window)) return;
    for (const ControlSpec& c : std::span(viewer_controls)) {
        if (!create_control({LOG_WINDOW, -1, c.id, c.kind, c.x, c.y, c.w, c.h, c.text, c.flags})) continue;
        if (const int* font = font_field(c.font)) set_control_font(c.id, *font);
    }
    set_control_tooltip(ID_LOG_TEXT, "copy selected text to clipboard with CTRL+C");
    show_window(LOG_WINDOW, SHOW_NORMAL);
}
