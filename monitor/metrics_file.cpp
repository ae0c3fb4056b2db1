// The line's figures as a Prometheus text file for the textfile collectors of
// node_exporter and windows_exporter, with the names of OpenWrt's DSL
// collector so that existing dashboards work.
//
// The hard parts: a scrape must never see half a file (written beside it,
// then renamed over it), and a line that stopped reporting must vanish from
// the file rather than repeat its last figures for ever.
#include "monitor/metrics_file.h"

#include <cstdint>
#include <string>

#include "app/state.h"
#include "monitor/history_store.h"
#include "platform/platform.h"
#include "ui/history_chart.h"

namespace {

struct Metrics {
    std::string file;  // empty: off
    int period_s = HISTORY_DEFAULT_SECONDS;
    bool connected = false;
    bool have_sample = false;
    HistoryEntry sample;
    long long drops = 0, resyncs = 0;
    bool fresh_written = false;  // whether the file last written held the line's series
    std::string written;         // what the file holds, so an unchanged text is not written again
};

Metrics g;

bool fresh(long long now) { return g.connected && g.have_sample && now - g.sample.utc <= 2LL * g.period_s; }

// The file's parts in order; \1 stands for the line's label, \2 for the value.
// A part whose value is empty is left out. Help texts are the same for every
// line: the collector rejects a family whose files disagree.
enum { RATE_DOWN, RATE_UP, MARGIN, UP, CONNECTED, LAST_REPORT, DROPS, RESYNCS, PARTS };
constexpr const char* PART[PARTS] = {
    "# HELP dsl_datarate Data rate in bit/s.\n# TYPE dsl_datarate gauge\n"
    "dsl_datarate{direction=\"down\",\1} \2\n",
    "dsl_datarate{direction=\"up\",\1} \2\n",
    "# HELP dsl_signal_to_noise_margin_db Signal to noise margin in dB.\n"
    "# TYPE dsl_signal_to_noise_margin_db gauge\ndsl_signal_to_noise_margin_db{direction=\"down\",\1} \2\n",
    "# HELP dsl_up Whether the line is up.\n# TYPE dsl_up gauge\ndsl_up{\1} \2\n",
    "# HELP vyx_client_connected Connected with a fresh report.\n# TYPE vyx_client_connected gauge\n"
    "vyx_client_connected{\1} \2\n",
    "# HELP vyx_client_last_report_timestamp_seconds Time of the last report, seconds since 1970 UTC.\n"
    "# TYPE vyx_client_last_report_timestamp_seconds gauge\nvyx_client_last_report_timestamp_seconds{\1} "
    "\2\n",
    "# HELP vyx_client_drops_total Connections lost since the client started.\n"
    "# TYPE vyx_client_drops_total counter\nvyx_client_drops_total{\1} \2\n",
    "# HELP vyx_client_resyncs_sent_total Resyncs sent since the client started.\n"
    "# TYPE vyx_client_resyncs_sent_total counter\nvyx_client_resyncs_sent_total{\1} \2\n",
};

std::string metrics_text(bool with_line) {
    // The label value: valid UTF-8, backslash, quote and line feed escaped.
    std::string line = "line=\"";
    for (char c : history_utf8(state.systray_icon_prefix)) {
        if (c == '\\' || c == '"' || c == '\n') line += '\\';
        line += c == '\n' ? 'n' : c;
    }
    line += '"';
    const HistoryEntry& s = g.sample;
    std::string v[PARTS];
    if (with_line && s.dn_kbps >= 0 && s.up_kbps >= 0) {
        v[RATE_DOWN] = std::to_string(s.dn_kbps * 1000LL);
        v[RATE_UP] = std::to_string(s.up_kbps * 1000LL);
    }
    if (with_line && s.snrm_db == s.snrm_db) {  // not NaN
        v[MARGIN] = history_fixed(s.snrm_db, 2);
        while (v[MARGIN].back() == '0') v[MARGIN].pop_back();
        if (v[MARGIN].back() == '.') v[MARGIN].pop_back();
    }
    if (with_line) v[UP] = s.dn_kbps > 0 ? "1" : "0";
    v[CONNECTED] = with_line ? "1" : "0";
    if (g.have_sample) v[LAST_REPORT] = std::to_string(s.utc);
    v[DROPS] = std::to_string(g.drops);
    v[RESYNCS] = std::to_string(g.resyncs);
    std::string out;
    for (int i = 0; i < PARTS; ++i)
        for (const char* t = PART[i]; !v[i].empty() && *t; ++t) {
            if (*t == '\1')
                out += line;
            else if (*t == '\2')
                out += v[i];
            else
                out += *t;
        }
    return out;
}

// The file is replaced whole, so a scrape sees the old text or the new one;
// a failed write leaves the old file and is tried again at the next change.
void write_file(long long now) {
    const bool with_line = fresh(now);
    std::string text = metrics_text(with_line);
    if (text == g.written) return;
    const std::string temp = g.file + ".tmp";
    const int f = file_open(temp, FILE_WRITE);
    if (f <= 0) return;
    const bool ok =
        file_write(f, text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
    file_close(f);
    if (!ok || !file_replace(temp, g.file)) {
        file_delete(temp);
        return;
    }
    g.written = std::move(text);
    g.fresh_written = with_line;
}

}  // namespace

void metrics_start(const HistorySettings& s) {
    g.file = s.metrics_file;
    g.period_s = s.sample_seconds;
    g.connected = g.have_sample = g.fresh_written = false;
    g.drops = g.resyncs = 0;
    g.written.clear();
}

void metrics_entry(const HistoryEntry& e) {
    if (g.file.empty()) return;
    if (e.kind == HK_SAMPLE) {
        g.connected = true;  // a report only comes over a connection
        g.have_sample = true;
        g.sample = e;
    } else if (e.kind == HK_CONNECTED) {
        g.connected = true;
    } else if (history_ends_connection(e.kind)) {
        g.connected = false;
    }
    g.drops += e.kind == HK_DROPPED;
    g.resyncs += e.kind == HK_RESYNC_SENT;
    write_file(utc_seconds());
}

void metrics_tick() {
    if (g.file.empty()) return;
    const long long now = utc_seconds();
    if (fresh(now) != g.fresh_written) write_file(now);
}
