// Main window construction: the layout's data handed to the platform in
// creation order. The creation order is also the keyboard tab order, and
// each control gets its font, typing limit and tooltip right after it is created.
#include "ui/main_window.h"

#include "app/ids.h"
#include "app/state.h"
#include "ui/status.h"

namespace {

void add(const ControlSpec& c, int panel) {
    const int flags = c.flags | (starts_disabled(c.id) ? CTL_DISABLED : 0);
    if (!create_control(
            {MAIN_WINDOW, panel, c.id, c.kind, c.x, c.y, c.w, c.h, c.text, flags, state.fonts[c.font]}))
        return;
    if (c.limit > 0) set_text_limit(c.id, c.limit);
    if (c.tooltip) set_control_tooltip(c.id, c.tooltip);
}

}  // namespace

int build_main_window() {
    const WindowArgs window{MAIN_WINDOW, "VYX Client", 197, 37, 690, 421, true, true};
    if (!create_window(window)) return 0;
    for (const LayoutPart& part : main_window_layout())
        for (const ControlSpec& c : part.controls) add(c, part.panel);
    return 1;
}

void add_home_link() { add(home_link_spec(), -1); }

void update_interval_controls() {
    const int on = is_checked(ID_TRY_CONNECT);
    for (int id : INTERVAL_CONTROLS) enable_control(id, on);
}
