// The history chart read from its drawing list: where lines break, what a band
// spans, the state lane's runs, the labels across a clock change, the cost
// bound, and the figures.
#include "ui/history_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

constexpr std::int64_t DAY0 = 1796688000;  // 2026-12-08 00:00 UTC, a Tuesday

struct Rec {
    std::int64_t t;
    HistoryKind kind = HK_SAMPLE;
    int dn = 8000;
    float snrm = NAN;
    const char* detail = "";
    int up = -1;
};

HistoryData make(const std::vector<Rec>& recs) {
    HistoryData d;
    for (const Rec& r : recs) {
        HistoryEntry e;
        e.utc = DAY0 + r.t, e.kind = r.kind, e.snrm_db = r.snrm;
        if (r.kind == HK_SAMPLE) e.dn_kbps = r.dn, e.up_kbps = r.up;
        if (*r.detail) e.detail = static_cast<std::uint32_t>(d.details.size()), d.details.push_back(r.detail);
        d.entries.push_back(e);
    }
    return d;
}

int plus_hour(long long) { return 3600; }

HistoryChartArgs args(std::int64_t span, int period = 60, int width = 860) {
    HistoryChartArgs a;
    a.from_utc = DAY0, a.to_utc = DAY0 + span, a.now_utc = DAY0 + span;
    a.width = width, a.height = 470, a.sample_seconds = period, a.offset_at = plus_hour;
    return a;
}

std::vector<DrawOp> of(const DrawList& l, DrawKind k) {
    std::vector<DrawOp> r;
    for (const DrawOp& op : l.ops)
        if (op.kind == k) r.push_back(op);
    return r;
}

// Samples of the down rate only (up unknown, margin NaN), so every polyline is its line.
TEST(HistoryChart, LinesBreakAtGapsAndLostConnections) {
    const struct {
        const char* what;
        std::vector<Rec> recs;
        std::vector<int> points;  // per polyline
    } rows[] = {
        {"steady", {{0}, {60}, {120}}, {3}},
        {"gap under twice the period", {{0}, {60}, {179}}, {3}},
        {"gap over twice the period", {{0}, {60}, {181}}, {2, 2}},  // a lone sample shows as a dash
        {"drop", {{0}, {60}, {70, HK_DROPPED}, {100, HK_CONNECTED}, {110}, {170}}, {2, 2}},
        {"a command keeps the line", {{0}, {30, HK_RESYNC_SENT}, {60}, {120}}, {3}},
        {"unknown value", {{0}, {60}, {120, HK_SAMPLE, -1}, {180}, {240}}, {2, 2}},
    };
    for (const auto& row : rows) {
        DrawList l;
        history_draw(make(row.recs), args(6 * 3600), l);
        std::vector<int> points;
        for (const DrawOp& op : of(l, DRAW_POLYLINE)) points.push_back(op.count);
        EXPECT_EQ(points, row.points) << row.what;
    }
}

// Entries after now, higher than any before, change neither lines, scale, lane nor marks.
TEST(HistoryChart, FutureEntriesDrawNothing) {
    std::vector<Rec> all;
    for (int t = 0; t < 86400; t += 60) {
        all.push_back({t, HK_SAMPLE, t > 43200 ? 30000 : 5000 + t % 700, 6});
        if (t == 50040) all.push_back({50050, HK_DROPPED});
    }
    const std::vector<Rec> past(all.begin(), all.begin() + 43200 / 60 + 1);
    HistoryChartArgs a = args(86400);
    a.now_utc = DAY0 + 43200;
    DrawList with, without;
    history_draw(make(all), a, with);
    history_draw(make(past), a, without);
    EXPECT_EQ(std::make_tuple(with.texts, with.ops.size(), with.points.size()),
              std::make_tuple(without.texts, without.ops.size(), without.points.size()));
}

// A month at 10 s: the down rate 2000 kbit/s for a day, then 16000 but for a
// drop and 30 s at 2000 after it; up and margin noisy, so every column has a band.
TEST(HistoryChart, ShortDropShowsInAMonthWithinABoundedList) {
    const std::int64_t drop = 20 * 86400 + 1234;
    std::vector<Rec> recs{{0, HK_CONNECTED}};
    for (std::int64_t t = 0; t < 30 * 86400; t += 10) {
        if (t == drop) recs.push_back({t - 5, HK_DROPPED, 0, NAN, "probe"});
        if (t == drop + 20) recs.push_back({t + 5, HK_CONNECTED});
        if (t < drop || t >= drop + 30)
            recs.push_back({t, HK_SAMPLE, t < 86400 || (t >= drop && t < drop + 60) ? 2000 : 16000,
                            6 + t % 7 * 0.1f, "", 1000 + static_cast<int>(t * 797 % 200)});
    }
    const HistoryData d = make(recs);
    for (const int width : {860, 2500}) {
        DrawList l;
        history_draw(d, args(30 * 86400, 10, width), l);
        EXPECT_LE(l.ops.size() + l.points.size(), 8u * width);
    }
    DrawList l;
    history_draw(d, args(30 * 86400, 10), l);
    const auto lines = of(l, DRAW_POLYLINE);
    const DrawOp last_down = *std::find_if(lines.rbegin(), lines.rend(),
                                           [&](const DrawOp& op) { return op.colour == lines[0].colour; });
    const DrawPoint low = l.points[0], high = l.points[last_down.first + last_down.count - 1];
    ASSERT_LT(high.y, low.y);
    std::vector<int> bands;
    for (const DrawOp& op : of(l, DRAW_RECT))
        if (op.y == high.y && op.y + op.h - 1 == low.y && op.w == 1) bands.push_back(op.x);
    ASSERT_FALSE(bands.empty());
    // The lane: a one-pixel rectangle at the drop's column, between two of another colour.
    int lane = 0;
    for (const DrawOp& a : of(l, DRAW_RECT))
        for (const DrawOp& b : of(l, DRAW_RECT))
            lane += a.x + a.w == bands.back() && b.x == bands.back() && b.w == 1 && a.y == b.y &&
                    a.h == b.h && a.colour != b.colour;
    EXPECT_EQ(lane, 1);
}

TEST(HistoryChart, StateRuns) {
    const struct {
        const char* what;
        std::vector<Rec> recs;
        std::int64_t now;
        std::vector<std::pair<std::int64_t, HistoryState>> runs;
    } rows[] = {
        {"typical day",
         {{100, HK_PROGRAM_STARTED},
          {200, HK_CONNECT_FAILED, 0, NAN, "busy"},
          {300, HK_CONNECT_FAILED, 0, NAN, "refused"},
          {400, HK_CONNECTED},
          {460},
          {520},
          {900},
          {950, HK_DROPPED},
          {1000, HK_PROGRAM_ENDED},
          {2000, HK_PROGRAM_STARTED}},
         3000,
         {{0, HS_UNKNOWN},
          {100, HS_NOT_CONNECTED},
          {200, HS_BUSY},
          {300, HS_NOT_CONNECTED},
          {400, HS_CONNECTED},
          {640, HS_NO_SAMPLE},
          {900, HS_CONNECTED},
          {950, HS_NOT_CONNECTED},
          {1000, HS_NOT_RUNNING},
          {2000, HS_NOT_CONNECTED},
          {3000, HS_UNKNOWN}}},
        {"crash, then a start",
         {{-500, HK_CONNECTED},
          {-60},
          {0},
          {60},
          {90, HK_REFRESH_SENT},
          {2000, HK_PROGRAM_STARTED},
          {2100, HK_CONNECTED}},
         2150,
         {{0, HS_CONNECTED},
          {180, HS_NO_SAMPLE},
          {210, HS_UNKNOWN},
          {2000, HS_NOT_CONNECTED},
          {2100, HS_CONNECTED},
          {2150, HS_UNKNOWN}}},
        {"connected, silent, now",
         {{-10}, {100, HK_CONNECTED}},
         1000,
         {{0, HS_CONNECTED}, {220, HS_NO_SAMPLE}, {1000, HS_UNKNOWN}}},
    };
    for (const auto& row : rows) {
        std::vector<std::pair<std::int64_t, HistoryState>> runs;
        for (const HistoryStateRun& r : history_states(make(row.recs), DAY0, DAY0 + 3600, 60, DAY0 + row.now))
            runs.push_back({r.from - DAY0, r.state});
        EXPECT_EQ(runs, row.runs) << row.what;
    }
}

// Europe's spring change: 01:00 UTC is 02:00 at +1 h and 03:00 at +2 h.
int spring(long long utc) { return utc < 1774746000 ? 3600 : 7200; }

TEST(HistoryChart, HourLabelsAcrossAClockChange) {
    HistoryChartArgs a = args(86400);
    a.from_utc = 1774738800, a.to_utc = a.now_utc = a.from_utc + 86400, a.offset_at = spring;
    DrawList l;
    history_draw(HistoryData{}, a, l);
    std::vector<std::string> hours;
    std::vector<int> xs;
    for (const DrawOp& op : of(l, DRAW_TEXT))
        if (l.texts[op.first].size() == 5 && l.texts[op.first][2] == ':')
            hours.push_back(l.texts[op.first]), xs.push_back(op.x);
    EXPECT_EQ(hours, (std::vector<std::string>{"00:00", "03:00", "06:00", "09:00", "12:00", "15:00", "18:00",
                                               "21:00", "00:00"}));
    ASSERT_EQ(xs.size(), 9u);
    EXPECT_NEAR((xs[1] - xs[0]) * 3.0, (xs[2] - xs[1]) * 2.0, 3);  // 2 h, then 3 h
}

TEST(HistoryChart, ReadOut) {
    const HistoryData d = make(
        {{3910, HK_SAMPLE, 18432, 6.1f}, {3970, HK_SAMPLE, 18000, 6}, {4000, HK_DROPPED, 0, NAN, "probe"}});
    HistoryChartArgs a = args(6 * 3600);
    DrawList l;
    history_draw(d, a, l);
    ASSERT_EQ(l.points.size(), 4u);  // down, then margin
    const struct {
        int x;
        const char* text;
    } rows[] = {
        {l.points[0].x, "Tue 2026-12-08 02:05:10   down 18,432  up - kbit/s   margin 6.1 dB"},
        {l.points[1].x + 1, "Tue 2026-12-08 02:06:40   dropped (probe)"},
        {l.points[0].x - 20, ""},
        {-1, ""},
    };
    for (const auto& row : rows) {
        a.pointer_x = row.x;
        EXPECT_EQ(history_readout(d, a), row.text) << row.x;
    }
}

TEST(HistoryChart, Figures) {
    const HistoryData d = make({{0, HK_CONNECTED},
                                {0, HK_SAMPLE, 8000, 6},
                                {60, HK_SAMPLE, 2000, 2},
                                {100, HK_DROPPED},
                                {200, HK_RESYNC_SENT},
                                {300, HK_CONNECTED},
                                {300},
                                {500},
                                {1500, HK_DROPPED}});
    HistoryThresholds t;
    t.bitdn_on = 1, t.bitdn_kbps = 3000, t.snrdn_on = 1, t.snrdn_db = 3;
    // span, covered, connected, drops, resyncs, samples, mean down, below down, below margin, margins
    const struct {
        std::int64_t from, now;
        std::vector<std::int64_t> figures;
    } rows[] = {
        {0, 2000, {1000, 340, 800, 1, 1, 4, 6500, 40, 40, 2}},
        {0, 550, {550, 270, 350, 1, 1, 4, 6500, 40, 40, 2}},
        {0, 200, {200, 100, 100, 1, 0, 2, 5000, 40, 40, 2}},
        {30, 2000, {970, 310, 770, 1, 1, 3, 6000, 40, 40, 1}},  // the sample before still covers
    };
    for (const auto& r : rows) {
        const HistoryFigures f = history_figures(d, DAY0 + r.from, DAY0 + 1000, 60, DAY0 + r.now, t);
        EXPECT_EQ(f.below_up_s, -1);
        EXPECT_EQ(std::vector<std::int64_t>({f.span_s, f.covered_s, f.connected_s, f.drops, f.resyncs,
                                             f.samples, std::llround(f.dn_mean), f.below_dn_s, f.below_snrm_s,
                                             f.snrm_samples}),
                  r.figures)
            << r.from << " " << r.now;
    }
}

}  // namespace
