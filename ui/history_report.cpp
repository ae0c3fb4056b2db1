// The span shown, written as evidence: an HTML report whose picture is the
// window's own drawing list rendered as SVG, and the span's entries as CSV in
// the history file's format.
//
// The hard parts: every text that came from the server or the settings is
// escaped (the report is opened in a browser), the file holds nothing it would
// load from elsewhere, and a month of 10 s samples stays small because the
// picture is drawn from pixel columns and the CSV is written in pieces.
#include "ui/history_report.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "monitor/history_store.h"
#include "platform/platform.h"
#include "ui/draw_svg.h"

namespace {

int offset(const HistoryChartArgs& a, std::int64_t utc) { return a.offset_at ? a.offset_at(utc) : 0; }

// "YYYY-MM-DD HH:MM" (or with ":SS") of a moment in local time.
std::string local_text(const HistoryChartArgs& a, std::int64_t utc, bool seconds) {
    std::string t = history_time_text(utc, offset(a, utc));
    t[10] = ' ';
    return t.substr(0, seconds ? 19 : 16);
}

std::string commas(long long v) {
    std::string digits = std::to_string(v < 0 ? -v : v), out = v < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string duration(std::int64_t s) {
    if (s < 60) return std::to_string(s) + " s";
    const std::int64_t m = s / 60;
    if (m < 60) return std::to_string(m) + " min";
    const std::string mm = std::to_string(m % 60);
    return std::to_string(m / 60) + " h " + (mm.size() < 2 ? "0" : "") + mm + " min";
}

std::string share(std::int64_t part, std::int64_t whole) {
    return whole > 0 ? history_fixed(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1) + " %"
                     : "-";
}

// "min / mean / max", or "-" without values.
std::string spread(int n, double mn, double mean, double mx, int decimals) {
    if (n == 0) return "-";
    auto v = [&](double x) { return decimals ? history_fixed(x, decimals) : commas(std::llround(x)); };
    return v(mn) + " / " + v(mean) + " / " + v(mx);
}

std::string below(std::int64_t s) { return s < 0 ? "" : duration(s); }

// The moment local midnight of a day happens (the first moment of the day when
// the clock skips midnight).
std::int64_t day_start(const HistoryChartArgs& a, std::int64_t day) {
    const std::int64_t local = day * 86400;
    std::int64_t u = local - offset(a, local);
    u = local - offset(a, u);
    return u;
}

std::int64_t not_connected(const HistoryData& d, std::int64_t from, std::int64_t to,
                           const HistoryChartArgs& a) {
    const auto runs = history_states(d, from, to, a.sample_seconds, a.now_utc);
    std::int64_t s = 0;
    for (std::size_t r = 0; r < runs.size(); ++r)
        if (runs[r].state == HS_NOT_CONNECTED || runs[r].state == HS_BUSY)
            s += (r + 1 < runs.size() ? runs[r + 1].from : to) - runs[r].from;
    return s;
}

// ---- HTML ------------------------------------------------------------------

struct Html {
    std::string s;
    Html& raw(std::string_view t) { return s.append(t), *this; }
    Html& text(std::string_view t) { return append_escaped(s, t), *this; }
    // A table row; the first cell is a header cell when head is set.
    void row(std::initializer_list<std::string_view> cells, bool head = false) {
        raw("<tr>");
        for (const std::string_view c : cells)
            raw(head ? "<th>" : "<td>").text(c).raw(head ? "</th>" : "</td>");
        raw("</tr>\n");
    }
};

constexpr const char* STYLE =
    "@page{size:A4 portrait;margin:12mm}"
    "body{font:12px sans-serif;color:#222;background:#fff;margin:16px auto;max-width:900px}"
    "h1{font-size:18px;margin:0 0 6px}h2{font-size:14px;margin:16px 0 4px;page-break-after:avoid}"
    "table{border-collapse:collapse;font-size:10px;margin-bottom:4px}"
    "th,td{padding:2px 6px;border-bottom:1px solid #ddd;text-align:right;vertical-align:top}"
    "th{background:#f0f0f0}th:first-child,td:first-child,.l{text-align:left}"
    "tr{page-break-inside:avoid}svg{display:block;width:100%;height:auto;margin:8px "
    "0;page-break-inside:avoid}"
    "table.facts th{background:none;text-align:left}@media print{body{margin:0;max-width:none}}";

void figures_table(Html& h, const HistoryFigures& f, const HistoryThresholds& t) {
    h.raw("<table>\n");
    h.row({"Covered by samples", share(f.covered_s, f.span_s) + " (" + duration(f.covered_s) + ")"});
    h.row({"Connected", share(f.connected_s, f.span_s) + " (" + duration(f.connected_s) + ")"});
    h.row({"Drops", std::to_string(f.drops)});
    h.row({"Resyncs sent", std::to_string(f.resyncs)});
    h.row({"Reboots sent", std::to_string(f.reboots)});
    h.row({"Samples", commas(f.samples)});
    h.row({"Downstream min / mean / max (kbit/s)", spread(f.samples, f.dn_min, f.dn_mean, f.dn_max, 0)});
    h.row({"Upstream min / mean / max (kbit/s)", spread(f.samples, f.up_min, f.up_mean, f.up_max, 0)});
    h.row(
        {"SNR margin min / mean / max (dB)", spread(f.snrm_samples, f.snrm_min, f.snrm_mean, f.snrm_max, 1)});
    if (f.below_dn_s >= 0)
        h.row({"Downstream below " + commas(t.bitdn_kbps) + " kbit/s", below(f.below_dn_s)});
    if (f.below_up_s >= 0) h.row({"Upstream below " + commas(t.bitup_kbps) + " kbit/s", below(f.below_up_s)});
    if (f.below_snrm_s >= 0)
        h.row({"SNR margin below " + history_fixed(t.snrdn_db, 1) + " dB", below(f.below_snrm_s)});
    h.raw("</table>\n");
}

void days_table(Html& h, const HistoryData& d, const HistoryReportArgs& r, std::int64_t end) {
    const HistoryChartArgs& a = r.chart;
    const HistoryThresholds& t = r.thresholds;
    h.raw("<table>\n");
    std::vector<std::string_view> head = {"Day",
                                          "Drops",
                                          "Not connected",
                                          "Resyncs",
                                          "Reboots",
                                          "Down kbit/s min / mean / max",
                                          "Up kbit/s min / mean / max",
                                          "Margin dB min / mean / max"};
    if (t.bitdn_on) head.push_back("Down below");
    if (t.bitup_on) head.push_back("Up below");
    if (t.snrdn_on) head.push_back("Margin below");
    h.raw("<tr>");
    for (const std::string_view c : head) h.raw("<th>").text(c).raw("</th>");
    h.raw("</tr>\n");
    const std::int64_t last = history_local_day(end - 1 + offset(a, end - 1));
    for (std::int64_t day = history_local_day(a.from_utc + offset(a, a.from_utc)); day <= last; ++day) {
        const std::int64_t from = std::max(a.from_utc, day_start(a, day)),
                           to = std::min(end, day_start(a, day + 1));
        if (to <= from) continue;
        const HistoryFigures f = history_figures(d, from, to, a.sample_seconds, a.now_utc, t);
        const std::string cells[] = {history_day_name(day),
                                     std::to_string(f.drops),
                                     duration(not_connected(d, from, to, a)),
                                     std::to_string(f.resyncs),
                                     std::to_string(f.reboots),
                                     spread(f.samples, f.dn_min, f.dn_mean, f.dn_max, 0),
                                     spread(f.samples, f.up_min, f.up_mean, f.up_max, 0),
                                     spread(f.snrm_samples, f.snrm_min, f.snrm_mean, f.snrm_max, 1),
                                     below(f.below_dn_s),
                                     below(f.below_up_s),
                                     below(f.below_snrm_s)};
        h.raw("<tr>");
        for (std::size_t i = 0; i < std::size(cells); ++i)  // threshold columns only where watched
            if (i < 8 || !cells[i].empty()) h.raw("<td>").text(cells[i]).raw("</td>");
        h.raw("</tr>\n");
    }
    h.raw("</table>\n");
}

void events_table(Html& h, const HistoryData& d, const HistoryChartArgs& a, std::int64_t end) {
    h.raw("<table>\n");
    h.row({"Time", "Event", "Detail"}, true);
    int n = 0;
    for (const HistoryEntry& e : d.entries) {
        if (e.utc < a.from_utc || e.utc >= end || e.kind == HK_SAMPLE) continue;
        std::string kind = HISTORY_KIND_NAMES[e.kind < HK_COUNT ? e.kind : 0];
        std::replace(kind.begin(), kind.end(), '_', ' ');
        h.raw("<tr><td>").text(local_text(a, e.utc, true)).raw("</td><td class=l>").text(kind);
        h.raw("</td><td class=l>").text(d.detail(e)).raw("</td></tr>\n");
        ++n;
    }
    if (n == 0) h.row({"No events in this period.", "", ""});
    h.raw("</table>\n");
}

std::string report_html(const HistoryData& d, const HistoryReportArgs& r, std::int64_t end) {
    const HistoryChartArgs& a = r.chart;
    Html h;
    h.raw("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>DSL line report: ")
        .text(r.line_name)
        .raw("</title>\n<style>")
        .raw(STYLE)
        .raw("</style></head>\n<body>\n<h1>DSL line report: ")
        .text(r.line_name)
        .raw("</h1>\n<table class=facts>\n");
    const std::string zone = history_time_text(end, offset(a, end)).substr(19);
    h.row({"Server", r.server}, true);
    h.row({"Period", local_text(a, a.from_utc, false) + " to " +
                         local_text(a, std::min(end, a.now_utc), false) + " (UTC" + zone + ")"},
          true);
    h.row({"Sampling", "every " + std::to_string(a.sample_seconds) + " s"}, true);
    const HistoryFigures f = history_figures(d, a.from_utc, end, a.sample_seconds, a.now_utc, r.thresholds);
    h.row({"Covered", share(f.covered_s, f.span_s) + " of the period"}, true);
    h.row({"Written", local_text(a, a.now_utc, false)}, true);
    h.raw("</table>\n");

    DrawList list;
    HistoryChartArgs screen = a;
    screen.pointer_x = -1;
    history_draw(d, screen, list);
    draw_svg(list, a.width, a.height, h.s);

    h.raw("<h2>Figures</h2>\n");
    figures_table(h, f, r.thresholds);
    h.raw("<h2>Day by day</h2>\n");
    days_table(h, d, r, end);
    h.raw("<h2>Events</h2>\n");
    events_table(h, d, a, end);
    h.raw("</body></html>\n");
    return std::move(h.s);
}

// ---- Files -----------------------------------------------------------------

// A file written under a temporary name in pieces, put in place when whole.
class FileOut {
   public:
    explicit FileOut(std::string path) : path_(std::move(path)), tmp_(path_ + ".tmp") {
        file_ = file_open(tmp_, FILE_WRITE);
    }
    ~FileOut() {
        if (file_) file_close(file_), file_delete(tmp_);
    }
    FileOut(const FileOut&) = delete;
    FileOut& operator=(const FileOut&) = delete;
    std::string buf;
    void flush() {
        if (file_ && !buf.empty() &&
            file_write(file_, buf.data(), static_cast<int>(buf.size())) != static_cast<int>(buf.size()))
            file_close(file_), file_delete(tmp_), file_ = 0;
        buf.clear();
    }
    void maybe_flush() {
        if (buf.size() >= 1 << 16) flush();
    }
    bool finish() {
        flush();
        if (!file_) return false;
        file_close(file_), file_ = 0;
        if (file_replace(tmp_, path_)) return true;
        file_delete(tmp_);
        return false;
    }

   private:
    std::string path_, tmp_;
    int file_ = 0;
};

bool write_csv(const std::string& path, const HistoryData& d, const HistoryChartArgs& a, std::int64_t end) {
    FileOut out(path);
    out.buf = HISTORY_HEADER;
    HistoryLine l;
    for (const HistoryEntry& e : d.entries) {
        if (e.utc < a.from_utc || e.utc >= end) continue;
        l.utc = e.utc, l.offset_s = offset(a, e.utc), l.kind = e.kind;
        l.dn_kbps = e.dn_kbps, l.up_kbps = e.up_kbps, l.warning = e.warning;
        l.snrm = std::isnan(e.snrm_db) ? std::string() : history_fixed(e.snrm_db, 1);
        l.detail.assign(d.detail(e));
        out.buf += history_csv_line(l);
        out.maybe_flush();
    }
    return out.finish();
}

}  // namespace

int history_export_report(const HistoryData& data, const HistoryReportArgs& args, std::string& html_path,
                          std::string& problem) {
    const HistoryChartArgs& a = args.chart;
    const std::string now = history_time_text(a.now_utc, offset(a, a.now_utc));
    const std::string base = std::string(HISTORY_FOLDER) + "/report-" + now.substr(0, 10) + "_" +
                             now.substr(11, 2) + now.substr(14, 2);
    const std::string html = base + ".html", csv = base + ".csv";
    // The entry at now still belongs to the span.
    const std::int64_t end = std::max(a.from_utc, std::min(a.to_utc, a.now_utc + 1));
    std::string failed;
    if (!make_folder(HISTORY_FOLDER)) {
        failed = html;
    } else if (!write_csv(csv, data, a, end)) {
        failed = csv;
    } else {
        FileOut out(html);
        out.buf = report_html(data, args, end);
        if (!out.finish()) failed = html;
    }
    if (!failed.empty()) {
        problem = "The report cannot be written: " + failed + ".";
        return 0;
    }
    html_path = html;
    return 1;
}
