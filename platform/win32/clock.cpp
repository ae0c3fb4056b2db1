// Wall clock, sleeping and leaving the process.
// The hard part is the clock's meaning: the program wants local time as a
// plain count of seconds (as if local time were UTC), so the calendar
// arithmetic is done here instead of going through time zones.

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

}  // namespace

int seconds_clock() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    const long long days = days_from_civil(t.wYear, t.wMonth, t.wDay);
    return static_cast<int>(days * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond);
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
