// Evidence for the provider: the span shown, as a self-contained HTML report
// (the picture as inline SVG from the same drawing list as the screen) and as
// CSV, written into the history folder.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/history_record.h"
#include "ui/history_chart.h"

struct HistoryReportArgs {
    HistoryChartArgs chart;        // the span, the canvas size and the clock, as on the screen
    HistoryThresholds thresholds;  // what the server watches, as last reported
    std::string line_name;         // the tray prefix
    std::string server;            // "host:port"
};

// Writes report-YYYY-MM-DD_HHMM.html and .csv (local time now) into the history
// folder. 1 with html_path set; 0 with problem set to one line for the user.
int history_export_report(const HistoryData& data, const HistoryReportArgs& args, std::string& html_path,
                          std::string& problem);
