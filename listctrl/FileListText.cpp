#include "listctrl/FileListText.h"

#include <algorithm>
#include <optional>

#include "base/TsvField.h"
#include "base/Utf16.h"
#include "scan/OriginalPlace.h"

using Vorlaq::DeletedFileInfo;
using Vorlaq::RecoverState;

namespace {

struct ColumnDef {
    const wchar_t* title;
    int width;
};

constexpr ColumnDef kColumns[kFileColumnCount] = {
    {L"Index", 60},          {L"Name", 100},          {L"Path", 100},          {L"Type", 40},
    {L"Size", 70},           {L"Modified Time", 100}, {L"Creation Time", 100}, {L"Recoverable", 90},
};

bool IsColumn(int column) { return column >= 0 && column < kFileColumnCount; }

// The order of a time's text (year down to the minute; a time that has no calendar date shows
// zeros and sorts below all), taken from the value without formatting it.
int64_t TimeSortKey(uint64_t filetime)
{
    constexpr uint64_t kTicksPerMinute = 600000000ull;
    return filetime > 0x7FFFFFFFFFFFFFFFull ? -1 : static_cast<int64_t>(filetime / kTicksPerMinute);
}

// Recoverable's order, greater for a better chance.
uint64_t RecoverabilityRank(const Vorlaq::Recoverability& value)
{
    switch (value.state) {
    case RecoverState::Intact: return 103;
    case RecoverState::Partial: return 3 + (value.freePercent < 100 ? value.freePercent : 99u);
    case RecoverState::Damaged: return 2;
    case RecoverState::Overwritten: return 1;
    case RecoverState::Unknown: break;
    }
    return 0;
}

}  // namespace

const wchar_t* FileListColumnTitle(int column) { return IsColumn(column) ? kColumns[column].title : L""; }

int FileListColumnWidth(int column) { return IsColumn(column) ? kColumns[column].width : 0; }

std::vector<int> FitColumnWidths(const std::vector<int>& widths, int room)
{
    auto totalBelow = [&widths](int level) {
        int64_t total = 0;
        for (int width : widths)
            total += std::clamp(width, 0, level);
        return total;
    };
    int widest = 0;
    for (int width : widths)
        widest = std::max(widest, width);
    if (room <= 0 || totalBelow(widest) <= room)
        return widths;
    // The highest level whose total fits, found by halving: the total grows with the level.
    int low = 1;
    int high = widest;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (totalBelow(mid) <= room)
            low = mid;
        else
            high = mid - 1;
    }
    std::vector<int> fitted = widths;
    for (int& width : fitted)
        width = width > 0 ? std::min(width, low) : width;
    return fitted;
}

std::wstring FileListCellText(const DeletedFileInfo& file, int column)
{
    switch (column) {
    case kFileColumnIndex: return file.GetRecordNumberText();
    case kFileColumnName: return file.GetName();
    case kFileColumnPath: return file.GetPath();
    case kFileColumnType: return file.GetType();
    case kFileColumnSize: return file.GetSizeText();
    case kFileColumnModified: return file.GetModifiedTimeText();
    case kFileColumnCreated: return file.GetCreationTimeText();
    case kFileColumnRecoverable: return Vorlaq::RecoverabilityText(file.GetRecoverability());
    default: return {};
    }
}

uint64_t FileListNumberKey(const DeletedFileInfo& file, int column)
{
    switch (column) {
    case kFileColumnIndex: return file.GetRecordNumber();
    case kFileColumnSize: return file.GetSize();
    // -1 (no calendar date) becomes the smallest key.
    case kFileColumnModified: return static_cast<uint64_t>(TimeSortKey(file.GetModifiedTime()) + 1);
    case kFileColumnCreated: return static_cast<uint64_t>(TimeSortKey(file.GetCreationTime()) + 1);
    case kFileColumnRecoverable: return RecoverabilityRank(file.GetRecoverability());
    default: return 0;
    }
}

bool FileListIsGreater(const DeletedFileInfo& a, const DeletedFileInfo& b, int column)
{
    switch (column) {
    case kFileColumnName: return Vorlaq::CompareUtf16(a.GetName(), b.GetName()) > 0;
    case kFileColumnPath: return Vorlaq::CompareUtf16(a.GetPath(), b.GetPath()) > 0;
    case kFileColumnType: return Vorlaq::CompareUtf16(a.GetType(), b.GetType()) > 0;
    default: return FileListNumberKey(a, column) > FileListNumberKey(b, column);
    }
}

FileListMark RecoverabilityMark(const Vorlaq::Recoverability& value)
{
    switch (value.state) {
    case RecoverState::Intact: return FileListMark::Green;
    case RecoverState::Partial:
    case RecoverState::Damaged: return FileListMark::Amber;
    case RecoverState::Overwritten: return FileListMark::Red;
    case RecoverState::Unknown: break;
    }
    return FileListMark::Grey;
}

void FileListShowOriginalPlace(DeletedFileInfo& file)
{
    if (const std::optional<Vorlaq::OriginalPlace> place = Vorlaq::GetOriginalPlace(file)) {
        file.SetName(place->name);
        file.SetPath(place->folder + L" (bin)");
    }
}

std::wstring FileListRowsText(const std::vector<const DeletedFileInfo*>& rows, const std::vector<int>& columns)
{
    std::wstring text;
    auto endLine = [&text, &columns] {
        if (!columns.empty())
            text += L"\r\n";
    };
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            text += L'\t';
        Vorlaq::AppendTsvField(text, FileListColumnTitle(columns[i]));
    }
    endLine();
    for (const DeletedFileInfo* row : rows) {
        if (row == nullptr)
            continue;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                text += L'\t';
            Vorlaq::AppendTsvField(text, FileListCellText(*row, columns[i]));
        }
        endLine();
    }
    return text;
}
