#include "cli/BodyPrinter.h"

#include "cli/FieldText.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kFileTimePerSecond = 10000000;
constexpr uint64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

uint64_t UnixSeconds(uint64_t filetime) {
    const uint64_t seconds = filetime / kFileTimePerSecond;
    return seconds > kUnixEpochSeconds ? seconds - kUnixEpochSeconds : 0;
}

class BodyPrinter : public ScanPrinter {
public:
    explicit BodyPrinter(Console& console) : console_(console) {}

    void Add(const DeletedFileInfo& file) override {
        row_.assign(L"0|");
        // The field separator inside a name would shift every field after it.
        std::wstring path = file.GetPath() + file.GetName();
        for (wchar_t& c : path)
            if (c == L'\\') c = L'/';
        for (wchar_t c : EscapeControls(path)) {
            if (c == L'|') row_ += L"\\x7c";
            else row_ += c;
        }
        row_ += L'|';
        // A name found only in traces has no record: inode 0, as that kit writes for an index
        // entry left without one (mactime takes digits only there).
        AppendDecimal(row_, file.IsTrace() ? 0 : file.GetRecordNumber());
        row_ += file.IsReadOnly() ? L"|-/rr-xr-xr-x|0|0|" : L"|-/rrwxrwxrwx|0|0|";
        AppendDecimal(row_, file.GetSize());
        const StandardTimes times = file.GetStandardTimes();
        for (uint64_t time : {times.accessed, times.modified, times.changed, times.created}) {
            row_ += L'|';
            AppendDecimal(row_, UnixSeconds(time));
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
