// The history's files: one CSV file a local day in the history folder, UTF-8,
// RFC 4180 quoting, appended a line at a time; read back tolerating what a user
// or a power cut may leave (a torn last line, lines that do not parse).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/history_record.h"

inline constexpr const char* HISTORY_FOLDER = "vyx_history";
inline constexpr const char* HISTORY_HEADER = "time,kind,dn_kbps,up_kbps,snrm_db,warning,detail\r\n";

// Days since 1970-01-01 of a local time counted as seconds (floor, also before 1970).
std::int64_t history_local_day(std::int64_t local_seconds);
// "YYYY-MM-DD" of a day number.
std::string history_day_name(std::int64_t day);
// "YYYY-MM-DDTHH:MM:SS+HH:MM" of a moment and its offset.
std::string history_time_text(std::int64_t utc, int offset_s);

// A margin text as a number ("6.1", "-0.5", "12"); NaN for anything else. By
// hand, because the C library's conversions follow the user's decimal comma.
float history_margin(std::string_view text);

// The server's 8-bit text as valid UTF-8 (what already is stays, other bytes
// are read as Windows-1252).
std::string history_utf8(std::string_view text);

// One file line, CRLF-ended, every text field quoted when it holds a comma, a
// quote, CR or LF (and made valid UTF-8 from the server's 8-bit text).
std::string history_csv_line(const HistoryLine& line);

// Appends lines to the day's file of their local time, opening the next day's
// file when the day changes and writing the header into a new file. A file
// whose last line was torn is first ended, so the torn line cannot spoil the
// new one. All calls after a failure return false until reopened by a new
// writer.
class HistoryWriter {
   public:
    explicit HistoryWriter(std::string folder) : folder_(std::move(folder)) {}
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;
    bool append(const HistoryLine& line);  // false when the line could not be written
    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }  // one line saying what failed

   private:
    std::string folder_;
    int file_ = 0;
    std::int64_t day_ = INT64_MIN;
    bool failed_ = false;
    std::string error_;
};

// Adds the entries of one file's text to data (in file order). The header, a
// torn last line (no line end) and lines that do not parse are skipped.
void history_parse(std::string_view text, HistoryData& data);
// Reads the day files of the folder that can hold entries in [from_utc, to_utc)
// into data, ascending by time, entries outside the range left out.
void history_load(const std::string& folder, std::int64_t from_utc, std::int64_t to_utc, HistoryData& data);
// Deletes the day files older than keep_days before today (local day number).
// Other files in the folder are left alone.
void history_prune(const std::string& folder, std::int64_t today, int keep_days);
