// The exported report on a real disk: hostile texts, what the HTML may not
// hold, the picture against the screen's list, the CSV read back, the names.
#include <cmath>

#include "monitor/history_store.h"
#include "tests/unit/fixture.h"
#include "ui/history_report.h"

namespace {

using HistoryReportTest = ProgramTest;

constexpr std::int64_t T0 = 1796684400;  // 2026-12-08T00:00:00+01:00
int plus_hour(long long) { return 3600; }

HistoryEntry entry(std::int64_t utc, HistoryKind kind, int dn, float snrm, std::uint32_t detail = 0) {
    HistoryEntry e;
    e.utc = utc, e.kind = kind, e.dn_kbps = dn, e.up_kbps = dn < 0 ? -1 : dn / 16, e.snrm_db = snrm;
    e.warning = dn < 0 ? -1 : 0, e.detail = detail;
    return e;
}

// An hour before the span, two hours of it with a drop and a margin the server
// did not give as a number, and a sample after now.
HistoryData two_hours(const std::string& detail) {
    HistoryData d;
    d.details.push_back(detail);
    for (std::int64_t t = -3600; t < 7260; t += 60) {
        if (t == 1800) d.entries.push_back(entry(T0 + t, HK_DROPPED, -1, NAN, 1));
        if (t == 1860) d.entries.push_back(entry(T0 + t, HK_CONNECTED, -1, NAN));
        if (t < 1800 || t > 1860)
            d.entries.push_back(entry(T0 + t, HK_SAMPLE, 16000 + t % 7, t == 600 ? NAN : 6.5f));
    }
    return d;
}

HistoryReportArgs report_args(std::int64_t now) {
    HistoryReportArgs r;
    r.chart.from_utc = T0, r.chart.to_utc = T0 + 7200, r.chart.now_utc = now;
    r.chart.width = 700, r.chart.height = 400, r.chart.offset_at = plus_hour;
    r.thresholds.snrdn_on = 1, r.thresholds.snrdn_db = 7;
    r.line_name = "DSL", r.server = "192.168.1.1:5025";
    return r;
}

std::size_t count(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TEST_F(HistoryReportTest, TextsFromTheServerAndTheSettingsCannotAddMarkup) {
    const struct {
        std::string prefix, server, detail, seen;
    } rows[] = {
        {"<script>alert(1)</script> & \"x\"", "h:1", "probe",
         "&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;x&quot;"},
        {"DSL", "<img src=x onerror='y'>:80", "probe", "&lt;img src=x onerror=&#39;y&#39;&gt;:80"},
        {"DSL", "h:1", "<SCRIPT src=http://e/x></SCRIPT>", "&lt;SCRIPT src=http://e/x&gt;&lt;/SCRIPT&gt;"},
        {"K\xFC"
         "che \xC3\xBC",
         "h:1", "</td><style>*{background:url(x)}", "K&#252;che \xC3\xBC"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.seen);
        HistoryReportArgs args = report_args(T0 + 7200);
        args.line_name = r.prefix, args.server = r.server;
        std::string path, problem;
        ASSERT_EQ(history_export_report(two_hours(r.detail), args, path, problem), 1) << problem;
        const std::string html = read_file(path);
        EXPECT_NE(html.find(r.seen), std::string::npos);
        for (const std::string& raw : {r.prefix, r.server, r.detail})
            if (raw.find_first_of("<>\"'&") != std::string::npos) {
                EXPECT_EQ(html.find(raw), std::string::npos) << raw;
            }
        EXPECT_EQ(lower(html).find("<script"), std::string::npos);
    }
}

TEST_F(HistoryReportTest, ThePictureIsTheScreensListAndLoadsNothing) {
    const HistoryReportArgs args = report_args(T0 + 5000);  // the span's end not yet come
    const HistoryData data = two_hours("probe");
    std::string path, problem;
    ASSERT_EQ(history_export_report(data, args, path, problem), 1) << problem;
    const std::string html = read_file(path);
    for (const char* banned : {"<script", "src=", "href", "url(", "http", "@import", "<link", "<iframe"})
        EXPECT_EQ(lower(html).find(banned), std::string::npos) << banned;

    DrawList list;
    history_draw(data, args.chart, list);
    const std::size_t svg = html.find("<svg"), svg_end = html.rfind("</svg>");
    ASSERT_NE(svg, std::string::npos);
    const std::string picture = html.substr(svg, svg_end - svg);
    EXPECT_NE(picture.find("viewBox=\"0 0 700 400\""), std::string::npos);
    const std::pair<DrawKind, const char*> shapes[] = {
        {DRAW_RECT, "<rect "}, {DRAW_POLYLINE, "<polyline "}, {DRAW_TEXT, "<text "}};
    for (const auto& [kind, tag] : shapes) {
        const auto ops =
            std::count_if(list.ops.begin(), list.ops.end(), [&](const DrawOp& o) { return o.kind == kind; });
        EXPECT_GT(ops, 0) << tag;
        EXPECT_EQ(count(picture, tag), static_cast<std::size_t>(ops)) << tag;
        EXPECT_EQ(count(html, tag), static_cast<std::size_t>(ops)) << tag;
    }
    // The period ends at now, in local time.
    EXPECT_NE(html.find("2026-12-08 00:00 to 2026-12-08 01:23 (UTC+01:00)"), std::string::npos);
}

TEST_F(HistoryReportTest, TheCsvHoldsTheSpansEntriesAndTheDaysSplitAtLocalMidnight) {
    HistoryReportArgs args = report_args(T0 + 7000);
    args.chart.from_utc = T0 - 1800;  // 23:30 the day before
    const HistoryData data = two_hours("said \"bye\", twice");
    std::string path, problem;
    ASSERT_EQ(history_export_report(data, args, path, problem), 1) << problem;
    HistoryData back;
    const std::string csv = read_file(path.substr(0, path.size() - 4) + "csv");
    EXPECT_EQ(csv.rfind(std::string(HISTORY_HEADER) + "2026-12-07T23:30:00+01:00,sample,", 0),
              0u);  // local time
    history_parse(csv, back);
    std::vector<HistoryEntry> want;
    for (const HistoryEntry& e : data.entries)
        if (e.utc >= T0 - 1800 && e.utc <= T0 + 7000) want.push_back(e);
    ASSERT_EQ(back.entries.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const HistoryEntry &a = want[i], &b = back.entries[i];
        SCOPED_TRACE(a.utc);
        EXPECT_EQ(std::tuple(a.utc, a.kind, a.dn_kbps, a.up_kbps, a.warning, std::isnan(a.snrm_db)),
                  std::tuple(b.utc, b.kind, b.dn_kbps, b.up_kbps, b.warning, std::isnan(b.snrm_db)));
        if (!std::isnan(a.snrm_db)) {
            EXPECT_FLOAT_EQ(a.snrm_db, b.snrm_db);
        }
        EXPECT_EQ(data.detail(a), back.detail(b));
    }
    const std::string html = read_file(path);
    EXPECT_NE(html.find("<tr><td>2026-12-07</td><td>0</td><td>0 s</td>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td>2026-12-08</td><td>1</td><td>1 min</td>"), std::string::npos);
}

TEST_F(HistoryReportTest, NamedByTheLocalMinuteOfTheExport) {
    static int offset_s;
    const std::pair<int, const char*> rows[] = {
        {3600, "vyx_history/report-2026-12-09_0010.html"},
        {0, "vyx_history/report-2026-12-08_2310.html"},
        {-5 * 3600 - 1800, "vyx_history/report-2026-12-08_1740.html"}};
    for (const auto& [off, name] : rows) {
        offset_s = off;
        HistoryReportArgs args = report_args(T0 + 86400 + 625);  // 23:10:25 UTC
        args.chart.offset_at = [](long long) { return offset_s; };
        std::string path, problem;
        ASSERT_EQ(history_export_report(HistoryData{}, args, path, problem), 1) << problem;
        EXPECT_EQ(path, name);
        EXPECT_TRUE(std::filesystem::exists(path.substr(0, path.size() - 4) + "csv"));
    }
}

TEST_F(HistoryReportTest, AFileWhereTheFolderShouldBeIsReported) {
    write_settings("");  // any file
    std::filesystem::rename("vyxC_0.78_cfg.ini", "vyx_history");
    std::string path = "untouched", problem;
    EXPECT_EQ(history_export_report(two_hours(""), report_args(T0 + 7200), path, problem), 0);
    EXPECT_EQ(problem, "The report cannot be written: vyx_history/report-2026-12-08_0200.html.");
    EXPECT_EQ(path, "untouched");
}

}  // namespace
