// The history window: its controls as data, laid out again on every resize,
// the span the user chose, and the recorded data for it.
//
// The hard part is keeping the data for the span without rereading files on
// every move: what was loaded is kept with its range, the recorder's new
// lines are added while that range reaches the present, and only a span
// outside it is loaded again.
#include "ui/history_window.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "app/ids.h"
#include "app/state.h"
#include "app/text_number.h"
#include "monitor/alerts.h"
#include "monitor/history_recorder.h"
#include "monitor/history_store.h"
#include "platform/platform.h"
#include "ui/history_chart.h"
#include "ui/history_report.h"
#include "ui/layout.h"

namespace {

constexpr int WIDTH = 920, HEIGHT = 640, MIN_WIDTH = 700, MIN_HEIGHT = 480;
constexpr std::int64_t HOUR = 3600, DAY = 86400;
constexpr std::int64_t FAR_FUTURE = INT64_MAX / 2;

struct SpanButton {
    int id;
    std::int64_t seconds;
};
constexpr SpanButton spans[] = {
    {ID_HIST_6H, 6 * HOUR}, {ID_HIST_24H, DAY}, {ID_HIST_7D, 7 * DAY}, {ID_HIST_30D, 30 * DAY}};

constexpr int R = CTL_ALIGN_RIGHT, D = CTL_DIGITS;

// Rectangles for the default size; `anchor` says how each follows a resize.
enum Anchor : int { TOP, FILL, BOTTOM, BOTTOM_WIDE, BOTTOM_RIGHT, TOP_WIDE };
struct Placed {
    ControlSpec spec;
    Anchor anchor;
};

const Placed controls[] = {
    {{ID_HIST_6H, KIND_BUTTON, 10, 8, 70, 24, "6 hours", FONT_SANS_8, 0, 0}, TOP},
    {{ID_HIST_24H, KIND_BUTTON, 85, 8, 70, 24, "24 hours", FONT_SANS_8, 0, 0}, TOP},
    {{ID_HIST_7D, KIND_BUTTON, 160, 8, 70, 24, "7 days", FONT_SANS_8, 0, 0}, TOP},
    {{ID_HIST_30D, KIND_BUTTON, 235, 8, 70, 24, "30 days", FONT_SANS_8, 0, 0}, TOP},
    {{ID_HIST_BACK, KIND_BUTTON, 325, 8, 80, 24, "< Back", FONT_SANS_8, 0, 0}, TOP},
    {{ID_HIST_FORWARD, KIND_BUTTON, 410, 8, 80, 24, "Forward >", FONT_SANS_8, 0, 0}, TOP},
    {{ID_HIST_NOW, KIND_BUTTON, 495, 8, 60, 24, "Now", FONT_SANS_8, 0, 0}, TOP},
    {{ID_HIST_SPAN, KIND_LABEL, 570, 12, 340, 16, "", FONT_ARIAL_8_BOLD, 0, 0}, TOP_WIDE},
    {{ID_HIST_CANVAS, KIND_CANVAS, 10, 40, 900, 470, "", 0, 0, 0}, FILL},
    {{ID_HIST_READOUT, KIND_LABEL, 10, 514, 900, 16, "", FONT_SANS_8, 0, 0}, BOTTOM_WIDE},
    {{ID_HIST_FIGURES1, KIND_LABEL, 10, 531, 900, 16, "", FONT_SANS_8, 0, 0}, BOTTOM_WIDE},
    {{ID_HIST_FIGURES2, KIND_LABEL, 10, 547, 900, 16, "", FONT_SANS_8, 0, 0}, BOTTOM_WIDE},
    {{ID_HIST_FIGURES3, KIND_LABEL, 10, 563, 900, 16, "", FONT_SANS_8, 0, 0}, BOTTOM_WIDE},
    {{ID_HIST_STATUS, KIND_LABEL, 10, 582, 900, 16, "", FONT_SANS_8, 0, 0}, BOTTOM_WIDE},
    {{ID_HIST_RECORD, KIND_CHECKBOX, 10, 604, 190, 20, "Record the line's history", FONT_SANS_8, 0, 0},
     BOTTOM},
    {{ID_HIST_PERIOD_LABEL, KIND_LABEL, 205, 607, 80, 15, "Sample every", FONT_SANS_8, 0, R}, BOTTOM},
    {{ID_HIST_PERIOD, KIND_EDIT, 290, 604, 45, 20, "", FONT_SANS_8, 4, D}, BOTTOM},
    {{ID_HIST_SECONDS_LABEL, KIND_LABEL, 340, 607, 50, 15, "seconds", FONT_SANS_8, 0, 0}, BOTTOM},
    {{ID_HIST_APPLY, KIND_BUTTON, 395, 602, 60, 24, "Apply", FONT_SANS_8, 0, 0}, BOTTOM},
    {{ID_HIST_ALERTS, KIND_CHECKBOX, 470, 604, 95, 20, "Show alerts", FONT_SANS_8, 0, 0}, BOTTOM},
    {{ID_HIST_TEST_ALERT, KIND_BUTTON, 570, 602, 80, 24, "Test alert", FONT_SANS_8, 0, 0}, BOTTOM},
    {{ID_HIST_EXPORT, KIND_BUTTON, 700, 602, 100, 24, "Export report", FONT_SANS_8, 0, 0}, BOTTOM_RIGHT},
    {{ID_HIST_CLOSE, KIND_BUTTON, 830, 602, 80, 24, "Close", FONT_SANS_8, 0, 0}, BOTTOM_RIGHT},
};

struct View {
    bool open = false;
    int width = WIDTH, height = HEIGHT;
    std::int64_t span = DAY;
    std::int64_t to = 0;  // end of the span shown
    bool follow = true;   // the span ends at now and moves with it
    int pointer_x = -1;
    HistoryData data;
    std::int64_t loaded_from = 0, loaded_to = 0;  // loaded_to FAR_FUTURE: new lines are added
    std::int64_t drawn_at = 0;
};
View view;

int offset_at(long long utc) { return utc_offset_seconds(utc); }

void place(const Placed& p, bool create) {
    const ControlSpec& c = p.spec;
    const int dw = view.width - WIDTH, dh = view.height - HEIGHT;
    int x = c.x, y = c.y, w = c.w, h = c.h;
    switch (p.anchor) {
        case TOP:
            break;
        case TOP_WIDE:
            w += dw;
            break;
        case FILL:
            w += dw;
            h += dh;
            break;
        case BOTTOM:
            y += dh;
            break;
        case BOTTOM_WIDE:
            y += dh;
            w += dw;
            break;
        case BOTTOM_RIGHT:
            x += dw;
            y += dh;
            break;
    }
    if (!create) return move_control(c.id, x, y, w, h);
    if (create_control(
            {HISTORY_WINDOW, -1, c.id, c.kind, x, y, w, h, c.text, c.flags, state.fonts[c.font]}) &&
        c.limit > 0)
        set_text_limit(c.id, c.limit);
}

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// "2026-12-08 14:05" in local time.
std::string local_text(std::int64_t utc) {
    const std::int64_t local = utc + offset_at(utc);
    const std::int64_t in_day = local - history_local_day(local) * DAY;
    return history_day_name(history_local_day(local)) + " " + two(static_cast<int>(in_day / HOUR)) + ":" +
           two(static_cast<int>(in_day % HOUR / 60));
}

std::string duration(std::int64_t s) {
    if (s < 60) return std::to_string(s) + " s";
    if (s < DAY) return std::to_string(s / HOUR) + " h " + std::to_string(s % HOUR / 60) + " min";
    return std::to_string(s / DAY) + " d " + std::to_string(s % DAY / HOUR) + " h";
}

HistoryThresholds thresholds() {
    HistoryThresholds t;
    t.bitdn_on = state.auto_switch_bitdn == 1;
    t.bitdn_kbps = state.auto_bitdn;
    t.bitup_on = state.auto_switch_bitup == 1;
    t.bitup_kbps = state.auto_bitup;
    t.snrdn_on = state.auto_switch_snrdn == 1;
    t.snrdn_db = static_cast<float>(state.auto_snrdn);
    return t;
}

void show_figures(std::int64_t from, std::int64_t now) {
    const int period = history_current_settings().sample_seconds;
    const HistoryFigures f = history_figures(view.data, from, view.to, period, now, thresholds());
    const std::int64_t shown = std::max<std::int64_t>(1, std::min(view.to, now) - from);
    std::string line1 =
        "Samples cover " +
        history_fixed(100.0 * static_cast<double>(f.covered_s) / static_cast<double>(shown), 1) +
        " % of the span; connected " + duration(f.connected_s) + "; drops " + std::to_string(f.drops) +
        "; resyncs sent " + std::to_string(f.resyncs) + "; reboots sent " + std::to_string(f.reboots);
    std::string line2 = "No samples in this span.";
    if (f.samples > 0) {
        line2 = "Down kbit/s min " + history_fixed(f.dn_min, 0) + " / mean " + history_fixed(f.dn_mean, 0) +
                " / max " + history_fixed(f.dn_max, 0) + "    Up kbit/s " + history_fixed(f.up_min, 0) +
                " / " + history_fixed(f.up_mean, 0) + " / " + history_fixed(f.up_max, 0);
        if (f.snrm_samples > 0)
            line2 += "    Margin dB " + history_fixed(f.snrm_min, 1) + " / " + history_fixed(f.snrm_mean, 1) +
                     " / " + history_fixed(f.snrm_max, 1);
    }
    std::string line3;
    const HistoryThresholds t = thresholds();
    if (f.below_dn_s >= 0)
        line3 += "down < " + std::to_string(t.bitdn_kbps) + " kbit/s: " + duration(f.below_dn_s) + "   ";
    if (f.below_up_s >= 0)
        line3 += "up < " + std::to_string(t.bitup_kbps) + " kbit/s: " + duration(f.below_up_s) + "   ";
    if (f.below_snrm_s >= 0)
        line3 += "margin < " + std::to_string(state.auto_snrdn) + " dB: " + duration(f.below_snrm_s);
    line3 = line3.empty() ? "Below the server's thresholds: none watched (as last reported)."
                          : "Below the server's thresholds: " + line3;
    set_control_text(ID_HIST_FIGURES1, line1);
    set_control_text(ID_HIST_FIGURES2, line2);
    set_control_text(ID_HIST_FIGURES3, line3);
}

HistoryChartArgs chart_args(std::int64_t now) {
    HistoryChartArgs a;
    a.from_utc = view.to - view.span;
    a.to_utc = view.to;
    a.width = std::max(0, view.width - 20);
    a.height = std::max(0, view.height - 170);
    a.sample_seconds = history_current_settings().sample_seconds;
    a.now_utc = now;
    a.font = state.fonts[FONT_ARIAL_7];
    a.pointer_x = view.pointer_x;
    a.offset_at = offset_at;
    return a;
}

// Makes sure the data holds the span, loading the files when it does not.
void load_span(std::int64_t now) {
    const std::int64_t from = view.to - view.span;
    if (from >= view.loaded_from && view.to <= view.loaded_to) return;
    view.data = HistoryData{};
    // One span more to the past, so the next step back needs no reading.
    view.loaded_from = from - view.span;
    view.loaded_to = view.to >= now ? FAR_FUTURE : view.to;
    history_load(HISTORY_FOLDER, view.loaded_from, std::min(view.loaded_to, now + 1), view.data);
}

void redraw() {
    if (!view.open) return;
    const std::int64_t now = utc_seconds();
    if (view.follow) view.to = now + view.span / 48;  // a little room ahead of the newest sample
    load_span(now);
    DrawList list;
    const HistoryChartArgs args = chart_args(now);
    history_draw(view.data, args, list);
    canvas_draw(ID_HIST_CANVAS, list);
    set_control_text(ID_HIST_READOUT, history_readout(view.data, args));
    set_control_text(ID_HIST_SPAN, local_text(args.from_utc) + "  to  " + local_text(args.to_utc));
    show_figures(args.from_utc, now);
    enable_control(ID_HIST_FORWARD, view.follow ? 0 : 1);
    view.drawn_at = now;
}

void show_settings() {
    const HistorySettings& s = history_current_settings();
    set_checked(ID_HIST_RECORD, s.record == 1);
    set_checked(ID_HIST_ALERTS, s.alerts == 1);
    set_control_text(ID_HIST_PERIOD, std::to_string(s.sample_seconds));
    const std::string& problem = history_problem();
    set_control_text(ID_HIST_STATUS, !problem.empty() ? problem
                                     : s.record == 1
                                         ? "Recording into the folder " + std::string(HISTORY_FOLDER) + "."
                                         : std::string("Not recording."));
}

void apply_settings() {
    history_configure(is_checked(ID_HIST_RECORD) ? 1 : 0, text_to_int(get_control_text(ID_HIST_PERIOD)));
    show_settings();
    redraw();
}

void export_report() {
    HistoryReportArgs args;
    args.chart = chart_args(utc_seconds());
    args.chart.pointer_x = -1;
    args.thresholds = thresholds();
    args.line_name = state.systray_icon_prefix;
    args.server = state.ip_or_hostname + ":" + state.port;
    std::string path, problem;
    if (history_export_report(view.data, args, path, problem)) {
        set_control_text(ID_HIST_STATUS, "Report written: " + path);
        shell_open(path);
    } else {
        set_control_text(ID_HIST_STATUS, problem);
    }
}

void choose_span(std::int64_t seconds) {
    view.span = seconds;
    view.follow = true;
    redraw();
}

void step(int direction) {
    const std::int64_t now = utc_seconds();
    view.to += direction * view.span;
    view.follow = view.to >= now;
    redraw();
}

void resized(int w, int h) {
    view.width = w;
    view.height = h;
    for (const Placed& p : controls) place(p, false);
    redraw();
}

}  // namespace

void open_history_window() {
    if (view.open && window_exists(HISTORY_WINDOW)) {
        show_window(HISTORY_WINDOW, SHOW_NORMAL);
        set_foreground_window(HISTORY_WINDOW);
        return;
    }
    WindowArgs window{HISTORY_WINDOW, "VYX Client History", 60, 40, WIDTH, HEIGHT, false, true};
    window.resizable = true;
    window.min_w = MIN_WIDTH;
    window.min_h = MIN_HEIGHT;
    if (!create_window(window)) return;
    view = View{};
    view.open = true;
    for (const Placed& p : controls) place(p, true);
    show_settings();
    redraw();
    show_window(HISTORY_WINDOW, SHOW_NORMAL);
}

void close_history_window() {
    if (!view.open) return;
    destroy_window(HISTORY_WINDOW);
    view = View{};
}

void history_window_event(int event) {
    if (!view.open) return;
    if (event == EVENT_CLOSE_WINDOW) return close_history_window();
    if (event == EVENT_RESIZE) {
        int w = 0, h = 0;
        get_event_size(&w, &h);
        return resized(w, h);
    }
    if (event == EVENT_POINTER) {
        int x = 0, y = 0;
        get_event_point(&x, &y);
        view.pointer_x = x;
        return redraw();
    }
    if (event != EVENT_CONTROL) return;
    const int id = get_event_control();
    for (const SpanButton& s : spans)
        if (id == s.id) return choose_span(s.seconds);
    if (id == ID_HIST_BACK) return step(-1);
    if (id == ID_HIST_FORWARD) return step(1);
    if (id == ID_HIST_NOW) return choose_span(view.span);
    if (id == ID_HIST_RECORD || id == ID_HIST_APPLY) return apply_settings();
    if (id == ID_HIST_ALERTS) return history_configure_alerts(is_checked(ID_HIST_ALERTS) ? 1 : 0);
    if (id == ID_HIST_TEST_ALERT) return alerts_test();
    if (id == ID_HIST_EXPORT) return export_report();
    if (id == ID_HIST_CLOSE) return close_history_window();
}

void history_window_changed() {
    if (view.open) show_settings();
}

void history_window_entry(const HistoryEntry& e, const std::string& detail) {
    if (!view.open || view.loaded_to != FAR_FUTURE) return;
    HistoryEntry added = e;
    if (!detail.empty()) {
        added.detail = static_cast<std::uint32_t>(view.data.details.size());
        view.data.details.push_back(detail);
    }
    view.data.entries.push_back(added);
    if (view.follow) redraw();
}

void history_window_tick() {
    if (!view.open) return;
    // A resize that came while a short wait dropped its event is caught up here.
    int w = 0, h = 0;
    get_client_size(HISTORY_WINDOW, &w, &h);
    if (w > 0 && h > 0 && (w != view.width || h != view.height)) resized(w, h);
    if (!view.follow) return;
    // Once the clock has moved by a pixel column, the picture moves with it.
    const std::int64_t column = std::max<std::int64_t>(1, view.span / std::max(1, view.width - 20));
    if (utc_seconds() - view.drawn_at >= column) redraw();
}
