#include "ui/history_report.h"

int history_export_report(const HistoryData&, const HistoryReportArgs&, std::string&, std::string& problem) {
    problem = "Export is not available yet.";
    return 0;
}
