#include "monitor/alerts.h"

void alerts_start(const HistorySettings&) {}
void alerts_entry(const HistoryEntry&) {}
void alerts_tick() {}
void alerts_test() {}
