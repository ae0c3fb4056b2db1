// The line's history as the program holds it in memory: samples and events
// in time order, compact enough that 30 days at 10 s stay a few MiB.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum HistoryKind : std::uint8_t {
    HK_SAMPLE,
    HK_PROGRAM_STARTED,
    HK_PROGRAM_ENDED,
    HK_CONNECTED,
    HK_CONNECT_FAILED,  // detail: "refused", "no greeting" or "busy"
    HK_DROPPED,         // detail: "probe", "servus" or "disconnect"
    HK_REFRESH_SENT,
    HK_RESYNC_SENT,
    HK_REBOOT_SENT,
    HK_SHUTDOWN_SENT,
    HK_MONITORING_ACTIVATED,
    HK_MONITORING_DEACTIVATED,
    HK_MONITORING_APPLIED,
    HK_WARNING_RAISED,
    HK_WARNING_CLEARED,
    HK_ALERT,  // detail: the alert's text as shown
    HK_COUNT,
};

// The `kind` column's words, indexed by HistoryKind.
inline constexpr const char* HISTORY_KIND_NAMES[HK_COUNT] = {
    "sample",
    "program_started",
    "program_ended",
    "connected",
    "connect_failed",
    "dropped",
    "refresh_sent",
    "resync_sent",
    "reboot_sent",
    "shutdown_sent",
    "monitoring_activated",
    "monitoring_deactivated",
    "monitoring_applied",
    "warning_raised",
    "warning_cleared",
    "alert",
};

// Events after which the connection is known to be gone.
inline bool history_ends_connection(HistoryKind k) {
    return k == HK_DROPPED || k == HK_CONNECT_FAILED || k == HK_PROGRAM_ENDED || k == HK_PROGRAM_STARTED;
}

struct HistoryEntry {
    std::int64_t utc = 0;                     // seconds since 1970 UTC
    std::int32_t dn_kbps = -1, up_kbps = -1;  // -1: not known (events)
    float snrm_db = NAN;                      // NaN: not known or not a number
    HistoryKind kind = HK_SAMPLE;
    std::int8_t warning = -1;  // 0, 1, or -1 not known
    std::uint32_t detail = 0;  // index into HistoryData::details, 0 for none
};

struct HistoryData {
    std::vector<HistoryEntry> entries;     // ascending by utc
    std::vector<std::string> details{""};  // [0] is the empty detail
    std::string_view detail(const HistoryEntry& e) const {
        return e.detail < details.size() ? std::string_view(details[e.detail]) : std::string_view();
    }
};

// A line being written: what the recorder knows at the moment it happens.
struct HistoryLine {
    std::int64_t utc = 0;
    int offset_s = 0;  // local time minus UTC at that moment
    HistoryKind kind = HK_SAMPLE;
    std::int32_t dn_kbps = -1, up_kbps = -1;  // -1: the column stays empty
    std::string snrm;                         // as the server sent it; empty: the column stays empty
    int warning = -1;                         // -1: the column stays empty
    std::string detail;
};
