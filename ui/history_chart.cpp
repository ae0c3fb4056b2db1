// The history window's picture and figures. The hard part is cost: a month of
// 10 s samples must draw as fast as an hour, so one pass folds the entries into
// per-column aggregates (min, max, mean, whether the line breaks before the
// column) and everything drawn afterwards is counted in columns, not samples.
// Honesty comes second only in name: a line never bridges a gap or a lost
// connection, unknown values draw nothing, and a band keeps short dips visible.
#include "ui/history_chart.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t WHITE = 0xffffff, GRID = 0xe6e6e6, GRID_MIDNIGHT = 0xc8c8c8, TEXT = 0x333333,
                        CURSOR = 0x555555;

struct SeriesLook {
    std::uint32_t line, band;
};
enum Series { S_DN, S_UP, S_SNRM, S_COUNT };
constexpr SeriesLook SERIES[S_COUNT] = {{0x1f77b4, 0xc6dbef}, {0x2ca02c, 0xc7e9c0}, {0x8e44ad, 0xe1d5ee}};

// Indexed by HistoryState; rank: the worst state wins a shared column.
constexpr std::uint32_t STATE_COLOUR[] = {0, 0x66bb6a, 0xe53935, 0xfb8c00, 0x9e9e9e, 0xffe082};
constexpr int STATE_RANK[] = {0, 1, 4, 3, 5, 2};

struct Mark {
    HistoryKind kind;
    std::uint32_t colour;
};
constexpr Mark MARKS[] = {{HK_DROPPED, 0xd32f2f},
                          {HK_RESYNC_SENT, 0xef6c00},
                          {HK_REBOOT_SENT, 0x7b1fa2},
                          {HK_WARNING_RAISED, 0xb59a00}};

constexpr int LEFT = 58, RIGHT = 10, TOP = 8, PANE_GAP = 8, LANE_H = 12, AXIS_H = 16, KEY_H = 16;

struct Layout {
    int plot_w;
    int rates_y, rates_h, snrm_y, snrm_h, lane_y;
};

Layout layout(int width, int height) {
    Layout l{};
    l.plot_w = std::max(1, width - LEFT - RIGHT);
    const int panes = std::max(20, height - TOP - PANE_GAP - 4 - LANE_H - AXIS_H - KEY_H);
    l.rates_y = TOP;
    l.rates_h = panes * 64 / 100;
    l.snrm_y = l.rates_y + l.rates_h + PANE_GAP;
    l.snrm_h = panes - l.rates_h;
    l.lane_y = l.snrm_y + l.snrm_h + 4;
    return l;
}

// Maps the span onto columns 0 .. plot_w-1.
struct Axis {
    std::int64_t from, span;
    int w;
    int col(std::int64_t t) const { return static_cast<int>((t - from) * w / span); }
    std::int64_t start(int c) const { return from + (static_cast<std::int64_t>(c) * span + w - 1) / w; }
};

std::size_t first_at(const HistoryData& d, std::int64_t t) {
    return std::lower_bound(d.entries.begin(), d.entries.end(), t,
                            [](const HistoryEntry& e, std::int64_t v) { return e.utc < v; }) -
           d.entries.begin();
}

bool known(const HistoryEntry& e, int s, double& v) {
    if (s == S_SNRM) {
        v = e.snrm_db;
        return !std::isnan(e.snrm_db);
    }
    const std::int32_t k = s == S_DN ? e.dn_kbps : e.up_kbps;
    v = k;
    return k >= 0;
}

// ---- Texts -----------------------------------------------------------------

std::string with_commas(long long v) {
    std::string digits = std::to_string(v < 0 ? -v : v), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return v < 0 ? "-" + out : out;
}

std::string padded(int v, std::size_t width = 2) {
    std::string t = std::to_string(v);
    return t.size() < width ? std::string(width - t.size(), '0') + t : t;
}

struct Civil {
    int year, month, day, weekday, hour, minute, second;  // weekday 0 = Sunday
};

// Calendar date of a local time in seconds (proleptic Gregorian, any era).
Civil civil(std::int64_t local) {
    std::int64_t days = local >= 0 ? local / 86400 : -((-local + 86399) / 86400);
    const std::int64_t sec = local - days * 86400;
    Civil c{};
    c.weekday = static_cast<int>(((days + 4) % 7 + 7) % 7);
    c.hour = static_cast<int>(sec / 3600), c.minute = static_cast<int>(sec / 60 % 60);
    c.second = static_cast<int>(sec % 60);
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2));
    return c;
}

constexpr const char* WEEKDAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

int offset(const HistoryChartArgs& a, std::int64_t utc) { return a.offset_at ? a.offset_at(utc) : 0; }

// ---- Scales ----------------------------------------------------------------

struct Scale {
    double lo, hi, step;
    int decimals;
    int y(double v, int top, int h) const {
        return top + h - 1 - static_cast<int>(std::lround((v - lo) * (h - 1) / (hi - lo)));
    }
};

// 1-2-5 steps, at most max_steps of them, from at or below lo to above hi.
Scale nice_scale(double lo, double hi, int max_steps, int min_exp) {
    if (!(hi > lo)) hi = lo + 1;
    for (int e = min_exp; e < 15; ++e) {
        for (const double m : {1.0, 2.0, 5.0}) {
            const double step = m * std::pow(10.0, e);
            const double a = std::floor(lo / step + 1e-9) * step,
                         b = (std::floor(hi / step + 1e-9) + 1) * step;
            if ((b - a) / step <= max_steps + 1e-9) return {a, b, step, std::max(0, -e)};
        }
    }
    return {lo, hi, hi - lo, 0};
}

void draw_scale(DrawList& out, const Scale& s, int top, int h, int plot_w, bool commas, int font) {
    for (double v = s.lo; v <= s.hi + s.step / 2; v += s.step) {
        const int y = s.y(v, top, h);
        out.rect(LEFT, y, plot_w, 1, GRID);
        const std::string label = history_fixed(std::fabs(v) < s.step / 2 ? 0.0 : v, s.decimals);
        out.text(0, y - 7, LEFT - 6, 14, commas ? with_commas(std::llround(v)) : label, TEXT, font,
                 DRAW_ALIGN_RIGHT);
    }
}

// Legend entries from the right edge leftwards: the word, then a swatch of the line.
void legend(DrawList& out, int right, int y, std::initializer_list<std::pair<const char*, int>> items,
            int font) {
    for (const auto& [word, series] : items) {
        const int w = static_cast<int>(std::string_view(word).size()) * 7;
        out.rect(right - 14, y + 6, 14, 2, SERIES[series].line);
        out.text(right - 18 - w, y, w, 14, word, TEXT, font, DRAW_ALIGN_RIGHT);
        right -= 18 + w + 10;
    }
}

// What the lane's colours and the marks on it mean, in a row under the time axis.
void state_key(DrawList& out, int y, int font) {
    using Key = std::pair<const char*, std::uint32_t>;
    static constexpr Key states[] = {{"connected", STATE_COLOUR[HS_CONNECTED]},
                                     {"not connected", STATE_COLOUR[HS_NOT_CONNECTED]},
                                     {"server busy", STATE_COLOUR[HS_BUSY]},
                                     {"program not running", STATE_COLOUR[HS_NOT_RUNNING]},
                                     {"no sample", STATE_COLOUR[HS_NO_SAMPLE]}};
    static constexpr Key marks[] = {{"drop", MARKS[0].colour},
                                    {"resync sent", MARKS[1].colour},
                                    {"reboot sent", MARKS[2].colour},
                                    {"warning", MARKS[3].colour}};
    int x = LEFT;
    for (const auto& keys : {std::span<const Key>(states), std::span<const Key>(marks)}) {
        for (const auto& [word, colour] : keys) {
            out.rect(x, y + 3, 9, 9, colour);
            const int w = static_cast<int>(std::string_view(word).size()) * 6;
            out.text(x + 12, y, w, 14, word, TEXT, font, DRAW_ALIGN_LEFT);
            x += 12 + w + 10;
        }
        x += 12;  // the marks apart from the states
    }
}

// ---- Time axis -------------------------------------------------------------

// The moment a local time happens, or -1 when the clock skipped it.
std::int64_t utc_of_local(const HistoryChartArgs& a, std::int64_t local, int guess) {
    std::int64_t u = local - offset(a, local - guess);
    if (u + offset(a, u) != local) u = local - offset(a, u);
    return u + offset(a, u) == local ? u : -1;
}

void draw_time_axis(DrawList& out, const HistoryChartArgs& a, const Axis& ax, const Layout& l) {
    const std::int64_t span = ax.span;
    const bool days = span > 36 * 3600;
    const std::int64_t step = span <= 8 * 3600 ? 3600 : span <= 36 * 3600 ? 3 * 3600 : 86400;
    const int every5 = span > 10 * 86400;
    const int labels_h = l.lane_y + LANE_H + 2;
    // Labels need about 50 px each; grid lines are kept at every step.
    const std::int64_t ticks = span / (step * (every5 ? 5 : 1)) + 1;
    const int label_every = std::max<std::int64_t>(1, (ticks * 50 + l.plot_w - 1) / l.plot_w);
    int guess = offset(a, ax.from), n = 0;
    const std::int64_t first_local = ax.from + guess;
    std::int64_t local = (first_local / step + (first_local % step > 0)) * step;
    for (; local < first_local + span + 2 * 3600; local += step) {
        const Civil c = civil(local);
        if (every5 && (c.day % 5 != 1 || c.day == 31)) continue;
        const std::int64_t u = utc_of_local(a, local, guess);
        if (u < ax.from || u >= ax.from + span) continue;
        guess = offset(a, u);
        const int x = LEFT + ax.col(u);
        const bool midnight = !days && c.hour == 0;
        out.rect(x, l.rates_y, 1, l.rates_h, midnight ? GRID_MIDNIGHT : GRID);
        out.rect(x, l.snrm_y, 1, l.snrm_h, midnight ? GRID_MIDNIGHT : GRID);
        if (n++ % label_every) continue;
        const std::string buf = !days     ? padded(c.hour) + ":" + padded(c.minute)
                                : !every5 ? std::string(WEEKDAYS[c.weekday]) + " " + padded(c.day)
                                          : padded(c.month) + "-" + padded(c.day);
        out.text(x - 30, labels_h, 60, AXIS_H - 2, buf, TEXT, a.font, DRAW_ALIGN_CENTRE);
    }
}

// ---- Series ----------------------------------------------------------------

struct Column {
    double mn, mx, sum;
    int n;
    bool brk;  // a gap or a lost connection lies between this column and the previous data
};

// Folds the samples of [from, min(to, now)] into columns, in one pass.
void fold(const HistoryData& d, const HistoryChartArgs& a, const Axis& ax, std::vector<Column>* cols,
          std::vector<std::uint8_t>& marks) {
    const std::int64_t end = std::min(a.to_utc, a.now_utc + 1), gap = 2LL * a.sample_seconds;
    std::int64_t last[S_COUNT] = {};
    bool pending[S_COUNT] = {true, true, true};
    for (std::size_t i = first_at(d, a.from_utc); i < d.entries.size() && d.entries[i].utc < end; ++i) {
        const HistoryEntry& e = d.entries[i];
        const int c = ax.col(e.utc);
        if (e.kind != HK_SAMPLE) {
            if (history_ends_connection(e.kind)) std::fill(pending, pending + S_COUNT, true);
            for (std::size_t k = 0; k < std::size(MARKS); ++k)
                if (e.kind == MARKS[k].kind) marks[c] |= 1 << k;
            continue;
        }
        for (int s = 0; s < S_COUNT; ++s) {
            double v;
            if (!known(e, s, v)) {
                pending[s] = true;
                continue;
            }
            Column& col = cols[s][c];
            if (col.n == 0) {
                col = {v, v, 0, 0, pending[s] || e.utc - last[s] > gap};
            }
            col.mn = std::min(col.mn, v), col.mx = std::max(col.mx, v), col.sum += v, ++col.n;
            pending[s] = false;
            last[s] = e.utc;
        }
    }
}

void draw_series(DrawList& out, const std::vector<Column>& cols, const Scale& sc, int top, int h,
                 const SeriesLook& look, bool band) {
    if (band) {
        for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
            if (cols[c].n < 2) continue;
            const int y0 = sc.y(cols[c].mx, top, h), y1 = sc.y(cols[c].mn, top, h);
            if (y1 <= y0) continue;
            DrawOp* prev = out.ops.empty() ? nullptr : &out.ops.back();
            if (prev && prev->kind == DRAW_RECT && prev->colour == look.band && prev->y == y0 &&
                prev->h == y1 - y0 + 1 && prev->x + prev->w == LEFT + c)
                ++prev->w;
            else
                out.rect(LEFT + c, y0, 1, y1 - y0 + 1, look.band);
        }
        return;
    }
    std::size_t start = out.points.size();
    auto flush = [&] {
        if (out.points.size() == start + 1)
            out.points.push_back({out.points.back().x + 1, out.points.back().y});
        if (out.points.size() > start) out.polyline_from(start, look.line, 1);
        start = out.points.size();
    };
    for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
        if (cols[c].n == 0) continue;
        if (cols[c].brk) flush();
        out.points.push_back({LEFT + c, sc.y(cols[c].sum / cols[c].n, top, h)});
    }
    flush();
}

// ---- States ----------------------------------------------------------------

bool sets_state(HistoryKind k) {
    return k == HK_SAMPLE || k == HK_PROGRAM_STARTED || k == HK_PROGRAM_ENDED || k == HK_CONNECTED ||
           k == HK_CONNECT_FAILED || k == HK_DROPPED;
}

std::string words(const HistoryData& d, const HistoryEntry& e) {
    std::string w = HISTORY_KIND_NAMES[e.kind < HK_COUNT ? e.kind : 0];
    std::replace(w.begin(), w.end(), '_', ' ');
    if (!d.detail(e).empty()) w += " (" + std::string(d.detail(e)) + ")";
    return w;
}

}  // namespace

std::vector<HistoryStateRun> history_states(const HistoryData& data, std::int64_t from_utc,
                                            std::int64_t to_utc, int sample_seconds, std::int64_t now_utc) {
    std::vector<HistoryStateRun> runs{{from_utc, HS_UNKNOWN}};
    const std::int64_t end = std::min(to_utc, now_utc), gap = 2LL * sample_seconds;
    auto emit = [&](std::int64_t t, HistoryState s) {
        if (t <= from_utc) {
            runs[0].state = s;
        } else if (t < end && runs.back().state != s) {
            if (runs.back().from == t) runs.pop_back();
            if (runs.empty() || runs.back().state != s) runs.push_back({t, s});
        }
    };
    // Start at the last entry that sets the state before the span.
    const auto& es = data.entries;
    std::size_t i = first_at(data, from_utc);
    while (i > 0 && !sets_state(es[i - 1].kind)) --i;
    if (i > 0) --i;
    HistoryState cur = HS_UNKNOWN;
    std::int64_t last_sample = 0;
    const HistoryEntry* prev = i > 0 ? &es[i - 1] : nullptr;
    bool done = false;
    for (; i < es.size() && !done; prev = &es[i++]) {
        const HistoryEntry& e = es[i];
        if (cur == HS_CONNECTED && e.utc > last_sample + gap) emit(last_sample + gap, cur = HS_NO_SAMPLE);
        // Records that stop without the program's end, then a new start: a crash, time unknown.
        if (e.kind == HK_PROGRAM_STARTED && prev && prev->kind != HK_PROGRAM_ENDED && e.utc > prev->utc + gap)
            emit(prev->utc + gap, cur = HS_UNKNOWN);
        if (e.utc >= end) {
            done = true;
            break;
        }
        switch (e.kind) {
            case HK_SAMPLE:
            case HK_CONNECTED:
                last_sample = e.utc;
                cur = HS_CONNECTED;
                break;
            case HK_PROGRAM_STARTED:
            case HK_DROPPED:
                cur = HS_NOT_CONNECTED;
                break;
            case HK_CONNECT_FAILED:
                cur = data.detail(e) == "busy" ? HS_BUSY : HS_NOT_CONNECTED;
                break;
            case HK_PROGRAM_ENDED:
                cur = HS_NOT_RUNNING;
                break;
            default:
                continue;
        }
        emit(e.utc, cur);
    }
    if (!done && cur == HS_CONNECTED && end > last_sample + gap) emit(last_sample + gap, HS_NO_SAMPLE);
    if (end <= from_utc)
        runs.resize(1), runs[0].state = HS_UNKNOWN;
    else if (end < to_utc && runs.back().state != HS_UNKNOWN)
        runs.push_back({end, HS_UNKNOWN});
    return runs;
}

void history_draw(const HistoryData& data, const HistoryChartArgs& a, DrawList& out) {
    out.clear();
    if (a.width <= 0 || a.height <= 0 || a.to_utc <= a.from_utc) return;
    const Layout l = layout(a.width, a.height);
    const Axis ax{a.from_utc, a.to_utc - a.from_utc, l.plot_w};
    out.rect(0, 0, a.width, a.height, WHITE);

    std::vector<Column> cols[S_COUNT];
    for (auto& c : cols) c.assign(l.plot_w, Column{0, 0, 0, 0, false});
    std::vector<std::uint8_t> marks(l.plot_w, 0);
    fold(data, a, ax, cols, marks);

    // Scales from what is shown; a default one without data.
    double lo[S_COUNT], hi[S_COUNT];
    for (int s = 0; s < S_COUNT; ++s) {
        lo[s] = HUGE_VAL, hi[s] = -HUGE_VAL;
        for (const Column& c : cols[s])
            if (c.n) lo[s] = std::min(lo[s], c.mn), hi[s] = std::max(hi[s], c.mx);
    }
    const double rates_hi = std::max(hi[S_DN], hi[S_UP]);
    const Scale rates = nice_scale(0, rates_hi > 0 ? rates_hi : 1000, std::clamp(l.rates_h / 24, 2, 6), 0);
    const Scale snrm = hi[S_SNRM] >= lo[S_SNRM]
                           ? nice_scale(std::min(0.0, lo[S_SNRM]), std::max(0.0, hi[S_SNRM]),
                                        std::clamp(l.snrm_h / 24, 2, 6), -1)
                           : nice_scale(0, 10, std::clamp(l.snrm_h / 24, 2, 6), -1);

    draw_scale(out, rates, l.rates_y, l.rates_h, l.plot_w, true, a.font);
    draw_scale(out, snrm, l.snrm_y, l.snrm_h, l.plot_w, false, a.font);
    draw_time_axis(out, a, ax, l);
    out.text(LEFT + 4, l.rates_y + 2, 60, 14, "kbit/s", TEXT, a.font, DRAW_ALIGN_LEFT);
    out.text(LEFT + 4, l.snrm_y + 2, 60, 14, "dB", TEXT, a.font, DRAW_ALIGN_LEFT);

    const struct {
        int s;
        const Scale& sc;
        int top, h;
    } panes[] = {{S_DN, rates, l.rates_y, l.rates_h},
                 {S_UP, rates, l.rates_y, l.rates_h},
                 {S_SNRM, snrm, l.snrm_y, l.snrm_h}};
    for (const bool band : {true, false})
        for (const auto& p : panes) draw_series(out, cols[p.s], p.sc, p.top, p.h, SERIES[p.s], band);

    // The state lane: the worst state over each column, equal neighbours merged.
    const auto runs = history_states(data, a.from_utc, a.to_utc, a.sample_seconds, a.now_utc);
    std::vector<std::uint8_t> worst(l.plot_w, HS_UNKNOWN);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const std::int64_t b = r + 1 < runs.size() ? runs[r + 1].from : a.to_utc;
        if (runs[r].state == HS_UNKNOWN || b <= runs[r].from) continue;
        for (int c = ax.col(runs[r].from), c1 = ax.col(b - 1); c <= c1; ++c)
            if (STATE_RANK[runs[r].state] > STATE_RANK[worst[c]]) worst[c] = runs[r].state;
    }
    for (int c = 0, c1; c < l.plot_w; c = c1) {
        for (c1 = c + 1; c1 < l.plot_w && worst[c1] == worst[c];) ++c1;
        if (worst[c] != HS_UNKNOWN) out.rect(LEFT + c, l.lane_y, c1 - c, LANE_H, STATE_COLOUR[worst[c]]);
    }
    for (int c = 0; c < l.plot_w; ++c)
        for (std::size_t k = 0; k < std::size(MARKS); ++k)
            if (marks[c] & (1 << k)) out.rect(LEFT + c - 1, l.lane_y - 3, 3, 6, MARKS[k].colour);

    state_key(out, l.lane_y + LANE_H + 2 + AXIS_H, a.font);
    legend(out, LEFT + l.plot_w - 4, l.rates_y + 2, {{"up", S_UP}, {"down", S_DN}}, a.font);
    legend(out, LEFT + l.plot_w - 4, l.snrm_y + 2, {{"SNR margin", S_SNRM}}, a.font);
    if (a.pointer_x >= LEFT && a.pointer_x < LEFT + l.plot_w)
        out.rect(a.pointer_x, l.rates_y, 1, l.snrm_y + l.snrm_h - l.rates_y, CURSOR);
}

HistoryFigures history_figures(const HistoryData& data, std::int64_t from_utc, std::int64_t to_utc,
                               int sample_seconds, std::int64_t now_utc, const HistoryThresholds& t) {
    HistoryFigures f;
    const std::int64_t end = std::min(to_utc, now_utc), gap = 2LL * sample_seconds;
    if (end <= from_utc) return f;
    f.span_s = end - from_utc;
    if (t.bitdn_on) f.below_dn_s = 0;
    if (t.bitup_on) f.below_up_s = 0;
    if (t.snrdn_on) f.below_snrm_s = 0;
    const auto& es = data.entries;
    const std::size_t first = first_at(data, from_utc);
    // A sample just before the span still covers its start.
    std::size_t i = first;
    while (i > 0 && es[i - 1].kind != HK_SAMPLE && !history_ends_connection(es[i - 1].kind)) --i;
    i = i > 0 && es[i - 1].kind == HK_SAMPLE ? i - 1 : first;
    int dn_n = 0, up_n = 0;
    const HistoryEntry* open = nullptr;  // the sample whose cover runs
    auto close = [&](std::int64_t until) {
        if (!open) return;
        const std::int64_t a = std::max(open->utc, from_utc), b = std::min({until, open->utc + gap, end});
        if (b > a) {
            f.covered_s += b - a;
            if (t.bitdn_on && open->dn_kbps >= 0 && open->dn_kbps < t.bitdn_kbps) f.below_dn_s += b - a;
            if (t.bitup_on && open->up_kbps >= 0 && open->up_kbps < t.bitup_kbps) f.below_up_s += b - a;
            if (t.snrdn_on && !std::isnan(open->snrm_db) && open->snrm_db < t.snrdn_db)
                f.below_snrm_s += b - a;
        }
        open = nullptr;
    };
    for (; i < es.size() && es[i].utc < end; ++i) {
        const HistoryEntry& e = es[i];
        if (e.kind == HK_SAMPLE || history_ends_connection(e.kind)) close(e.utc);
        if (e.kind == HK_SAMPLE) open = &e;
        if (e.utc < from_utc) continue;
        f.drops += e.kind == HK_DROPPED, f.resyncs += e.kind == HK_RESYNC_SENT,
            f.reboots += e.kind == HK_REBOOT_SENT;
        if (e.kind != HK_SAMPLE) continue;
        auto stat = [](double v, int& n, double& mn, double& mean, double& mx) {
            mn = n ? std::min(mn, v) : v, mx = n ? std::max(mx, v) : v;
            mean += (v - mean) / ++n;
        };
        ++f.samples;
        if (e.dn_kbps >= 0) stat(e.dn_kbps, dn_n, f.dn_min, f.dn_mean, f.dn_max);
        if (e.up_kbps >= 0) stat(e.up_kbps, up_n, f.up_min, f.up_mean, f.up_max);
        if (!std::isnan(e.snrm_db)) stat(e.snrm_db, f.snrm_samples, f.snrm_min, f.snrm_mean, f.snrm_max);
    }
    close(end);
    const auto runs = history_states(data, from_utc, to_utc, sample_seconds, now_utc);
    for (std::size_t r = 0; r < runs.size(); ++r)
        if (runs[r].state == HS_CONNECTED || runs[r].state == HS_NO_SAMPLE)
            f.connected_s += (r + 1 < runs.size() ? runs[r + 1].from : to_utc) - runs[r].from;
    return f;
}

std::string history_readout(const HistoryData& data, const HistoryChartArgs& a) {
    if (a.to_utc <= a.from_utc || a.width <= 0) return "";
    const Layout l = layout(a.width, a.height);
    const Axis ax{a.from_utc, a.to_utc - a.from_utc, l.plot_w};
    const int c = a.pointer_x - LEFT, reach = 4;
    if (c < 0 || c >= l.plot_w) return "";
    // An event under the pointer (its mark is 3 px wide) wins; otherwise the nearest entry.
    const std::int64_t centre = (ax.start(c) + ax.start(c + 1)) / 2;
    const HistoryEntry *best = nullptr, *event = nullptr;
    for (std::size_t i = first_at(data, ax.start(std::max(0, c - reach)));
         i < data.entries.size() && data.entries[i].utc <= a.now_utc && data.entries[i].utc < a.to_utc; ++i) {
        const HistoryEntry& e = data.entries[i];
        const int dc = ax.col(e.utc) - c;
        if (dc > reach) break;
        if (e.kind != HK_SAMPLE && std::abs(dc) <= 1 &&
            (!event || std::abs(e.utc - centre) < std::abs(event->utc - centre)))
            event = &e;
        if (!best || std::abs(e.utc - centre) < std::abs(best->utc - centre)) best = &e;
    }
    if (event) best = event;
    if (!best) return "";
    const Civil t = civil(best->utc + offset(a, best->utc));
    std::string s = std::string(WEEKDAYS[t.weekday]) + " " + padded(t.year, 4) + "-" + padded(t.month) + "-" +
                    padded(t.day) + " " + padded(t.hour) + ":" + padded(t.minute) + ":" + padded(t.second) +
                    "   ";
    if (best->kind != HK_SAMPLE) return s + words(data, *best);
    auto rate = [](std::int32_t v) { return v >= 0 ? with_commas(v) : std::string("-"); };
    s += "down " + rate(best->dn_kbps) + "  up " + rate(best->up_kbps) + " kbit/s   margin ";
    if (std::isnan(best->snrm_db)) return s + "- dB";
    return s + history_fixed(best->snrm_db, 1) + " dB" + (best->warning == 1 ? "   warning" : "");
}

std::string history_fixed(double v, int decimals) {
    long long scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const long long n = std::llround(v * static_cast<double>(scale));
    const long long whole = (n < 0 ? -n : n) / scale, part = (n < 0 ? -n : n) % scale;
    std::string t = (n < 0 ? "-" : "") + std::to_string(whole);
    if (decimals > 0) {
        const std::string digits = std::to_string(part);
        t += "." + std::string(static_cast<std::size_t>(decimals) - digits.size(), '0') + digits;
    }
    return t;
}
