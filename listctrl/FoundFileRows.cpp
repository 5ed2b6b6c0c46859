#include "listctrl/FoundFileRows.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string_view>

#include "base/Utf16.h"
#include "listctrl/FileListText.h"

using Vorlaq::DeletedFileInfo;

namespace {

// A row's place in a sort: its key (greater first) and, among equal keys, its old position.
struct SortEntry {
    uint64_t key;
    uint32_t row;
};

// Four UTF-16 code units from `at`, packed so that the integers compare as those units do (a text
// that ends inside them is padded with zeros).
template <class Unit>
uint64_t ChunkKey(std::basic_string_view<Unit> text, size_t at)
{
    uint64_t key = 0;
    for (size_t i = at; i < at + 4; ++i)
        key = (key << 16) | (i < text.size() ? static_cast<uint16_t>(text[i]) : 0u);
    return key;
}

// Sorts the texts by UTF-16 code unit, four units at a time: the entries sort as integers on
// their first four units, and each run of equal ones goes on with the next four. Texts that share
// long beginnings (folders, numbered names) cost a pass per four units, never a comparison that
// follows pointers.
template <class Unit>
void SortTexts(const std::vector<std::basic_string_view<Unit>>& texts, std::vector<SortEntry>& entries)
{
    struct Range {
        size_t begin, end, at;
    };
    std::vector<Range> work{{0, entries.size(), 0}};
    auto byKey = [](const SortEntry& a, const SortEntry& b) { return a.key < b.key; };
    while (!work.empty()) {
        const Range range = work.back();
        work.pop_back();
        bool allEqual = true;
        for (size_t i = range.begin; i < range.end; ++i) {
            entries[i].key = ChunkKey(texts[entries[i].row], range.at);
            allEqual = allEqual && entries[i].key == entries[range.begin].key;
        }
        // A shared beginning (the drive, a folder) needs no sort, only the next four units.
        if (!allEqual)
            std::sort(entries.begin() + range.begin, entries.begin() + range.end, byKey);
        for (size_t run = range.begin; run < range.end;) {
            size_t next = run + 1;
            bool longer = texts[entries[run].row].size() > range.at + 4;
            while (next < range.end && entries[next].key == entries[run].key) {
                longer = longer || texts[entries[next].row].size() > range.at + 4;
                ++next;
            }
            if (next - run > 1) {
                // Files of one folder share their whole path: one look at each ends the run
                // instead of a pass per four units of it.
                const std::basic_string_view<Unit> first = texts[entries[run].row];
                bool same = longer;
                for (size_t i = run + 1; same && i < next; ++i)
                    same = texts[entries[i].row] == first;
                // Equal texts are done: their order is left to the rows' own.
                if (longer && !same) {
                    work.push_back({run, next, range.at + 4});
                } else if (!longer) {
                    // All end here with the same units: the shorter (zero-padded) comes first.
                    std::sort(entries.begin() + run, entries.begin() + next, [&texts](const SortEntry& a, const SortEntry& b) {
                        return texts[a.row].size() < texts[b.row].size();
                    });
                }
            }
            run = next;
        }
    }
}

// Each text's rank among the texts in UTF-16 code unit order (equal texts, equal ranks).
template <class Unit>
std::vector<uint64_t> RanksOf(const std::vector<std::basic_string_view<Unit>>& texts)
{
    std::vector<SortEntry> order(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        order[i] = {0, static_cast<uint32_t>(i)};
    SortTexts(texts, order);
    std::vector<uint64_t> ranks(texts.size());
    uint64_t rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && texts[order[i].row] != texts[order[i - 1].row])
            ++rank;
        ranks[order[i].row] = rank;
    }
    return ranks;
}

// Each row's rank among the column's texts in UTF-16 code unit order. Where a wchar_t is a UTF-16
// unit the rows' own strings are sorted; elsewhere (code points) their UTF-16 copies, so that a
// character past U+FFFF sorts by its surrogates as on Windows.
std::vector<uint64_t> TextRanks(const std::vector<std::unique_ptr<DeletedFileInfo>>& rows,
                                const std::wstring& (DeletedFileInfo::*text)() const)
{
    if constexpr (sizeof(wchar_t) == 2) {
        std::vector<std::wstring_view> texts(rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            texts[i] = ((*rows[i]).*text)();
        return RanksOf(texts);
    } else {
        std::vector<std::u16string> units(rows.size());
        std::vector<std::u16string_view> texts(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            units[i] = Vorlaq::ToUtf16(((*rows[i]).*text)());
            texts[i] = units[i];
        }
        return RanksOf(texts);
    }
}

// The column's sort key of every row: texts by rank, the other columns by their number key.
std::vector<uint64_t> SortKeys(const std::vector<std::unique_ptr<DeletedFileInfo>>& rows, int column)
{
    switch (column) {
    case kFileColumnName: return TextRanks(rows, &DeletedFileInfo::GetName);
    case kFileColumnPath: return TextRanks(rows, &DeletedFileInfo::GetPath);
    case kFileColumnType: return TextRanks(rows, &DeletedFileInfo::GetType);
    default: break;
    }
    std::vector<uint64_t> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys[i] = FileListNumberKey(*rows[i], column);
    return keys;
}

}  // namespace

void FoundFileRows::Append(std::unique_ptr<DeletedFileInfo> file)
{
    if (file)
        rows_.push_back(std::move(file));
}

std::vector<int> FoundFileRows::PlaceAppended(int column, bool greatestFirst)
{
    const size_t count = rows_.size();
    if (column < 0 || placedRows_ >= count) {
        placedRows_ = count;
        return {};
    }
    auto before = [column, greatestFirst](const std::unique_ptr<DeletedFileInfo>& a,
                                          const std::unique_ptr<DeletedFileInfo>& b) {
        return greatestFirst ? FileListIsGreater(*a, *b, column) : FileListIsGreater(*b, *a, column);
    };
    // The new rows' order by their positions, so that the map below tells where each row came from.
    std::vector<size_t> fresh(count - placedRows_);
    std::iota(fresh.begin(), fresh.end(), placedRows_);
    std::stable_sort(fresh.begin(), fresh.end(), [&](size_t a, size_t b) { return before(rows_[a], rows_[b]); });
    // One merge of the placed rows with the new ones; an old row goes before a new one of the same key.
    std::vector<int> moved(count);
    std::vector<std::unique_ptr<DeletedFileInfo>> merged;
    merged.reserve(count);
    for (size_t old = 0, next = 0; old < placedRows_ || next < fresh.size();) {
        const bool takeFresh = next < fresh.size() && (old >= placedRows_ || before(rows_[fresh[next]], rows_[old]));
        const size_t from = takeFresh ? fresh[next++] : old++;
        moved[from] = static_cast<int>(merged.size());
        merged.push_back(std::move(rows_[from]));
    }
    rows_.swap(merged);
    placedRows_ = count;
    return moved;
}

void FoundFileRows::Sort(int column)
{
    if (column < 0 || column >= kFileColumnCount)
        return;
    // The keys sit side by side with the row numbers, so the sort compares integers in one array
    // instead of following two pointers per comparison. Equal keys keep their order.
    const std::vector<uint64_t> keys = SortKeys(rows_, column);
    std::vector<SortEntry> order(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        order[i] = {keys[i], static_cast<uint32_t>(i)};
    std::sort(order.begin(), order.end(), [](const SortEntry& a, const SortEntry& b) {
        return a.key != b.key ? a.key > b.key : a.row < b.row;
    });
    std::vector<std::unique_ptr<DeletedFileInfo>> sorted;
    sorted.reserve(rows_.size());
    for (const SortEntry& entry : order)
        sorted.push_back(std::move(rows_[entry.row]));
    rows_.swap(sorted);
    placedRows_ = rows_.size();
}

void FoundFileRows::Reverse()
{
    std::reverse(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(std::min(placedRows_, rows_.size())));
}

void FoundFileRows::Clear()
{
    rows_.clear();
    placedRows_ = 0;
}

const DeletedFileInfo* FoundFileRows::At(int row) const
{
    if (row < 0 || row >= Count())
        return nullptr;
    return rows_[static_cast<size_t>(row)].get();
}

std::wstring FoundFileRows::CellText(int row, int column) const
{
    const DeletedFileInfo* file = At(row);
    return file ? FileListCellText(*file, column) : std::wstring();
}

std::wstring FoundFileRows::RowsText(const std::vector<int>& rows, const std::vector<int>& columns) const
{
    std::vector<const DeletedFileInfo*> files;
    files.reserve(rows.size());
    for (int row : rows) {
        if (const DeletedFileInfo* file = At(row))
            files.push_back(file);
    }
    return FileListRowsText(files, columns);
}

std::wstring FoundFileRows::AllRowsText(const std::vector<int>& columns) const
{
    std::vector<const DeletedFileInfo*> files;
    files.reserve(rows_.size());
    for (const auto& row : rows_)
        files.push_back(row.get());
    return FileListRowsText(files, columns);
}
