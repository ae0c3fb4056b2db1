// Main window construction: the layout as data, handed to the platform in
// creation order. The creation order is also the keyboard tab order, and
// each control gets its font and typing limit right after it is created.
#include "ui/main_window.h"

#include <span>

#include "app/ids.h"
#include "app/state.h"

namespace {

constexpr int R = CTL_ALIGN_RIGHT, C = CTL_ALIGN_CENTRE, D = CTL_DIGITS;

constexpr ControlSpec connection_group[] = {
    {27, KIND_FRAME, 10, 15, 455, 122, "Connection establishment with VYX-Server", 1, 0, 0},
    {28, KIND_EDIT, 128, 35, 140, 20, "", 1, 60, 0},
    {29, KIND_LABEL, 20, 38, 105, 15, "IP-Add. or Hostname", 2, 0, R},
    {30, KIND_LABEL, 272, 38, 25, 15, "Port", 2, 0, R},
    {31, KIND_EDIT, 300, 35, 40, 20, "", 1, 5, D},
    {32, KIND_CHECKBOX, 25, 65, 290, 15, "automatically connect to VYX-Server at startup", 2, 0, 0},
    {33, KIND_CHECKBOX, 25, 90, 335, 15, "reconnect on disconnection / check connection to server", 2, 0, 0},
    {34, KIND_EDIT, 83, 110, 25, 15, "", 3, 3, D},
    {35, KIND_LABEL, 42, 110, 40, 15, "Interval:", 2, 0, R},
    {36, KIND_LABEL, 110, 112, 57, 10, "seconds", 4, 0, 0},
    {37, KIND_BUTTON, 370, 104, 75, 25, "Connect", 1, 0, CTL_DEFAULT_BUTTON},
    {38, KIND_BUTTON, 370, 73, 75, 25, "Disconnect", 1, 0, 0},
};

constexpr ControlSpec action_group[] = {
    {39, KIND_FRAME, 10, 345, 525, 55, "execute action on VYX-Server (DSL-Modem/Router)", 1, 0, 0},
    {40, KIND_BUTTON, 20, 365, 110, 25, "Update/Refresh", 1, 0, 0},
    {41, KIND_BUTTON, 140, 365, 110, 25, "DSL-Resync", 1, 0, 0},
    {42, KIND_BUTTON, 260, 365, 110, 25, "Reboot+Resync", 1, 0, 0},
    {43, KIND_BUTTON, 415, 365, 110, 25, "VYX+Server shutdown", 4, 0, 0},
};

constexpr ControlSpec tray_group[] = {
    {50, KIND_LABEL, 550, 363, 33, 15, "Prefix", 2, 0, R},
    {51, KIND_FRAME, 545, 345, 135, 40, "SysTray-Icon", 1, 0, 0},
    {52, KIND_EDIT, 585, 361, 90, 18, "", 1, 25, 0},
    {58, KIND_LABEL, 5, 410, 155, 10, "", 3, 0, 0},
    {67, KIND_BUTTON, 565, 390, 111, 25, "Minimize", 1, 0, 0},
};

constexpr ControlSpec monitoring_panel = {
    53, KIND_PANEL, 10, 150, 670, 185, "automatic DSL-Monitoring Config. (via VYX-Server)", 0, 0, 0};

constexpr ControlSpec monitoring_controls[] = {
    {0, KIND_FRAME, 253, 13, 210, 130, "if Trigger-Value ... ", 1, 0, 0},
    {1, KIND_CHECKBOX, 263, 88, 110, 15, "SNR Margin Down", 1, 0, 0},
    {2, KIND_CHECKBOX, 263, 38, 110, 15, "Downstream Bitrate", 1, 0, 0},
    {3, KIND_CHECKBOX, 263, 63, 110, 15, "Upstream Bitrate", 1, 0, 0},
    {4, KIND_CHECKBOX, 263, 118, 180, 15, "cant connect/logon (modem n/a)", 1, 0, 0},
    {5, KIND_LABEL, 373, 88, 15, 15, "<>", 0, 0, 0},
    {6, KIND_LABEL, 378, 38, 10, 15, "<", 0, 0, 0},
    {7, KIND_LABEL, 378, 63, 10, 15, "<", 0, 0, 0},
    {8, KIND_EDIT, 388, 85, 20, 20, "", 1, 2, D},
    {9, KIND_EDIT, 388, 35, 40, 20, "", 1, 5, D},
    {10, KIND_EDIT, 388, 60, 40, 20, "", 1, 4, D},
    {11, KIND_LABEL, 429, 38, 31, 15, "kbit/s", 1, 0, 0},
    {12, KIND_LABEL, 429, 63, 31, 15, "kbit/s", 1, 0, 0},
    {13, KIND_LABEL, 444, 88, 17, 15, "dB", 1, 0, 0},
    {14, KIND_EDIT, 148, 35, 30, 20, "", 1, 4, D},
    {15, KIND_FRAME, 8, 13, 235, 95, "Check-Interval", 1, 0, 0},
    {16, KIND_LABEL, 16, 38, 130, 15, "Interval between checks :", 0, 0, R},
    {17, KIND_LABEL, 181, 38, 40, 15, "minutes", 1, 0, 0},
    {18, KIND_FRAME, 473, 13, 185, 130, " ... then execute action : ", 1, 0, 0},
    {19, KIND_CHECKBOX, 23, 65, 125, 15, "write results to Logfile", 1, 0, 0},
    {20, KIND_CHECKBOX, 483, 38, 130, 15, "DSL-Resync. (retrain)", 1, 0, 0},
    {21, KIND_CHECKBOX, 483, 93, 165, 15, "Send 'Net-Send' message to :", 1, 0, 0},
    {22, KIND_EDIT, 553, 113, 95, 20, "", 1, 40, 0},
    {23, KIND_CHECKBOX, 483, 63, 170, 15, "Modem Reboot + DSL-Resync.", 0, 0, 0},
    {24, KIND_BUTTON, 163, 118, 80, 27, "apply/save", 1, 0, 0},
    {25, KIND_BUTTON, 8, 118, 65, 27, "activate", 1, 0, 0},
    {26, KIND_BUTTON, 80, 118, 65, 27, "deactivate", 1, 0, 0},
    {59, KIND_BUTTON, 165, 63, 65, 25, "show Logfile", 4, 0, 0},
    {68, KIND_EDIT, 423, 85, 20, 20, "", 1, 2, D},
    {69, KIND_LABEL, 408, 88, 15, 15, "to", 1, 0, C},
    {70, KIND_CHECKBOX, 48, 85, 85, 15, "IP detection", 1, 0, 0},
};

constexpr ControlSpec data_panel = {54, KIND_PANEL, 480, 15, 200, 125, "DSL Data", 0, 0, 0};

constexpr ControlSpec data_controls[] = {
    {44, KIND_LABEL, 11, 68, 62, 25, "SNRM", 5, 0, 0},
    {45, KIND_LABEL, 11, 8, 35, 25, "DN", 5, 0, 0},
    {46, KIND_LABEL, 11, 38, 35, 25, "UP", 5, 0, 0},
    {47, KIND_LABEL, 133, 13, 50, 15, "kbit/s", 6, 0, 0},
    {48, KIND_LABEL, 133, 43, 50, 15, "kbit/s", 6, 0, 0},
    {49, KIND_LABEL, 133, 73, 35, 15, "dB", 6, 0, 0},
    {55, KIND_LABEL, 53, 8, 75, 25, "", 5, 0, R},
    {56, KIND_LABEL, 53, 38, 75, 25, "", 5, 0, R},
    {57, KIND_LABEL, 78, 68, 50, 25, "", 5, 0, R},
};

constexpr ControlSpec home_link = {ID_HOME_LINK, KIND_LINK, 411, 410, 122, 10, HOME_PAGE_ADDRESS, 3, 0, 0};

void add(const ControlSpec& c, int panel) {
    if (!create_control({MAIN_WINDOW, panel, c.id, c.kind, c.x, c.y, c.w, c.h, c.text, c.flags})) return;
    const int* font = font_field(c.font);
    if (font) set_control_font(c.id, *font);
    if (c.limit > 0) set_text_limit(c.id, c.limit);
}

void add_all(std::span<const ControlSpec> controls, int panel) {
    for (const ControlSpec& c : controls) add(c, panel);
}

}  // namespace

int build_main_window() {
    const WindowArgs window{MAIN_WINDOW, "VYX Client", 197, 37, 690, 421, true, true};
    if (!create_window(window)) return 0;
    add_all(connection_group, -1);
    add_all(action_group, -1);
    add_all(tray_group, -1);
    set_control_tooltip(ID_MINIMIZE, "hide/minimize program window and show Icon in SysTray");
    add(monitoring_panel, -1);
    add_all(monitoring_controls, monitoring_panel.id);
    add(data_panel, -1);
    add_all(data_controls, data_panel.id);
    return 1;
}

void add_home_link() { add(home_link, -1); }
