#pragma once
// FILETIME (100-ns ticks since 1601-01-01) to calendar fields, as FileTimeToSystemTime does:
// values with the top bit set cannot be converted.
#include <cstdint>

namespace Vorlaq {

struct CalendarTime {
    int year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

bool FileTimeToCalendar(uint64_t filetime, CalendarTime* out);

}  // namespace Vorlaq
