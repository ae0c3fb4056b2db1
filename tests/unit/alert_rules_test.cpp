// The alert rules over a virtual clock: a condition fires only after holding
// for the delay, ends only after holding clear, stays quiet within the
// cooldown unless worse, and many drops are one "line unstable".
#include "monitor/alert_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t DAY0 = 1796688000;  // 2026-12-08 00:00 UTC; shown at UTC+1

struct Rec {
    int t;
    HistoryKind kind = HK_SAMPLE;
    float snrm = 10;
    int dn = 8000;
};

// Samples every 10 s from `from` to `to`.
std::vector<Rec> run(int from, int to, float snrm, int dn = 8000) {
    std::vector<Rec> r;
    for (int t = from; t <= to; t += 10) r.push_back({t, HK_SAMPLE, snrm, dn});
    return r;
}
std::vector<Rec> operator+(std::vector<Rec> a, const std::vector<Rec>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
std::vector<Rec> ev(int t, HistoryKind k) { return {{t, k}}; }
std::vector<Rec> drop(int t, int back) { return ev(t, HK_DROPPED) + ev(back, HK_CONNECTED); }

// "t title / text" for every message, stepping each second as the program does.
std::vector<std::string> play(const std::vector<Rec>& recs, int end, int cooldown_s) {
    AlertRules r;
    alert_rules_reset(r, {20, cooldown_s, 3});
    AlertLimits limits{true, false, true, 2000, 0, 3};
    std::vector<std::string> got;
    std::size_t next = 0;
    for (int now = 0; now <= end; ++now) {
        std::vector<AlertMessage> out;
        for (; next < recs.size() && recs[next].t == now; ++next) {
            HistoryEntry e;
            e.utc = DAY0 + now, e.kind = recs[next].kind;
            if (e.kind == HK_SAMPLE) e.snrm_db = recs[next].snrm, e.dn_kbps = recs[next].dn, e.up_kbps = 100;
            alert_rules_entry(r, e);
            alert_rules_step(r, DAY0 + now, limits, "L", 3600, out);
        }
        alert_rules_step(r, DAY0 + now, limits, "L", 3600, out);
        for (const auto& m : out) got.push_back(std::to_string(now) + " " + m.title + " / " + m.text);
    }
    return got;
}

TEST(AlertRules, FireClearCooldownAndStorms) {
    struct Case {
        const char* name;
        std::vector<Rec> recs;
        int end, cooldown_s;
        std::vector<std::string> want;
    } cases[] = {
        {"one low sample between good ones is no condition", run(0, 0, 2) + run(10, 100, 6), 100, 3600, {}},
        {"margin held for the delay fires; a relapse within the clear delay keeps it on",
         run(0, 30, 2.8f) + run(40, 40, 6) + run(50, 50, 2.5f) + run(60, 120, 6),
         120,
         3600,
         {"20 L: SNR margin low / SNR margin 2.8 dB, below 3 dB since 01:00.",
          "80 L: SNR margin back / SNR margin at or above 3 dB again since 01:01."}},
        {"within the cooldown only a margin 1 dB lower fires again, and a silent one ends silently",
         run(0, 40, 2.5f) + run(50, 100, 6) + run(600, 700, 1.6f) + run(710, 800, 6) + run(1000, 1100, 1.5f),
         1100,
         3600,
         {"20 L: SNR margin low / SNR margin 2.5 dB, below 3 dB since 01:00.",
          "70 L: SNR margin back / SNR margin at or above 3 dB again since 01:00.",
          "1020 L: SNR margin low / SNR margin 1.5 dB, below 3 dB since 01:16."}},
        {"a rate fires again within the cooldown only 10% lower",
         run(0, 30, 10, 1800) + run(40, 90, 10, 2500) + run(200, 250, 10, 1630) + run(260, 300, 10, 2500) +
             run(400, 450, 10, 1620),
         450,
         3600,
         {"20 L: downstream rate low / Downstream 1800 kbit/s, below 2000 kbit/s since 01:00.",
          "60 L: downstream rate back / Downstream at or above 2000 kbit/s again since 01:00.",
          "420 L: downstream rate low / Downstream 1620 kbit/s, below 2000 kbit/s since 01:06."}},
        {"a short drop is quiet; a long one, failed reconnects included, is one alert and one recovery",
         ev(0, HK_CONNECTED) + drop(50, 60) + ev(100, HK_DROPPED) + ev(130, HK_CONNECT_FAILED) +
             ev(200, HK_CONNECTED),
         300,
         3600,
         {"120 L: connection lost / No connection to the server since 01:01.",
          "220 L: connection back / Connected again since 01:03."}},
        {"watching that starts over while the connection is lost ends it without a recovery",
         ev(0, HK_CONNECTED) + ev(10, HK_DROPPED) + ev(100, HK_PROGRAM_STARTED),
         200,
         3600,
         {"30 L: connection lost / No connection to the server since 01:00."}},
        {"a margin pending when the line drops has not held",
         ev(0, HK_CONNECTED) + run(1, 11, 2) + drop(15, 16) + run(17, 47, 2),
         47,
         3600,
         {"37 L: SNR margin low / SNR margin 2.0 dB, below 3 dB since 01:00."}},
        {"the drop beyond three in an hour is one unstable alert that silences the drops until stable",
         drop(0, 30) + drop(100, 130) + drop(200, 230) + drop(300, 330) + drop(400, 430),
         3800,
         0,
         {"20 L: connection lost / No connection to the server since 01:00.",
          "50 L: connection back / Connected again since 01:00.",
          "120 L: connection lost / No connection to the server since 01:01.",
          "150 L: connection back / Connected again since 01:02.",
          "220 L: connection lost / No connection to the server since 01:03.",
          "250 L: connection back / Connected again since 01:03.",
          "300 L: line unstable / Line unstable: 4 drops in the last hour.",
          "3720 L: line stable again / Line stable again: at most 3 drops in the last hour."}},
    };
    for (const Case& c : cases) EXPECT_EQ(play(c.recs, c.end, c.cooldown_s), c.want) << c.name;
}

}  // namespace
