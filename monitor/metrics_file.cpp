#include "monitor/metrics_file.h"

void metrics_start(const HistorySettings&) {}
void metrics_entry(const HistoryEntry&) {}
void metrics_tick() {}
