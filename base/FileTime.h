#pragma once
// FILETIME (100-ns ticks since 1601-01-01) to calendar fields, as FileTimeToSystemTime does:
// values with the top bit set cannot be converted.
#include <cstdint>

namespace Vorlaq {

// A file's four times as its record stores them (UTC FILETIME); 0 where there is none.
struct StandardTimes {
    uint64_t created = 0;
    uint64_t modified = 0;
    uint64_t changed = 0;  // the record's last change
    uint64_t accessed = 0;
};

struct CalendarTime {
    int year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

bool FileTimeToCalendar(uint64_t filetime, CalendarTime* out);

}  // namespace Vorlaq
