// The recorder: turns what the program does into history lines.
//
// The hard part is staying out of the way: the idle "get all" goes out only
// when nothing else is under way on the connection, and a failing disk stops
// recording with one line for the user rather than touching anything else.
#include "monitor/history_recorder.h"

#include <cstring>
#include <memory>

#include "app/ids.h"
#include "app/state.h"
#include "link/exchange.h"
#include "monitor/alerts.h"
#include "monitor/history_store.h"
#include "monitor/metrics_file.h"
#include "platform/platform.h"
#include "ui/history_window.h"

namespace {

HistorySettings g_settings;
std::unique_ptr<HistoryWriter> g_writer;
std::string g_problem;
bool g_established = false;  // a greeting came on the open connection
int g_last_warning = -1;
const char* g_drop_reason = "closed";

bool recording() { return g_settings.record == 1 && g_writer != nullptr; }

void write(HistoryLine line) {
    if (!recording()) return;
    line.utc = utc_seconds();
    line.offset_s = utc_offset_seconds(line.utc);
    if (!g_writer->append(line)) {
        g_problem = g_writer->error();
        g_writer.reset();
        stop_timer(MAIN_WINDOW, TIMER_HISTORY);
        history_window_changed();
        return;
    }
    HistoryEntry e;
    e.utc = line.utc;
    e.kind = line.kind;
    e.dn_kbps = line.dn_kbps;
    e.up_kbps = line.up_kbps;
    e.snrm_db = history_margin(line.snrm);
    e.warning = static_cast<std::int8_t>(line.warning);
    history_window_entry(e, line.detail);
    metrics_entry(e);
    alerts_entry(e);
}

void open_writer() {
    g_problem.clear();
    g_writer.reset();
    if (g_settings.record != 1) return;
    if (!make_folder(HISTORY_FOLDER)) {
        g_problem = std::string("History stopped: the folder ") + HISTORY_FOLDER + " cannot be made.";
        return;
    }
    g_writer = std::make_unique<HistoryWriter>(HISTORY_FOLDER);
    start_timer(MAIN_WINDOW, TIMER_HISTORY, g_settings.sample_seconds * 1000);
}

}  // namespace

void history_start() {
    g_writer.reset();
    g_problem.clear();
    g_established = false;
    g_last_warning = -1;
    g_drop_reason = "closed";
    g_settings = read_history_settings();
    metrics_start(g_settings);
    alerts_start(g_settings);
    if (g_settings.record != 1) return;
    open_writer();
    if (!recording()) return;
    const long long utc = utc_seconds();
    history_prune(HISTORY_FOLDER, history_local_day(utc + utc_offset_seconds(utc)), g_settings.keep_days);
    history_note(HK_PROGRAM_STARTED);
}

void history_end() {
    history_note(HK_PROGRAM_ENDED);
    g_writer.reset();
}

void history_note(HistoryKind kind, const std::string& detail) {
    if (kind == HK_CONNECTED) g_established = true;
    HistoryLine line;
    line.kind = kind;
    line.detail = detail;
    write(line);
}

void history_sample() {
    if (!recording()) return;
    HistoryLine line;
    line.dn_kbps = state.md_bitdn;
    line.up_kbps = state.md_bitup;
    line.snrm = state.md_snrdn;
    line.warning = state.warning;
    write(line);
    // Values other than 0 and 1 are the server's business, not a change to note.
    if (state.warning == 1 && g_last_warning != 1) history_note(HK_WARNING_RAISED);
    if (state.warning == 0 && g_last_warning == 1) history_note(HK_WARNING_CLEARED);
    if (state.warning == 0 || state.warning == 1) g_last_warning = state.warning;
}

void history_command_sent(const char* command) {
    struct Sent {
        const char* command;
        HistoryKind kind;
    };
    static constexpr Sent sent[] = {{"refresh", HK_REFRESH_SENT},
                                    {"resync", HK_RESYNC_SENT},
                                    {"reboot", HK_REBOOT_SENT},
                                    {"shutdown", HK_SHUTDOWN_SENT}};
    for (const Sent& s : sent)
        if (std::strcmp(command, s.command) == 0) history_note(s.kind);
}

void history_set_drop_reason(const char* reason) { g_drop_reason = reason; }

void history_connection_closed() {
    if (g_established) history_note(HK_DROPPED, g_drop_reason);
    g_established = false;
    g_drop_reason = "closed";
    g_last_warning = -1;
}

void history_tick() {
    if (!recording()) return;
    // Idle: connected, no command in flight, nothing half received, no
    // configuration being sent, no notice showing.
    const bool idle = state.connected == 1 && state.connection > 0 && g_established &&
                      state.update_in_progress == 0 && state.auto_config_pending == 0 &&
                      state.server_busy == 0 && state.answer_text.empty();
    if (idle) send_command("get all");
}

const HistorySettings& history_current_settings() { return g_settings; }

void history_configure(int record, int sample_seconds) {
    const bool was = recording();
    if (sample_seconds < HISTORY_MIN_SECONDS || sample_seconds > HISTORY_MAX_SECONDS)
        sample_seconds = HISTORY_DEFAULT_SECONDS;
    const bool changed = g_settings.record != record || g_settings.sample_seconds != sample_seconds;
    g_settings.record = record;
    g_settings.sample_seconds = sample_seconds;
    if (changed) write_history_settings(g_settings);
    if (record == 1 && !was) {
        open_writer();
        history_note(HK_PROGRAM_STARTED, "recording");
        if (g_established) history_note(HK_CONNECTED);
    } else if (record == 1) {
        start_timer(MAIN_WINDOW, TIMER_HISTORY, sample_seconds * 1000);
    } else if (record != 1 && was) {
        history_note(HK_PROGRAM_ENDED, "recording");
        g_writer.reset();
        stop_timer(MAIN_WINDOW, TIMER_HISTORY);
    }
    history_window_changed();
}

const std::string& history_problem() { return g_problem; }

void history_configure_alerts(int on) {
    if (g_settings.alerts == on) return;
    g_settings.alerts = on;
    write_history_settings(g_settings);
    alerts_start(g_settings);
}

void history_second() {
    if (!recording()) return;
    alerts_tick();
    metrics_tick();
}
