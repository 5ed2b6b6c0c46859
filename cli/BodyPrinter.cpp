#include "cli/BodyPrinter.h"

#include <algorithm>

#include "cli/FieldText.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kFileTimePerSecond = 10000000;
constexpr uint64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

constexpr uint64_t kFileTimeYear10000 = 2650467744000000000;  // 10000-01-01, past what tsv shows

// Unix seconds, negative before 1970, so a timeline shows the date tsv shows; 0 where tsv shows
// none (no time recorded, or one past the year 9999 or with the top bit set).
void AppendUnixSeconds(std::wstring& out, uint64_t filetime) {
    if (filetime == 0 || filetime >= kFileTimeYear10000) {
        out += L'0';
        return;
    }
    const uint64_t seconds = filetime / kFileTimePerSecond;
    if (seconds >= kUnixEpochSeconds) {
        AppendDecimal(out, seconds - kUnixEpochSeconds);
    } else {
        out += L'-';
        AppendDecimal(out, kUnixEpochSeconds - seconds);
    }
}

// The body's path field: the folders with "/" between them, then the name. A "|" anywhere would
// split the line and a "/" inside the name would read as a folder: they are written as their \xHH
// escapes, as control characters are.
void AppendBodyPath(std::wstring& out, const std::wstring& folders, const std::wstring& name) {
    std::wstring slashed = folders;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    for (wchar_t c : EscapeControls(slashed)) {
        if (c == L'|') out += L"\\x7c";
        else out += c;
    }
    for (wchar_t c : EscapeControls(name)) {
        if (c == L'|') out += L"\\x7c";
        else if (c == L'/') out += L"\\x2f";
        else out += c;
    }
}

class BodyPrinter : public ScanPrinter {
public:
    explicit BodyPrinter(Console& console) : console_(console) {}

    void Add(const DeletedFileInfo& file) override {
        row_.assign(L"0|");
        AppendBodyPath(row_, file.GetPath(), file.GetName());
        row_ += L'|';
        // A name found only in traces has no record: inode 0, as that kit writes for an index
        // entry left without one (mactime takes digits only there).
        AppendDecimal(row_, file.IsTrace() ? 0 : file.GetRecordNumber());
        row_ += file.IsReadOnly() ? L"|-/rr-xr-xr-x|0|0|" : L"|-/rrwxrwxrwx|0|0|";
        AppendDecimal(row_, file.GetSize());
        const StandardTimes times = file.GetStandardTimes();
        for (uint64_t time : {times.accessed, times.modified, times.changed, times.created}) {
            row_ += L'|';
            AppendUnixSeconds(row_, time);
        }
        row_ += L'\n';
        console_.Out(row_);
    }

    void Finish() override { console_.Flush(); }

private:
    Console& console_;
    std::wstring row_;
};

}  // namespace

std::unique_ptr<ScanPrinter> MakeBodyPrinter(Console& console) { return std::make_unique<BodyPrinter>(console); }

}  // namespace Vorlaq
