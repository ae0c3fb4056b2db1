// A month of the line sampled every 10 s, for the history's benchmarks: noise
// in every series and one drop a day; made once.
#pragma once

#include <cstdint>

#include "monitor/history_record.h"

namespace {

constexpr std::int64_t START = 1796688000, MONTH = 30 * 86400;

const HistoryData& month() {
    static const HistoryData d = [] {
        HistoryData d;
        d.details.push_back("probe");
        d.entries.reserve(MONTH / 10 + 64);
        std::uint32_t noise = 12345;
        for (std::int64_t t = 0; t < MONTH; t += 10) {
            if (t % 86400 == 43200) {
                HistoryEntry drop;
                drop.utc = START + t - 5, drop.kind = HK_DROPPED, drop.detail = 1;
                d.entries.push_back(drop);
            }
            noise = noise * 1664525 + 1013904223;
            HistoryEntry e;
            e.utc = START + t;
            e.dn_kbps = 16000 + static_cast<int>(noise >> 20),
            e.up_kbps = 1000 + static_cast<int>(noise >> 24);
            e.snrm_db = 6 + static_cast<float>(noise >> 28) / 10, e.warning = 0;
            d.entries.push_back(e);
        }
        return d;
    }();
    return d;
}

// An hour ahead of UTC all month.
int plus_hour(long long) { return 3600; }

}  // namespace
