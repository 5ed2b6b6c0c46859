#include "base/FileTime.h"

namespace Vorlaq {

bool FileTimeToCalendar(uint64_t filetime, CalendarTime* out) {
    if (!out || filetime > 0x7FFFFFFFFFFFFFFFull) return false;
    const uint64_t ticksPerSecond = 10000000ull;
    uint64_t seconds = filetime / ticksPerSecond;
    uint64_t days = seconds / 86400;
    uint64_t rest = seconds % 86400;
    out->hour = static_cast<int>(rest / 3600);
    out->minute = static_cast<int>(rest % 3600 / 60);
    out->second = static_cast<int>(rest % 60);
    out->milliseconds = static_cast<int>(filetime % ticksPerSecond / 10000);
    out->dayOfWeek = static_cast<int>((days + 1) % 7);  // 1601-01-01 was a Monday
    // Civil date from days since 1601-01-01, which starts a 400-year Gregorian cycle.
    uint64_t cycles = days / 146097;
    uint64_t doc = days % 146097;
    uint64_t centuries = doc / 36524;
    if (centuries == 4) centuries = 3;
    doc -= centuries * 36524;
    uint64_t quads = doc / 1461;
    doc -= quads * 1461;
    uint64_t years = doc / 365;
    if (years == 4) years = 3;
    doc -= years * 365;
    uint64_t year = 1601 + cycles * 400 + centuries * 100 + quads * 4 + years;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    while (month < 12) {
        uint64_t length = static_cast<uint64_t>(kMonthDays[month] + (month == 1 && leap ? 1 : 0));
        if (doc < length) break;
        doc -= length;
        ++month;
    }
    out->year = static_cast<int>(year);
    out->month = month + 1;
    out->day = static_cast<int>(doc) + 1;
    return true;
}

}  // namespace Vorlaq
