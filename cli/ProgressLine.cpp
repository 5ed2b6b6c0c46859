#include "cli/ProgressLine.h"

#include <cmath>

#include "base/WideFormat.h"

namespace Vorlaq {

namespace {
// Beyond this many seconds (about 30 years) an estimate means nothing.
constexpr double kLongestEstimate = 1e9;
}  // namespace

std::wstring ProgressLine::DurationText(double seconds) {
    if (!(seconds < kLongestEstimate)) return L"--:--";  // also NaN
    uint64_t s = seconds > 0 ? static_cast<uint64_t>(seconds + 0.5) : 0;
    if (s >= 3600) return FormatWide(L"%I64u:%02u:%02u", s / 3600, static_cast<uint32_t>(s / 60 % 60),
                                     static_cast<uint32_t>(s % 60));
    return FormatWide(L"%I64u:%02u", s / 60, static_cast<uint32_t>(s % 60));
}

std::wstring ProgressLine::Text(double percent, double seconds, uint64_t found) const {
    if (!(percent >= 0)) percent = 0;  // also catches NaN
    if (percent > 100) percent = 100;
    double walked = static_cast<double>(records_) * percent / 100.0;
    std::wstring rate = L"-";
    std::wstring left = L"--:--";
    if (seconds >= 1.0 && walked >= 1.0) {
        double perSecond = walked / seconds;
        rate = FormatWide(L"%.0f", perSecond);
        left = DurationText((static_cast<double>(records_) - walked) / perSecond);
    }
    double shown = std::floor(percent * 10) / 10;  // 99.96 is not shown as a finished 100.0
    return FormatWide(L"%6.1f%%   %s records/s   %I64u files found   %s left", shown, rate, found, left);
}

}  // namespace Vorlaq
