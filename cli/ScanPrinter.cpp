#include "cli/ScanPrinter.h"

#include <algorithm>
#include <array>
#include <vector>

#include "cli/FieldText.h"

namespace Vorlaq {

namespace {

constexpr size_t kColumns = 7;
using Row = std::array<std::wstring, kColumns>;

class TablePrinter : public ScanPrinter {
public:
    explicit TablePrinter(Console& console) : console_(console) {}

    void Add(const DeletedFileInfo& file) override {
        rows_.push_back(Row{file.GetRecordNumberText(), EscapeControls(file.GetName()),
                            EscapeControls(file.GetPath()), EscapeControls(file.GetType()), file.GetSizeText(),
                            file.GetModifiedTimeText(), file.GetCreationTimeText()});
    }

    void Finish() override {
        static const Row kTitles = {L"Index", L"Name", L"Path", L"Type", L"Size", L"Modified Time",
                                    L"Creation Time"};
        // One very long name or path must not push every other row across the screen: the
        // padding stops at these widths and longer cells simply run over.
        static const size_t kMaxWidth[kColumns] = {20, 40, 60, 8, 12, 16, 16};
        static const bool kRight[kColumns] = {true, false, false, false, true, false, false};
        size_t width[kColumns];
        for (size_t c = 0; c < kColumns; ++c) {
            width[c] = kTitles[c].size();
            for (const Row& row : rows_) width[c] = std::max(width[c], std::min(row[c].size(), kMaxWidth[c]));
        }
        auto line = [&](const Row& row) {
            std::wstring text;
            for (size_t c = 0; c < kColumns; ++c) {
                size_t fill = row[c].size() < width[c] ? width[c] - row[c].size() : 0;
                if (kRight[c]) text.append(fill, L' ');
                text += row[c];
                if (c + 1 == kColumns) break;
                if (!kRight[c]) text.append(fill, L' ');
                text += L"  ";
            }
            while (!text.empty() && text.back() == L' ') text.pop_back();
            text += L'\n';
            console_.Out(text);
        };
        line(kTitles);
        for (const Row& row : rows_) line(row);
        rows_.clear();
        console_.Flush();
    }

private:
    Console& console_;
    std::vector<Row> rows_;
};

class TsvPrinter : public ScanPrinter {
public:
    explicit TsvPrinter(Console& console) : console_(console), utcOffset_(LocalUtcOffsetSeconds()) {
        console_.Out(L"record\tname\tpath\ttype\tsize\tmodified\tcreated\n");
    }

    void Add(const DeletedFileInfo& file) override {
        row_.clear();
        AppendDecimal(row_, file.GetRecordNumber());
        row_ += L'\t';
        AppendEscapedControls(row_, file.GetName());
        row_ += L'\t';
        AppendEscapedControls(row_, file.GetPath());
        row_ += L'\t';
        AppendEscapedControls(row_, file.GetType());
        row_ += L'\t';
        AppendDecimal(row_, file.GetSize());
        row_ += L'\t';
        AppendIsoTime(row_, file.GetModifiedTime(), utcOffset_);
        row_ += L'\t';
        AppendIsoTime(row_, file.GetCreationTime(), utcOffset_);
        row_ += L'\n';
        console_.Out(row_);
    }

    void Finish() override { console_.Flush(); }

private:
    Console& console_;
    int64_t utcOffset_;
    std::wstring row_;
};

class JsonPrinter : public ScanPrinter {
public:
    explicit JsonPrinter(Console& console) : console_(console), utcOffset_(LocalUtcOffsetSeconds()) {}

    void Add(const DeletedFileInfo& file) override {
        row_.assign(L"{\"record\":");
        AppendDecimal(row_, file.GetRecordNumber());
        row_ += L",\"name\":";
        AppendJsonString(row_, file.GetName());
        row_ += L",\"path\":";
        AppendJsonString(row_, file.GetPath());
        row_ += L",\"type\":";
        AppendJsonString(row_, file.GetType());
        row_ += L",\"size\":";
        AppendDecimal(row_, file.GetSize());
        row_ += L",\"modified\":";
        AppendTime(file.GetModifiedTime());
        row_ += L",\"created\":";
        AppendTime(file.GetCreationTime());
        row_ += L",\"accessed\":";
        AppendTime(file.GetAccessTime());
        row_ += L"}\n";
        console_.Out(row_);
    }

    void Finish() override { console_.Flush(); }

private:
    void AppendTime(uint64_t filetime) {
        row_ += L'"';
        if (AppendIsoTime(row_, filetime, utcOffset_)) {
            row_ += L'"';
        } else {
            row_.pop_back();
            row_ += L"null";
        }
    }

    Console& console_;
    int64_t utcOffset_;
    std::wstring row_;
};

}  // namespace

std::unique_ptr<ScanPrinter> MakeScanPrinter(ScanFormat format, Console& console) {
    switch (format) {
    case ScanFormat::Tsv: return std::make_unique<TsvPrinter>(console);
    case ScanFormat::Json: return std::make_unique<JsonPrinter>(console);
    case ScanFormat::Table: break;
    }
    return std::make_unique<TablePrinter>(console);
}

}  // namespace Vorlaq
