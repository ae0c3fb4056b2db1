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

// The report's text, appended in place: our own markup raw, every other text
// escaped. Few temporaries, as the Windows program must stay small.
struct Html {
    std::string s;
    [[gnu::noinline]] Html& raw(const char* t) { return s += t, *this; }
    [[gnu::noinline]] Html& esc(std::string_view t) { return append_escaped(s, t), *this; }
    [[gnu::noinline]] Html& num(long long v) { return append_int(s, v, true), *this; }
    Html& fixed(double v, int decimals) { return s += history_fixed(v, decimals), *this; }
    // "YYYY-MM-DD HH:MM" (16) or with ":SS" (19), local time.
    Html& local(const HistoryChartArgs& a, std::int64_t utc, int length) {
        const std::string t = history_time_text(utc, offset(a, utc));
        s.append(t, 0, 10).append(" ").append(t, 11, length - 11);
        return *this;
    }
    Html& dur(std::int64_t secs) {
        if (secs < 60) return num(secs).raw(" s");
        const std::int64_t m = secs / 60;
        if (m >= 60) num(m / 60).raw(m % 60 < 10 ? " h 0" : " h ");
        return num(m % 60).raw(" min");
    }
    Html& share(std::int64_t part, std::int64_t whole) {
        return whole > 0 ? fixed(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1).raw(" %")
                         : raw("-");
    }
    // "min / mean / max", or "-" without values.
    Html& spread(int n, double mn, double mean, double mx, int decimals) {
        if (n == 0) return raw("-");
        const double v[] = {mn, mean, mx};
        for (int i = 0; i < 3; ++i) {
            if (i) raw(" / ");
            decimals ? fixed(v[i], decimals) : num(std::llround(v[i]));
        }
        return *this;
    }
    [[gnu::noinline]] Html& th(const char* head) { return raw("<tr><th>").raw(head).raw("</th><td>"); }
    [[gnu::noinline]] Html& td() { return raw("</td><td>"); }
    [[gnu::noinline]] Html& end() { return raw("</td></tr>\n"); }
};

// The moment local midnight of a day happens (the first moment of the day when
// the clock skips midnight).
std::int64_t day_start(const HistoryChartArgs& a, std::int64_t day) {
    const std::int64_t local = day * 86400;
    return local - offset(a, local - offset(a, local));
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

constexpr const char* STYLE =
    "@page{size:A4 portrait;margin:12mm}"
    "body{font:12px sans-serif;color:#222;background:#fff;margin:16px auto;max-width:900px}"
    "h1{font-size:18px;margin:0 0 6px}h2{font-size:14px;margin:16px 0 4px;page-break-after:avoid}"
    "table{border-collapse:collapse;font-size:10px;margin-bottom:4px}"
    "th,td{padding:2px 6px;border-bottom:1px solid #ddd;text-align:right;vertical-align:top}"
    "th{background:#f0f0f0}th:first-child,td:first-child,.ev th,.ev td{text-align:left}"
    "tr{page-break-inside:avoid}svg{display:block;width:100%;height:auto;margin:8px "
    "0;page-break-inside:avoid}"
    ".facts th{background:none;font-weight:bold}.facts td{text-align:left}"
    "@media print{body{margin:0;max-width:none}}";

void figures_table(Html& h, const HistoryFigures& f, const HistoryThresholds& t) {
    h.raw("<table>\n");
    h.th("Covered by samples").share(f.covered_s, f.span_s).raw(" (").dur(f.covered_s).raw(")").end();
    h.th("Connected").share(f.connected_s, f.span_s).raw(" (").dur(f.connected_s).raw(")").end();
    h.th("Drops").num(f.drops).end();
    h.th("Resyncs sent").num(f.resyncs).end();
    h.th("Reboots sent").num(f.reboots).end();
    h.th("Samples").num(f.samples).end();
    h.th("Downstream min / mean / max (kbit/s)").spread(f.samples, f.dn_min, f.dn_mean, f.dn_max, 0).end();
    h.th("Upstream min / mean / max (kbit/s)").spread(f.samples, f.up_min, f.up_mean, f.up_max, 0).end();
    h.th("SNR margin min / mean / max (dB)")
        .spread(f.snrm_samples, f.snrm_min, f.snrm_mean, f.snrm_max, 1)
        .end();
    if (f.below_dn_s >= 0)
        h.raw("<tr><th>Downstream below ").num(t.bitdn_kbps).raw(" kbit/s</th><td>").dur(f.below_dn_s).end();
    if (f.below_up_s >= 0)
        h.raw("<tr><th>Upstream below ").num(t.bitup_kbps).raw(" kbit/s</th><td>").dur(f.below_up_s).end();
    if (f.below_snrm_s >= 0)
        h.raw("<tr><th>SNR margin below ").fixed(t.snrdn_db, 1).raw(" dB</th><td>").dur(f.below_snrm_s).end();
    h.raw("</table>\n");
}

void days_table(Html& h, const HistoryData& d, const HistoryReportArgs& r, std::int64_t end) {
    const HistoryChartArgs& a = r.chart;
    const HistoryThresholds& t = r.thresholds;
    h.raw(
         "<table>\n<tr><th>Day</th><th>Drops</th><th>Not connected</th><th>Resyncs</th><th>Reboots</th>"
         "<th>Down kbit/s min / mean / max</th><th>Up kbit/s min / mean / max</th>"
         "<th>Margin dB min / mean / max</th>")
        .raw(t.bitdn_on ? "<th>Down below</th>" : "")
        .raw(t.bitup_on ? "<th>Up below</th>" : "")
        .raw(t.snrdn_on ? "<th>Margin below</th>" : "")
        .raw("</tr>\n");
    const std::int64_t last = history_local_day(end - 1 + offset(a, end - 1));
    for (std::int64_t day = history_local_day(a.from_utc + offset(a, a.from_utc)); day <= last; ++day) {
        const std::int64_t from = std::max(a.from_utc, day_start(a, day)),
                           to = std::min(end, day_start(a, day + 1));
        if (to <= from) continue;
        const HistoryFigures f = history_figures(d, from, to, a.sample_seconds, a.now_utc, t);
        h.raw("<tr><td>")
            .esc(history_day_name(day))
            .td()
            .num(f.drops)
            .td()
            .dur(not_connected(d, from, to, a));
        h.td().num(f.resyncs).td().num(f.reboots).td().spread(f.samples, f.dn_min, f.dn_mean, f.dn_max, 0);
        h.td().spread(f.samples, f.up_min, f.up_mean, f.up_max, 0);
        h.td().spread(f.snrm_samples, f.snrm_min, f.snrm_mean, f.snrm_max, 1);
        for (const std::int64_t below : {f.below_dn_s, f.below_up_s, f.below_snrm_s})
            if (below >= 0) h.td().dur(below);  // only the watched thresholds
        h.end();
    }
    h.raw("</table>\n");
}

void events_table(Html& h, const HistoryData& d, const HistoryChartArgs& a, std::int64_t end) {
    h.raw("<table class=ev>\n<tr><th>Time</th><th>Event</th><th>Detail</th></tr>\n");
    bool any = false;
    for (const HistoryEntry& e : d.entries) {
        if (e.utc < a.from_utc || e.utc >= end || e.kind == HK_SAMPLE) continue;
        h.raw("<tr><td>").local(a, e.utc, 19).td();
        for (const char* c = HISTORY_KIND_NAMES[e.kind < HK_COUNT ? e.kind : 0]; *c; ++c)
            h.s += *c == '_' ? ' ' : *c;
        h.td().esc(d.detail(e)).end();
        any = true;
    }
    if (!any) h.raw("<tr><td>No events in this period.</td><td></td><td></td></tr>\n");
    h.raw("</table>\n");
}

void report_html(Html& h, const HistoryData& d, const HistoryReportArgs& r, std::int64_t end) {
    const HistoryChartArgs& a = r.chart;
    h.raw("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>DSL line report: ")
        .esc(r.line_name)
        .raw("</title>\n<style>")
        .raw(STYLE)
        .raw("</style></head>\n<body>\n<h1>DSL line report: ")
        .esc(r.line_name)
        .raw("</h1>\n<table class=facts>\n");
    h.th("Server").esc(r.server).end();
    h.th("Period").local(a, a.from_utc, 16).raw(" to ").local(a, std::min(end, a.now_utc), 16).raw(" (UTC");
    h.esc(std::string_view(history_time_text(end, offset(a, end))).substr(19)).raw(")").end();
    h.th("Sampling").raw("every ").num(a.sample_seconds).raw(" s").end();
    const HistoryFigures f = history_figures(d, a.from_utc, end, a.sample_seconds, a.now_utc, r.thresholds);
    h.th("Covered").share(f.covered_s, f.span_s).raw(" of the period").end();
    h.th("Written").local(a, a.now_utc, 16).end();
    h.raw("</table>\n");

    DrawList list;
    HistoryChartArgs screen = a;
    screen.pointer_x = -1;
    history_draw(d, screen, list);
    draw_svg(list, a.width, a.height, h.s);

    figures_table(h.raw("<h2>Figures</h2>\n"), f, r.thresholds);
    days_table(h.raw("<h2>Day by day</h2>\n"), d, r, end);
    events_table(h.raw("<h2>Events</h2>\n"), d, a, end);
    h.raw("</body></html>\n");
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
    std::string base = HISTORY_FOLDER;
    base.append("/report-").append(now, 0, 10).append("_").append(now, 11, 2).append(now, 14, 2);
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
        Html h;
        report_html(h, data, args, end);
        out.buf = std::move(h.s);
        if (!out.finish()) failed = html;
    }
    if (!failed.empty()) {
        problem = "The report cannot be written: " + failed + ".";
        return 0;
    }
    html_path = html;
    return 1;
}
