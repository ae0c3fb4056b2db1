// The line's figures as a Prometheus text file for the textfile collectors of
// node_exporter and windows_exporter, with the names of OpenWrt's DSL
// collector so that existing dashboards work.
//
// The hard parts: a scrape must never see half a file (written beside it,
// then renamed over it), and a line that stopped reporting must vanish from
// the file rather than repeat its last figures for ever.
#include "monitor/metrics_file.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

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

// A label value: backslash, quote and line feed escaped, valid UTF-8.
std::string label(std::string_view text) {
    std::string out;
    for (char c : history_utf8(text)) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

void put(std::string& out, std::initializer_list<std::string_view> parts) {
    for (std::string_view p : parts) out += p;
}

struct Family {
    const char* name;
    const char* type;
    const char* help;
};

// Help texts stay the same for every line: the collector rejects a family whose files disagree.
enum { RATE, MARGIN, UP, CONNECTED, LAST_REPORT, DROPS, RESYNCS };
constexpr Family FAMILIES[] = {
    {"dsl_datarate", "gauge", "Data rate of the DSL line in bits per second."},
    {"dsl_signal_to_noise_margin_db", "gauge", "Signal to noise margin of the DSL line in dB."},
    {"dsl_up", "gauge", "Whether the DSL line is up (1) or down (0)."},
    {"vyx_client_connected", "gauge", "Whether the client is connected and its reports are fresh."},
    {"vyx_client_last_report_timestamp_seconds", "gauge",
     "Time of the last report from the server, in seconds since 1970 UTC."},
    {"vyx_client_drops_total", "counter", "Connections to the server lost since the client started."},
    {"vyx_client_resyncs_sent_total", "counter", "Resyncs sent to the server since the client started."},
};

void family(std::string& out, int f) {
    const Family& m = FAMILIES[f];
    put(out, {"# HELP ", m.name, " ", m.help, "\n# TYPE ", m.name, " ", m.type, "\n"});
}

void series(std::string& out, int f, std::string_view labels, std::string_view value) {
    put(out, {FAMILIES[f].name, "{", labels, "} ", value, "\n"});
}

// The margin with up to two decimals, no trailing zeros.
std::string margin_text(float db) {
    std::string t = history_fixed(db, 2);
    while (t.back() == '0') t.pop_back();
    if (t.back() == '.') t.pop_back();
    return t;
}

std::string metrics_text(bool with_line) {
    const std::string line = "line=\"" + label(state.systray_icon_prefix) + "\"";
    const std::string down = "direction=\"down\"," + line, up = "direction=\"up\"," + line;
    std::string out;
    const HistoryEntry& s = g.sample;
    if (with_line) {
        family(out, RATE);
        if (s.dn_kbps >= 0) series(out, RATE, down, std::to_string(s.dn_kbps * 1000LL));
        if (s.up_kbps >= 0) series(out, RATE, up, std::to_string(s.up_kbps * 1000LL));
        if (s.snrm_db == s.snrm_db) {  // not NaN
            family(out, MARGIN);
            series(out, MARGIN, down, margin_text(s.snrm_db));
        }
        family(out, UP);
        series(out, UP, line, s.dn_kbps > 0 ? "1" : "0");
    }
    family(out, CONNECTED);
    series(out, CONNECTED, line, with_line ? "1" : "0");
    if (g.have_sample) {
        family(out, LAST_REPORT);
        series(out, LAST_REPORT, line, std::to_string(s.utc));
    }
    family(out, DROPS);
    series(out, DROPS, line, std::to_string(g.drops));
    family(out, RESYNCS);
    series(out, RESYNCS, line, std::to_string(g.resyncs));
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
    g = Metrics{};
    g.file = s.metrics_file;
    g.period_s = s.sample_seconds;
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
