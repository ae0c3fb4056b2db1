// The history window's picture and figures, computed from the data alone: two
// panes (rates, margin) over one local time axis, a state lane, event marks, a
// read-out, drawn into a DrawList whose size is bounded by the canvas' width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/history_record.h"
#include "platform/draw_list.h"

// What the server itself watches, as last reported; a switch off means none.
struct HistoryThresholds {
    int bitdn_on = 0, bitdn_kbps = 0;
    int bitup_on = 0, bitup_kbps = 0;
    int snrdn_on = 0;
    float snrdn_db = 0;
};

struct HistoryChartArgs {
    std::int64_t from_utc = 0, to_utc = 0;  // the span shown, to_utc excluded
    int width = 0, height = 0;              // the canvas
    int sample_seconds = 60;                // the recording period, for gaps
    std::int64_t now_utc = 0;               // time after now is left empty
    int font = 0;                           // handle for axis labels
    int pointer_x = -1;                     // -1: no read-out
    // Local offset at a moment, for the axis labels (the platform's, or a test's).
    int (*offset_at)(long long utc) = nullptr;
};

enum HistoryState : std::uint8_t {
    HS_UNKNOWN,    // left blank
    HS_CONNECTED,  // connected with data
    HS_NOT_CONNECTED,
    HS_BUSY,
    HS_NOT_RUNNING,
    HS_NO_SAMPLE,  // connected, but no sample for over twice the period
};

struct HistoryFigures {
    std::int64_t span_s = 0;
    std::int64_t covered_s = 0;  // time with samples
    std::int64_t connected_s = 0;
    int drops = 0, resyncs = 0, reboots = 0;
    int samples = 0;
    // min / mean / max; meaningless while samples == 0
    double dn_min = 0, dn_mean = 0, dn_max = 0;
    double up_min = 0, up_mean = 0, up_max = 0;
    double snrm_min = 0, snrm_mean = 0, snrm_max = 0;
    int snrm_samples = 0;  // samples whose margin is a number
    // Time below the thresholds whose switch is on; -1 for a switch off.
    std::int64_t below_dn_s = -1, below_up_s = -1, below_snrm_s = -1;
};

// The state at every moment of the span, for the lane and the figures, in
// runs: state from `from` until the next run's `from`.
struct HistoryStateRun {
    std::int64_t from;
    HistoryState state;
};
std::vector<HistoryStateRun> history_states(const HistoryData& data, std::int64_t from_utc,
                                            std::int64_t to_utc, int sample_seconds, std::int64_t now_utc);

void history_draw(const HistoryData& data, const HistoryChartArgs& args, DrawList& out);
HistoryFigures history_figures(const HistoryData& data, std::int64_t from_utc, std::int64_t to_utc,
                               int sample_seconds, std::int64_t now_utc, const HistoryThresholds& t);
// "Tue 2026-12-08 14:05:10   down 18,432  up 1,024 kbit/s   margin 6.1 dB" or
// the event's words ("... 14:07:00   dropped (probe)"): the sample or event
// nearest to the pointer's column, an event under it first, empty when none is near.
std::string history_readout(const HistoryData& data, const HistoryChartArgs& args);

// v with that many decimals ("6.1", "-0.5"), without the C library's locale.
std::string history_fixed(double v, int decimals);
