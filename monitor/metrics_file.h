// The line's figures for the monitoring stack: a Prometheus text file written
// atomically after every sample, for a textfile collector.
#pragma once

#include "monitor/history_record.h"
#include "monitor/history_settings.h"

void metrics_start(const HistorySettings& s);
// Every line the recorder writes, in order.
void metrics_entry(const HistoryEntry& e);
// Once a second: a report gone stale takes the line's series out of the file.
void metrics_tick();
