// Wall clock, true time, sleeping and leaving the process.
// The hard part is the clock's meaning: the program mostly wants local time
// as a plain count of seconds (as if local time were UTC), so the calendar
// arithmetic is done here; the local offset at a moment is that same count
// for the moment's local time minus the moment itself.

#include "platform/win32/internal.h"

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long days_from_civil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - static_cast<int>(era * 400);                 // [0, 399]
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;  // [0, 365]
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // [0, 146096]
    return era * 146097 + doe - 719468;
}

long long civil_seconds(const SYSTEMTIME& t) {
    return days_from_civil(t.wYear, t.wMonth, t.wDay) * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

// FILETIME counts 100 ns steps from 1601-01-01.
constexpr long long FILETIME_PER_SECOND = 10'000'000;
constexpr long long FILETIME_AT_1970 = 116'444'736'000'000'000;

}  // namespace

int seconds_clock() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return static_cast<int>(civil_seconds(t));
}

long long utc_seconds() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const long long ticks =
        static_cast<long long>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    return (ticks - FILETIME_AT_1970) / FILETIME_PER_SECOND;
}

int utc_offset_seconds(long long utc) {
    const auto ticks = static_cast<ULONGLONG>(utc * FILETIME_PER_SECOND + FILETIME_AT_1970);
    const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME at, local;
    if (utc < 0 || !FileTimeToSystemTime(&ft, &at) || !SystemTimeToTzSpecificLocalTime(nullptr, &at, &local))
        return 0;
    return static_cast<int>(civil_seconds(local) - civil_seconds(at));
}

long long elapsed_ms() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 1000;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<long long>(now.QuadPart / frequency * 1000 +
                                  now.QuadPart % frequency * 1000 / frequency);
}

// Sleep(n) lasts at least one timer tick (15.6 ms by default), whatever n is.
void sleep_ms(int ms) { Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0); }

void exit_process(int code) { ExitProcess(static_cast<UINT>(code)); }
