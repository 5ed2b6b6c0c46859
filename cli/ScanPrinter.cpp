#include "cli/ScanPrinter.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "base/Utf16.h"
#include "cli/BodyPrinter.h"
#include "cli/FieldText.h"
#include "cli/ShadowCopyStep.h"
#include "scan/OriginalPlace.h"
#include "scan/TraceSources.h"

namespace Vorlaq {

namespace {

constexpr size_t kColumns = 9;  // Recoverable and Found In only when asked for
using Row = std::array<std::wstring, kColumns>;

// The recoverability of the row before comes back as it was: most rows repeat it, and its text
// need not be made again for each.
class RecoverabilityWords {
public:
    const std::wstring& Of(const Recoverability& value) {
        if (value != last_) {
            last_ = value;
            text_ = RecoverabilityText(value);
        }
        return text_;
    }

private:
    Recoverability last_;
    std::wstring text_ = RecoverabilityText(last_);
};

// The table is laid out once every width is known, so its rows wait in memory: each one as a
// single UTF-8 text with its cells separated by tabs (an escaped cell holds none), which keeps a
// million-record volume's listing to a fraction of what seven wide strings a row would take.
class TablePrinter : public ScanPrinter {
public:
    TablePrinter(Console& console, bool recoverable, bool traces, bool deep)
        : console_(console), columns_(7 + (recoverable ? 1 : 0) + (traces || deep ? 1 : 0)), traces_(traces), deep_(deep) {
        titles_ = {L"Index", L"Name", L"Path", L"Type", L"Size", L"Modified Time", L"Creation Time", L"Recoverable"};
        if (traces_) titles_[columns_ - 1] = L"Found In";
        if (deep_) titles_[columns_ - 1] = L"Old MFT";
        for (size_t c = 0; c < kColumns; ++c) width_[c] = titles_[c].size();
    }

    void Add(const DeletedFileInfo& file) override {
        Row row{file.GetShadowCopy() ? ShadowFileId(file) : file.GetRecordNumberText(), EscapeControls(file.GetName()), EscapeControls(file.GetPath()),
                EscapeControls(file.GetType()), file.GetSizeText(), file.GetModifiedTimeText(),
                file.GetCreationTimeText(), RecoverabilityText(file.GetRecoverability())};
        // A name found only in traces says where; a file of its own record leaves the cell empty.
        if (traces_) row[columns_ - 1] = TraceSourcesText(file.GetTraceSources());
        if (deep_ && file.IsFromOldMft()) row[columns_ - 1] = L"yes";
        // A file from an emptied Recycle Bin shows where it was before, marked as such.
        if (const std::optional<OriginalPlace> place = GetOriginalPlace(file)) {
            row[1] = EscapeControls(place->name);
            row[2] = EscapeControls(place->folder) + L" (bin)";
        }
        std::wstring joined;
        for (size_t c = 0; c < columns_; ++c) {
            width_[c] = std::max(width_[c], std::min(row[c].size(), kMaxWidth[c]));
            if (c) joined += L'\t';
            joined += row[c];
        }
        rows_.push_back(WideToUtf8(joined));
    }

    void Finish() override {
        Line(titles_);
        for (std::string& stored : rows_) {
            std::wstring joined = Utf8ToWide(stored);
            std::string().swap(stored);
            Row row;
            size_t begin = 0;
            for (size_t c = 0; c < columns_; ++c) {
                size_t end = c + 1 < columns_ ? joined.find(L'\t', begin) : joined.size();
                if (end == std::wstring::npos) end = joined.size();
                row[c] = joined.substr(begin, end - begin);
                begin = end < joined.size() ? end + 1 : end;
            }
            Line(row);
        }
        rows_.clear();
        console_.Flush();
    }

private:
    // One very long name or path must not push every other row across the screen: the padding
    // stops at these widths and longer cells simply run over.
    static constexpr size_t kMaxWidth[kColumns] = {20, 40, 60, 8, 12, 16, 16, 11, 30};
    static constexpr bool kRight[kColumns] = {true, false, false, false, true, false, false, false, false};

    void Line(const Row& row) {
        std::wstring text;
        for (size_t c = 0; c < columns_; ++c) {
            size_t fill = row[c].size() < width_[c] ? width_[c] - row[c].size() : 0;
            if (kRight[c]) text.append(fill, L' ');
            text += row[c];
            if (c + 1 == columns_) break;
            if (!kRight[c]) text.append(fill, L' ');
            text += L"  ";
        }
        while (!text.empty() && text.back() == L' ') text.pop_back();
        text += L'\n';
        console_.Out(text);
    }

    Console& console_;
    size_t columns_;
    bool traces_;
    bool deep_;
    Row titles_;
    size_t width_[kColumns];
    std::vector<std::string> rows_;
};

class TsvPrinter : public ScanPrinter {
public:
    TsvPrinter(Console& console, bool recoverable, bool shadowCopies, bool traces, bool deep)
        : console_(console), times_(LocalUtcOffsetSeconds()), recoverable_(recoverable), shadowCopies_(shadowCopies),
          traces_(traces), deep_(deep) {}

    void Add(const DeletedFileInfo& file) override {
        Header();
        row_.clear();
        if (file.IsFromOldMft()) {
            row_ += '@';
            AppendDecimal(row_, file.GetOldPosition());
        } else {
            if (file.IsTrace()) row_ += 'T';
            AppendDecimal(row_, file.GetRecordNumber());
        }
        row_ += '\t';
        AppendTsvField(row_, file.GetName());
        row_ += '\t';
        AppendPath(file);
        row_ += '\t';
        AppendTsvField(row_, file.GetType());
        row_ += '\t';
        AppendDecimal(row_, file.GetSize());
        row_ += '\t';
        times_.Append(row_, file.GetModifiedTime());
        row_ += '\t';
        times_.Append(row_, file.GetCreationTime());
        row_ += '\t';
        times_.Append(row_, file.GetAccessTime());
        if (recoverable_) {
            row_ += '\t';
            AppendTsvField(row_, recoverability_.Of(file.GetRecoverability()));
        }
        row_ += '\t';
        AppendTsvField(row_, file.GetOriginalPath());
        row_ += '\t';
        times_.Append(row_, file.GetDeletionTime());
        if (shadowCopies_) {
            row_ += '\t';
            if (file.GetShadowCopy()) AppendDecimal(row_, file.GetShadowCopy());
            row_ += '\t';
            times_.Append(row_, file.GetShadowCopyTime());
        }
        if (traces_) {
            row_ += '\t';
            AppendUtf8(row_, TraceSourcesText(file.GetTraceSources()));
        }
        if (deep_) row_ += file.IsFromOldMft() ? "\t1" : "\t0";
        row_ += '\n';
        console_.OutUtf8(row_);
    }

    void Finish() override {
        Header();
        console_.Flush();
    }

private:
    // Files of one folder come one after another, most often sharing one path text: the path's
    // field is escaped once for them, and the text is held anew only when it changes (its count
    // of holders is what the scan's thread changes for every file).
    void AppendPath(const DeletedFileInfo& file) {
        const std::shared_ptr<const std::wstring>& path = file.GetSharedPath();
        if (path != lastPath_) {
            if (!(path && lastPath_ && *path == *lastPath_)) {
                lastPathField_.clear();
                if (path) AppendTsvField(lastPathField_, *path);
            }
            lastPath_ = path;
        }
        row_ += lastPathField_;
    }

    // Written with the first row or at the end, so a scan that fails prints no half listing.
    void Header() {
        if (headerDone_) return;
        std::wstring header = recoverable_
                                  ? L"record\tname\tpath\ttype\tsize\tmodified\tcreated\taccessed\trecoverable\toriginal_path\tdeleted"
                                  : L"record\tname\tpath\ttype\tsize\tmodified\tcreated\taccessed\toriginal_path\tdeleted";
        console_.Out(header + (shadowCopies_ ? L"\tcopy\tcopy_created" : L"") + (traces_ ? L"\tfound_in" : L"") +
                     (deep_ ? L"\told_mft\n" : L"\n"));
        headerDone_ = true;
    }

    Console& console_;
    IsoTimeText times_;
    RecoverabilityWords recoverability_;
    bool recoverable_;
    bool shadowCopies_;
    bool traces_;
    bool deep_;
    std::string row_;  // UTF-8
    std::shared_ptr<const std::wstring> lastPath_;  // held, so that its address is not another's
    std::string lastPathField_;
    bool headerDone_ = false;
};

class JsonPrinter : public ScanPrinter {
public:
    JsonPrinter(Console& console, bool recoverable, bool shadowCopies, bool traces, bool deep)
        : console_(console), times_(LocalUtcOffsetSeconds()), recoverable_(recoverable), shadowCopies_(shadowCopies),
          traces_(traces), deep_(deep) {}

    void Add(const DeletedFileInfo& file) override {
        row_.assign(L"{\"record\":");
        // A trace's number is the text the table shows ("T3"): it names no MFT record.
        if (file.IsTrace() || file.IsFromOldMft()) AppendJsonString(row_, file.GetRecordNumberText());
        else AppendDecimal(row_, file.GetRecordNumber());
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
        if (recoverable_) {
            row_ += L",\"recoverable\":";
            AppendJsonString(row_, recoverability_.Of(file.GetRecoverability()));
        }
        row_ += L",\"original_path\":";
        if (file.GetOriginalPath().empty()) row_ += L"null";
        else AppendJsonString(row_, file.GetOriginalPath());
        row_ += L",\"deleted\":";
        AppendTime(file.GetDeletionTime());
        if (shadowCopies_) {
            row_ += L",\"copy\":";
            if (file.GetShadowCopy()) AppendDecimal(row_, file.GetShadowCopy());
            else row_ += L"null";
            row_ += L",\"copy_created\":";
            AppendTime(file.GetShadowCopyTime());
        }
        if (traces_) {
            row_ += L",\"found_in\":[";
            const std::wstring sources = TraceSourcesText(file.GetTraceSources());
            for (size_t begin = 0; begin < sources.size();) {
                const size_t end = std::min(sources.find(L',', begin), sources.size());
                if (begin) row_ += L',';
                AppendJsonString(row_, sources.substr(begin, end - begin));
                begin = end + 1;
            }
            row_ += L']';
        }
        if (deep_) row_ += file.IsFromOldMft() ? L",\"old_mft\":true" : L",\"old_mft\":false";
        row_ += L"}\n";
        console_.Out(row_);
    }

    void Finish() override { console_.Flush(); }

private:
    void AppendTime(uint64_t filetime) {
        row_ += L'"';
        if (times_.Append(row_, filetime)) {
            row_ += L'"';
        } else {
            row_.pop_back();
            row_ += L"null";
        }
    }

    Console& console_;
    IsoTimeText times_;
    RecoverabilityWords recoverability_;
    bool recoverable_;
    bool shadowCopies_;
    bool traces_;
    bool deep_;
    std::wstring row_;
};

}  // namespace

std::unique_ptr<ScanPrinter> MakeScanPrinter(ScanFormat format, Console& console, bool recoverable, bool shadowCopies,
                                             bool traces, bool deep) {
    switch (format) {
    case ScanFormat::Tsv: return std::make_unique<TsvPrinter>(console, recoverable, shadowCopies, traces, deep);
    case ScanFormat::Json: return std::make_unique<JsonPrinter>(console, recoverable, shadowCopies, traces, deep);
    case ScanFormat::Body: return MakeBodyPrinter(console);
    case ScanFormat::Table: break;
    }
    return std::make_unique<TablePrinter>(console, recoverable, traces, deep);
}

}  // namespace Vorlaq
