// The history's day files on a real disk: what the server's texts, a power cut,
// midnight, a clock change, the retention and a failing disk leave in them.
#include <unistd.h>

#include <cmath>
#include <functional>

#include "monitor/history_store.h"
#include "tests/unit/fixture.h"

namespace {

namespace fs = std::filesystem;
using HistoryStoreTest = ProgramTest;

const std::string FOLDER = "vyx_history";
constexpr std::int64_t DEC8 = 1796770790;  // 2026-12-08T23:59:50+01:00

HistoryLine event(std::int64_t utc, HistoryKind kind, std::string snrm, std::string detail) {
    HistoryLine l;
    l.utc = utc, l.offset_s = 3600, l.kind = kind, l.snrm = std::move(snrm), l.detail = std::move(detail);
    return l;
}

// The values read back, in one comparable text: time, kind, rates, margin, warning, detail.
std::string seen(const HistoryData& d, const HistoryEntry& e) {
    return std::to_string(e.utc) + "|" + HISTORY_KIND_NAMES[e.kind] + "|" + std::to_string(e.dn_kbps) + "|" +
           std::to_string(e.up_kbps) + "|" + (std::isnan(e.snrm_db) ? "NaN" : std::to_string(e.snrm_db)) +
           "|" + std::to_string(e.warning) + "|" + std::string(d.detail(e));
}

TEST(HistoryCsvTest, ServerTextsComeBackAsTheyWereSentInUtf8) {
    // margin and detail as the server sent them; the line's text from the margin on; what is read back.
    const std::tuple<const char*, const char*, const char*, const char*, const char*> rows[] = {
        {"6.1", "", "6.1,,\r\n", "6.100000", ""},
        {"-0.5", "a,b", "-0.5,,\"a,b\"\r\n", "-0.500000", "a,b"},
        {"12", "say \"hi\"", "12,,\"say \"\"hi\"\"\"\r\n", "12.000000", "say \"hi\""},
        {"n/a", "two\r\nlines\nand\rmore", nullptr, "NaN", "two\r\nlines\nand\rmore"},
        {"6,1", "\"", "\"6,1\",,\"\"\"\"\r\n", "NaN", "\""},
        {"", "caf\xE9 \x80 \x9D", ",,caf\xC3\xA9 \xE2\x82\xAC \xC2\x9D\r\n", "NaN",
         "caf\xC3\xA9 \xE2\x82\xAC \xC2\x9D"},
        {"6.1 dB", "gr\xC3\xBC\xC3 \xED\xA0\x80", nullptr, "NaN",
         "gr\xC3\xBC\xC3\x83 \xC3\xAD\xC2\xA0\xE2\x82\xAC"},
    };
    for (const auto& [snrm, detail, tail, margin, read] : rows) {
        SCOPED_TRACE(detail);
        const std::string line = history_csv_line(event(DEC8, HK_DROPPED, snrm, detail));
        const std::string head = "2026-12-08T23:59:50+01:00,dropped,,,";
        EXPECT_EQ(line.substr(0, head.size()), head);
        if (tail) {
            EXPECT_EQ(line.substr(head.size()), tail);
        }
        HistoryData d;
        history_parse(HISTORY_HEADER + line + line, d);
        ASSERT_EQ(d.entries.size(), 2u);
        EXPECT_EQ(seen(d, d.entries[1]), std::to_string(DEC8) + "|dropped|-1|-1|" + margin + "|-1|" + read);
        EXPECT_EQ(d.entries[0].detail, d.entries[1].detail);  // one text, interned once
    }
}

TEST(HistoryCsvTest, LocalTimesWithTheirOffsetReadAsUtc) {
    const std::tuple<std::int64_t, int, const char*> rows[] = {
        {1774745990, 3600, "2026-03-29T01:59:50+01:00"},  // the last winter second... 10 s later, summer
        {1774746000, 7200, "2026-03-29T03:00:00+02:00"},
        {1792888200, 7200, "2026-10-25T02:30:00+02:00"},  // the hour that comes twice
        {1792891800, 3600, "2026-10-25T02:30:00+01:00"},
        {14400, -18000, "1969-12-31T23:00:00-05:00"},
        {0, 0, "1970-01-01T00:00:00+00:00"},
    };
    std::string file = HISTORY_HEADER;
    for (const auto& [utc, offset, text] : rows) {
        HistoryLine l;
        l.utc = utc, l.offset_s = offset, l.dn_kbps = 6091, l.up_kbps = 591, l.warning = 0;
        EXPECT_EQ(history_time_text(utc, offset), text);
        file += history_csv_line(l);
    }
    HistoryData d;
    history_parse(file, d);
    ASSERT_EQ(d.entries.size(), std::size(rows));
    for (std::size_t i = 0; i < d.entries.size(); ++i)
        EXPECT_EQ(seen(d, d.entries[i]), std::to_string(std::get<0>(rows[i])) + "|sample|6091|591|NaN|0|");
}

TEST_F(HistoryStoreTest, ACutLastLineIsSkippedAndSpoilsNoLineAfterIt) {
    const std::string good = history_csv_line(event(DEC8 - 60, HK_CONNECTED, "", ""));
    const char* cuts[] = {
        "",  // nothing cut: the next line follows directly
        "2026-12-08T23:58:00+01:00,sample,100,50,6.1,0,",
        "2026-12-08T23:58:00+01:00,dropped,,,,,\"pro",
        "2026-12-08T23:58:00+01:00,dropped,,,,,\"line\n",  // ends in LF, inside quotes
        "2026-12-08T23:58:00+01:00,dropped,,,,,\"say \"",
        "2026-12-08T23:58:00+01:00,sample,100,50,6.1,0,\r",
        "2026-12-08T23:58:00+01:00,samp",
    };
    for (const char* cut : cuts) {
        SCOPED_TRACE(cut);
        fs::create_directories(FOLDER);
        std::ofstream(FOLDER + "/2026-12-08.csv", std::ios::binary) << HISTORY_HEADER << good << cut;
        HistoryData before;
        history_parse(read_file(FOLDER + "/2026-12-08.csv"), before);
        EXPECT_EQ(before.entries.size(), 1u);
        {
            HistoryWriter writer(FOLDER);
            ASSERT_TRUE(writer.append(event(DEC8, HK_DROPPED, "", "probe")));
        }
        HistoryData after;
        history_parse(read_file(FOLDER + "/2026-12-08.csv"), after);
        ASSERT_EQ(after.entries.size(), 2u);
        EXPECT_EQ(seen(after, after.entries[1]), std::to_string(DEC8) + "|dropped|-1|-1|NaN|-1|probe");
        if (!*cut) {
            EXPECT_EQ(read_file(FOLDER + "/2026-12-08.csv"),
                      HISTORY_HEADER + good + history_csv_line(event(DEC8, HK_DROPPED, "", "probe")));
        }
        fs::remove_all(FOLDER);
    }
}

TEST_F(HistoryStoreTest, MidnightStartsTheNextDaysFileAndLoadKeepsTheRange) {
    HistoryWriter writer(FOLDER);
    for (std::int64_t utc : {DEC8 - 10, DEC8, DEC8 + 10, DEC8 + 20})
        ASSERT_TRUE(writer.append(event(utc, HK_SAMPLE, "6.1", "")));
    for (const char* day : {"2026-12-08", "2026-12-09"}) {
        const std::string text = read_file(FOLDER + "/" + day + ".csv");
        EXPECT_EQ(text.substr(0, text.find('\n') + 1), HISTORY_HEADER) << day;
        EXPECT_EQ(std::ranges::count(text, '\n'), 3) << day;
    }
    // A line in the day before's file, as a clock set back leaves it: out of order across the files.
    std::ofstream(FOLDER + "/2026-12-07.csv", std::ios::binary)
        << HISTORY_HEADER << "2026-12-08T23:59:55+01:00,sample,1,1,,,\r\n";
    const std::tuple<std::int64_t, std::int64_t, std::string> rows[] = {
        {DEC8 - 10, DEC8 + 20, "-10 0 5 10 "},  // to is left out
        {DEC8, DEC8 + 21, "0 5 10 20 "},
        {DEC8 - 86400, DEC8, "-10 "},
        {DEC8 + 20, DEC8 + 20, ""},
    };
    for (const auto& [from, to, times] : rows) {
        HistoryData d;
        history_load(FOLDER, from, to, d);
        std::string got;
        for (const HistoryEntry& e : d.entries) got += std::to_string(e.utc - DEC8) + " ";
        EXPECT_EQ(got, times) << from - DEC8 << " " << to - DEC8;
    }
}

TEST_F(HistoryStoreTest, RetentionDeletesOnlyOldDayFiles) {
    const std::pair<const char*, bool> rows[] = {
        {"2026-11-07.csv", false}, {"2025-12-31.csv", false}, {"2026-11-08.csv", true},
        {"2026-12-08.csv", true},  {"notes.txt", true},       {"2026-11-01.csv.bak", true},
        {"2026-1-01.csv", true},   {"2026-02-30.csv", true},  {"2026-11-01.CSV", true},
    };
    fs::create_directories(FOLDER + "/2026-11-02.csv");
    for (const auto& [name, kept] : rows) std::ofstream(FOLDER + "/" + name) << "x";
    history_prune(FOLDER, 20795, 30);  // today 2026-12-08
    for (const auto& [name, kept] : rows) EXPECT_EQ(fs::exists(FOLDER + "/" + name), kept) << name;
    EXPECT_TRUE(fs::is_directory(FOLDER + "/2026-11-02.csv"));
}

TEST_F(HistoryStoreTest, AFailingDiskStopsTheHistoryWithOneLine) {
    const std::string day = FOLDER + "/2026-12-08.csv";
    const std::tuple<const char*, std::function<void()>, std::string> rows[] = {
        {"a file stands where the folder goes", [] { std::ofstream(FOLDER) << "x"; },
         "the folder vyx_history cannot be made"},
        {"a folder stands where the day file goes", [&] { fs::create_directories(day); },
         day + " cannot be written"},
        {"the disk is full", [&] { fs::create_directories(FOLDER), fs::create_symlink("/dev/full", day); },
         day + " cannot be written"},
        {"the folder is read-only",
         [] { fs::create_directories(FOLDER), fs::permissions(FOLDER, fs::perms(0555)); },
         day + " cannot be written"},
    };
    for (const auto& [what, make, error] : rows) {
        SCOPED_TRACE(what);
        // Permissions do not stop root.
        if (std::string(what).find("read-only") != std::string::npos && ::geteuid() == 0) continue;
        make();
        HistoryWriter writer(FOLDER);
        EXPECT_FALSE(writer.append(event(DEC8, HK_CONNECTED, "", "")));
        EXPECT_EQ(std::tuple(writer.failed(), writer.error()),
                  std::tuple(true, "History stopped: " + error + "."));
        // Once stopped it stays stopped, even when the disk would take the line again.
        if (fs::is_directory(FOLDER)) fs::permissions(FOLDER, fs::perms(0755));
        fs::remove_all(FOLDER);
        EXPECT_FALSE(writer.append(event(DEC8, HK_CONNECTED, "", "")));
        EXPECT_FALSE(fs::exists(FOLDER));
    }
}

}  // namespace
