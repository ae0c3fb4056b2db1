// The history's day files: written a line at a time, read back fast and
// tolerantly. Two hard parts. A line cut short by a power cut may have left a
// quoted field open, which would swallow every line after it; so the writer
// scans a file it reopens and, when it does not end where a line ends, first
// writes a few bytes that close and spoil the cut line whatever state it was
// left in. And 30 days of samples must load in a few tens of milliseconds:
// one pass over each file's bytes, fields as views, no allocation for a line
// that has no quoted field.
#include "monitor/history_store.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>

#include "platform/platform.h"

namespace {

constexpr std::int64_t DAY = 86400;
constexpr int FIELDS = 7;
// Follows a cut line: "#" is text in any field, the quote either closes an open
// field and is followed by "#", or stands inside an unquoted one; both make the
// line unreadable, and the line end after it is then surely the line's end.
constexpr std::string_view CUT_LINE_END = "#\"#\r\n";

// ---- Days ------------------------------------------------------------------

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// Day number of a proleptic Gregorian date, and back.
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = floor_div(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

struct Civil {
    std::int64_t y;
    int m, d;
};
Civil civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = floor_div(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2), m, static_cast<int>(doy - (153 * mp + 2) / 5 + 1)};
}

// The value of exactly `digits` decimal digits at s[at], -1 when they are not all digits.
int digits_at(std::string_view s, std::size_t at, int digits) {
    int v = 0;
    for (int i = 0; i < digits; ++i) {
        const unsigned c = static_cast<unsigned char>(s[at + i]) - '0';
        if (c > 9) return -1;
        v = v * 10 + static_cast<int>(c);
    }
    return v;
}

// Day number of "YYYY-MM-DD" at s[0]; false for anything else, 2026-02-30 too.
bool parse_date(std::string_view s, std::int64_t& day) {
    if (s.size() < 10 || s[4] != '-' || s[7] != '-') return false;
    const int y = digits_at(s, 0, 4), m = digits_at(s, 5, 2), d = digits_at(s, 8, 2);
    if (y < 0 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    day = days_from_civil(y, m, d);
    return civil_from_days(day).d == d;
}

// A day file's day from its name, which must be exactly "YYYY-MM-DD.csv".
bool day_of_file(std::string_view name, std::int64_t& day) {
    return name.size() == 14 && name.substr(10) == ".csv" && parse_date(name, day);
}

std::string day_file(const std::string& folder, std::int64_t day) {
    return folder + "/" + history_day_name(day) + ".csv";
}

// ---- Writing -----------------------------------------------------------------

// Windows-1252's letters at 0x80-0x9F; its five holes keep their Latin-1 place.
constexpr std::array<char16_t, 32> CP1252_HIGH = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Length of the well-formed UTF-8 sequence at s[i], 0 when there is none.
std::size_t utf8_length(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned lo = 0x80, hi = 0xBF;  // the bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned b = static_cast<unsigned char>(s[i + k]);
        if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) return 0;
    }
    return n;
}

// The server's text as UTF-8: what already is stays, any other byte is read as
// Windows-1252, the server's own code page.
void put_utf8(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        if (const std::size_t n = utf8_length(s, i)) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(s[i++]);
        const unsigned u = c < 0xA0 ? CP1252_HIGH[c - 0x80] : c;
        if (u < 0x800) {
            out += static_cast<char>(0xC0 | u >> 6);
        } else {
            out += static_cast<char>(0xE0 | u >> 12);
            out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
        }
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

void put_text(std::string& out, std::string_view s) {
    if (s.find_first_of(",\"\r\n") == std::string_view::npos) return put_utf8(out, s);
    out += '"';
    for (std::size_t at = 0;;) {
        const std::size_t quote = s.find('"', at);
        put_utf8(out, s.substr(at, quote - at));
        if (quote == std::string_view::npos) break;
        out += "\"\"";
        at = quote + 1;
    }
    out += '"';
}

// v in at least `width` digits, zeros in front.
void put_digits(std::string& out, std::int64_t v, int width) {
    char digits[24];
    int n = 0;
    std::uint64_t u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    while (n < width) digits[n++] = '0';
    if (v < 0) out += '-';
    while (n > 0) out += digits[--n];
}

void put_count(std::string& out, std::int64_t v) {
    if (v >= 0) put_digits(out, v, 1);
}

// ---- Reading -----------------------------------------------------------------

enum Scan { RECORD, BAD, CUT };

// One line's fields, as views into the text or, for a quoted field, into its
// own reused buffer.
struct Record {
    std::array<std::string_view, FIELDS> field;
    std::array<std::string, FIELDS> unquoted;
    int count = 0;
};

// From a fault at t[i]: the line is skipped up to the next line end.
Scan skip_bad(std::string_view t, std::size_t i, std::size_t& pos) {
    const std::size_t lf = t.find('\n', i);
    pos = lf == std::string_view::npos ? t.size() : lf + 1;
    return lf == std::string_view::npos ? CUT : BAD;
}

// Reads the line at pos and moves pos past it. CUT: the text ended first.
Scan next_record(std::string_view t, std::size_t& pos, Record& r) {
    const std::size_t n = t.size();
    std::size_t i = pos;
    r.count = 0;
    for (;;) {
        if (i < n && t[i] == '"') {
            std::string& s = r.unquoted[r.count];
            s.clear();
            for (++i;;) {
                const std::size_t quote = t.find('"', i);
                if (quote == std::string_view::npos) return pos = n, CUT;
                s.append(t.data() + i, quote - i);
                i = quote + 1;
                if (i >= n || t[i] != '"') break;
                s += '"';
                ++i;
            }
            r.field[r.count++] = s;
        } else {
            const std::size_t start = i;
            while (i < n && t[i] != ',' && t[i] != '\n' && t[i] != '\r' && t[i] != '"') ++i;
            if (i < n && t[i] == '"') return skip_bad(t, i, pos);
            r.field[r.count++] = t.substr(start, i - start);
        }
        if (i >= n) return pos = n, CUT;
        if (t[i] == ',' && r.count < FIELDS) {
            ++i;
            continue;
        }
        if (t[i] == '\r' && i + 1 < n && t[i + 1] == '\n') ++i;
        if (t[i] != '\n') return skip_bad(t, i, pos);
        pos = i + 1;
        return RECORD;
    }
}

// Whether a file's text ends where a line ends, so that a new line stands alone.
bool ends_clean(std::string_view text) {
    Record r;
    Scan last = RECORD;
    for (std::size_t pos = 0; pos < text.size();) last = next_record(text, pos, r);
    return last != CUT;
}

// "YYYY-MM-DDTHH:MM:SS+HH:MM" (or "Z") as seconds UTC, its date already read as day.
bool parse_time(std::string_view s, std::int64_t day, std::int64_t& utc) {
    if (s.size() < 20 || s[10] != 'T' || s[13] != ':' || s[16] != ':') return false;
    const int h = digits_at(s, 11, 2), m = digits_at(s, 14, 2), sec = digits_at(s, 17, 2);
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 60) return false;
    int offset = 0;
    if (s.size() == 20) {
        if (s[19] != 'Z') return false;
    } else {
        if (s.size() != 25 || (s[19] != '+' && s[19] != '-') || s[22] != ':') return false;
        const int oh = digits_at(s, 20, 2), om = digits_at(s, 23, 2);
        if (oh < 0 || oh > 23 || om < 0 || om > 59) return false;
        offset = (s[19] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    }
    utc = day * DAY + h * 3600 + m * 60 + sec - offset;
    return true;
}

// A count of kbit/s; empty is -1 (not known).
bool parse_count(std::string_view s, std::int32_t& v) {
    if (s.empty()) return v = -1, true;
    if (s.size() > 10) return false;
    std::int64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    v = static_cast<std::int32_t>(n);
    return n <= INT32_MAX;
}

bool parse_kind(std::string_view s, HistoryKind& kind) {
    for (int k = 0; k < HK_COUNT; ++k)
        if (s == HISTORY_KIND_NAMES[k]) return kind = static_cast<HistoryKind>(k), true;
    return false;
}

// Reads files into one HistoryData, its details interned across all of them.
class Reader {
   public:
    Reader(HistoryData& data, std::int64_t from, std::int64_t to) : data_(data), from_(from), to_(to) {}

    void parse(std::string_view text) {
        for (std::size_t pos = 0; pos < text.size();) {
            HistoryEntry e;
            if (next_record(text, pos, record_) == RECORD && entry(e)) data_.entries.push_back(e);
        }
    }

   private:
    bool entry(HistoryEntry& e) {
        const auto& f = record_.field;
        if (record_.count != FIELDS || !time(f[0], e.utc) || e.utc < from_ || e.utc >= to_ ||
            !parse_kind(f[1], e.kind) || !parse_count(f[2], e.dn_kbps) || !parse_count(f[3], e.up_kbps))
            return false;
        if (f[5].size() > 1 || (f[5].size() == 1 && f[5][0] != '0' && f[5][0] != '1')) return false;
        e.warning = static_cast<std::int8_t>(f[5].empty() ? -1 : f[5][0] - '0');
        e.snrm_db = history_margin(f[4]);
        e.detail = f[6].empty() ? 0 : intern(f[6]);
        return true;
    }

    // Lines of a day share their date: it is worked out once.
    bool time(std::string_view s, std::int64_t& utc) {
        if (!dated_ || s.size() < 20 || s.substr(0, 10) != std::string_view(date_, 10)) {
            std::int64_t day = 0;
            if (!parse_date(s, day)) return false;
            s.copy(date_, 10);
            date_day_ = day, dated_ = true;
        }
        return parse_time(s, date_day_, utc);
    }

    std::uint32_t intern(std::string_view detail) {
        if (index_.empty())
            for (std::size_t i = 0; i < data_.details.size(); ++i)
                index_.emplace(data_.details[i], static_cast<std::uint32_t>(i));
        const auto [at, added] = index_.emplace(detail, static_cast<std::uint32_t>(data_.details.size()));
        if (added) data_.details.emplace_back(detail);
        return at->second;
    }

    HistoryData& data_;
    std::int64_t from_, to_;
    Record record_;
    char date_[10] = {};
    std::int64_t date_day_ = 0;
    bool dated_ = false;
    std::unordered_map<std::string, std::uint32_t> index_;
};

// Larger than any day's file: a sample every second is 5 MiB.
constexpr long long LARGEST_FILE = 64 << 20;

// The whole of a file, in one read into a reused buffer. Only what its size
// says is read, so a device under a day file's name cannot feed it for ever.
bool read_whole(const std::string& name, std::string& text) {
    const int file = file_open(name, FILE_READ);
    const long long size = file_size(file);
    bool ok = size >= 0 && size <= LARGEST_FILE;
    text.resize(ok ? static_cast<std::size_t>(size) : 0);
    for (std::size_t used = 0, n = 0; ok && used < text.size(); used += n) {
        n = static_cast<std::size_t>(
            std::max(0, file_read(file, text.data() + used, static_cast<int>(text.size() - used))));
        ok = n > 0;
    }
    file_close(file);
    return ok;
}

}  // namespace

std::string history_utf8(std::string_view text) {
    std::string out;
    put_utf8(out, text);
    return out;
}

// A decimal number ("6.1", "-0.5", "12"); anything else is NaN. Done by hand
// because the C library's conversions follow the user's decimal comma.
float history_margin(std::string_view s) {
    const bool minus = !s.empty() && (s[0] == '-' || s[0] == '+');
    const bool negative = minus && s[0] == '-';
    if (minus) s.remove_prefix(1);
    std::int64_t mantissa = 0;
    int digits = 0, scale = 0;
    bool point = false;
    for (char c : s) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 17) return NAN;  // no margin has that many
            mantissa = mantissa * 10 + (c - '0');
            scale += point;
        } else {
            return NAN;
        }
    }
    if (digits == 0) return NAN;
    constexpr double TENS[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                               1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
    const double v = static_cast<double>(mantissa) / TENS[scale];
    return static_cast<float>(negative ? -v : v);
}

std::int64_t history_local_day(std::int64_t local_seconds) { return floor_div(local_seconds, DAY); }

std::string history_day_name(std::int64_t day) {
    const Civil c = civil_from_days(day);
    std::string out;
    put_digits(out, c.y, 4);
    out += '-';
    put_digits(out, c.m, 2);
    out += '-';
    put_digits(out, c.d, 2);
    return out;
}

std::string history_time_text(std::int64_t utc, int offset_s) {
    const std::int64_t local = utc + offset_s, day = history_local_day(local), s = local - day * DAY;
    const int off = offset_s < 0 ? -offset_s : offset_s;
    std::string out = history_day_name(day);
    const std::pair<char, std::int64_t> parts[] = {{'T', s / 3600},
                                                   {':', s / 60 % 60},
                                                   {':', s % 60},
                                                   {offset_s < 0 ? '-' : '+', off / 3600},
                                                   {':', off / 60 % 60}};
    for (const auto& [before, value] : parts) {
        out += before;
        put_digits(out, value, 2);
    }
    return out;
}

std::string history_csv_line(const HistoryLine& line) {
    std::string out = history_time_text(line.utc, line.offset_s);
    out += ',';
    out += line.kind < HK_COUNT ? HISTORY_KIND_NAMES[line.kind] : "";
    out += ',';
    put_count(out, line.dn_kbps);
    out += ',';
    put_count(out, line.up_kbps);
    out += ',';
    put_text(out, line.snrm);
    out += ',';
    put_count(out, line.warning);
    out += ',';
    put_text(out, line.detail);
    out += "\r\n";
    return out;
}

HistoryWriter::~HistoryWriter() { file_close(file_); }

bool HistoryWriter::append(const HistoryLine& line) {
    if (failed_) return false;
    const std::int64_t day = history_local_day(line.utc + line.offset_s);
    const std::string name = day_file(folder_, day);
    const auto stop = [&](const std::string& what) {
        file_close(file_);
        file_ = 0;
        failed_ = true;
        error_ = "History stopped: " + what + ".";
        return false;
    };
    if (file_ == 0 || day != day_) {
        file_close(file_);
        file_ = 0;
        if (!make_folder(folder_)) return stop("the folder " + folder_ + " cannot be made");
        std::string old;
        const bool read = read_whole(name, old);
        file_ = file_open(name, FILE_APPEND);
        if (file_ == 0) return stop(name + " cannot be written");
        day_ = day;
        const long long size = file_size(file_);
        // A file that could not be read back may also end in a cut line.
        const std::string_view start = size == 0 ? HISTORY_HEADER
                                       : read && size == static_cast<long long>(old.size()) && ends_clean(old)
                                           ? ""
                                           : CUT_LINE_END;
        if (!start.empty() &&
            file_write(file_, start.data(), static_cast<int>(start.size())) != static_cast<int>(start.size()))
            return stop(name + " cannot be written");
    }
    const std::string text = history_csv_line(line);
    if (file_write(file_, text.data(), static_cast<int>(text.size())) != static_cast<int>(text.size()))
        return stop(name + " cannot be written");
    return true;
}

void history_parse(std::string_view text, HistoryData& data) {
    Reader(data, INT64_MIN, INT64_MAX).parse(text);
}

void history_load(const std::string& folder, std::int64_t from_utc, std::int64_t to_utc, HistoryData& data) {
    if (from_utc >= to_utc) return;
    // A file is a local day; offsets reach from -12 h to +14 h, so one day either side.
    const std::int64_t first_day = history_local_day(from_utc) - 1,
                       last_day = history_local_day(to_utc - 1) + 1;
    std::vector<std::int64_t> days;
    for (const std::string& name : list_folder(folder)) {
        std::int64_t day = 0;
        if (day_of_file(name, day) && day >= first_day && day <= last_day) days.push_back(day);
    }
    std::sort(days.begin(), days.end());
    const std::size_t first = data.entries.size();
    Reader reader(data, from_utc, to_utc);
    std::string text;
    // Room for as many lines as the files can hold (none is shorter than 38
    // bytes), made once: moving 8 MiB of entries as they grow, into memory the
    // system must first hand out page by page, costs more than the reading.
    long long bytes = 0;
    for (std::int64_t day : days) {
        const int file = file_open(day_file(folder, day), FILE_READ);
        bytes += std::clamp(file_size(file), 0LL, LARGEST_FILE);
        file_close(file);
    }
    data.entries.reserve(first + static_cast<std::size_t>(bytes / 38));
    for (std::int64_t day : days)
        if (read_whole(day_file(folder, day), text)) reader.parse(text);
    const auto by_time = [](const HistoryEntry& a, const HistoryEntry& b) { return a.utc < b.utc; };
    const auto begin = data.entries.begin() + static_cast<std::ptrdiff_t>(first);
    if (!std::is_sorted(begin, data.entries.end(), by_time))
        std::stable_sort(begin, data.entries.end(), by_time);
}

void history_prune(const std::string& folder, std::int64_t today, int keep_days) {
    for (const std::string& name : list_folder(folder)) {
        std::int64_t day = 0;
        if (day_of_file(name, day) && day < today - keep_days) file_delete(folder + "/" + name);
    }
}
