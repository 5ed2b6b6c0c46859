#include "scan/DisplayText.h"

#include "base/FileTime.h"
#include "base/WideFormat.h"

namespace Vorlaq {

std::wstring FormatUInt64(uint64_t value) { return FormatWide(L"%I64u", value); }

std::wstring FormatFileSize(uint64_t bytes) {
    if (bytes == 0) return L"0";
    if (bytes < 1024) return FormatWide(L"%d Bytes", static_cast<int>(bytes));
    double x = static_cast<double>(bytes) / 1024.0;
    if (x < 1024.0) return FormatWide(L"%.2f KB", x);
    x /= 1024.0;
    if (x < 1024.0) return FormatWide(L"%.2f MB", x);
    x /= 1024.0;
    return FormatWide(L"%.2f GB", x);
}

std::wstring FormatFileTime(uint64_t filetime) {
    CalendarTime t;
    if (!FileTimeToCalendar(filetime, &t)) t = CalendarTime{};
    return FormatWide(L"%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
}

}  // namespace Vorlaq
