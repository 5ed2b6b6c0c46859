// The found-files rows without a window: every column's sort and its reversal, the placing of
// rows a scan appends after a sort, and the text of copied rows, checked against std::stable_sort
// with the columns' own order.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "listctrl/FileListText.h"
#include "listctrl/FoundFileRows.h"

using Vorlaq::DeletedFileInfo;

namespace {

// Names and folders that share beginnings of every length, repeat, are empty, or hold a
// character past U+FFFF (whose surrogates sort below U+E000 by UTF-16 code unit).
std::vector<DeletedFileInfo> MakeRows(uint64_t firstRecord, size_t count, uint32_t seed)
{
    const wchar_t* parts[] = {L"",  L"a",      L"ab",          L"abcd",   L"abcde",
                              L"B", L"\u00e9", L"\U0001F600", L"\uE000", L"abcdabce"};
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::vector<DeletedFileInfo> rows;
    for (uint64_t record = firstRecord; record < firstRecord + count; ++record) {
        const std::wstring stem = std::wstring(parts[next(10)]) + parts[next(10)];
        const std::wstring name = stem + (next(4) ? L"." : L"") + parts[next(10)];
        const std::wstring path = L"D:\\Users\\Ann\\" + std::wstring(parts[next(10)]) + L"\\" + parts[next(3)];
        const uint64_t time = next(4) == 0 ? 0x8000000000000000ull : 133537545000000000ull + next(5) * 300000000ull;
        DeletedFileInfo file(L"D:\\", record, name, path, next(6), &time, &time, &time);
        file.SetRecoverability({static_cast<Vorlaq::RecoverState>(next(5)), static_cast<uint8_t>(next(3) * 40)});
        rows.push_back(file);
    }
    return rows;
}

std::vector<uint64_t> Records(const std::vector<DeletedFileInfo>& files)
{
    std::vector<uint64_t> records;
    for (const DeletedFileInfo& file : files)
        records.push_back(file.GetRecordNumber());
    return records;
}

std::vector<uint64_t> Records(const FoundFileRows& rows)
{
    std::vector<uint64_t> records;
    for (int i = 0; i < rows.Count(); ++i)
        records.push_back(rows.At(i)->GetRecordNumber());
    return records;
}

}  // namespace

TEST(FoundFileRows, SortsReversesAndPlacesAppendedRowsAsEachColumnsOrderSays)
{
    const std::vector<DeletedFileInfo> arrived = MakeRows(16, 600, 7);
    const std::vector<DeletedFileInfo> later = MakeRows(1000, 150, 11);
    for (int column = 0; column < kFileColumnCount; ++column) {
        for (const bool greatestFirst : {true, false}) {
            SCOPED_TRACE(testing::Message() << "column " << column << (greatestFirst ? " greatest" : " smallest"));
            auto before = [column, greatestFirst](const DeletedFileInfo& a, const DeletedFileInfo& b) {
                return greatestFirst ? FileListIsGreater(a, b, column) : FileListIsGreater(b, a, column);
            };
            FoundFileRows rows;
            for (const DeletedFileInfo& file : arrived)
                rows.Append(std::make_unique<DeletedFileInfo>(file));
            // The header's first click sorts greatest first; the next one reverses.
            std::vector<DeletedFileInfo> expected = arrived;
            std::stable_sort(expected.begin(), expected.end(), [column](const DeletedFileInfo& a, const DeletedFileInfo& b) {
                return FileListIsGreater(a, b, column);
            });
            rows.Sort(column);
            if (!greatestFirst) {
                rows.Reverse();
                std::reverse(expected.begin(), expected.end());
            }
            ASSERT_EQ(Records(expected), Records(rows));

            // Rows a scan appends wait at the end, then go to their places; the older first among equals.
            for (const DeletedFileInfo& file : later)
                rows.Append(std::make_unique<DeletedFileInfo>(file));
            rows.Append(nullptr);
            const std::vector<uint64_t> unplaced = Records(rows);
            expected.insert(expected.end(), later.begin(), later.end());
            ASSERT_EQ(Records(expected), unplaced);
            std::stable_sort(expected.begin(), expected.end(), before);
            const std::vector<int> moved = rows.PlaceAppended(column, greatestFirst);
            ASSERT_EQ(Records(expected), Records(rows));
            ASSERT_EQ(unplaced.size(), moved.size());
            for (size_t from = 0; from < moved.size(); ++from)
                ASSERT_EQ(unplaced[from], rows.At(moved[from])->GetRecordNumber()) << "row " << from;
            EXPECT_TRUE(rows.PlaceAppended(column, greatestFirst).empty());  // nothing new
        }
    }

    // Without a sort column appended rows stay where they came, and no column outside the columns sorts.
    FoundFileRows rows;
    for (const DeletedFileInfo& file : later)
        rows.Append(std::make_unique<DeletedFileInfo>(file));
    EXPECT_TRUE(rows.PlaceAppended(-1, true).empty());
    rows.Sort(kFileColumnCount);
    rows.Sort(-1);
    EXPECT_EQ(Records(later), Records(rows));
    rows.Clear();
    EXPECT_EQ(0, rows.Count());
    EXPECT_EQ(nullptr, rows.At(0));
}

TEST(FoundFileRows, CellsAndCopiedRowsAreTheRowsTextsInTheGivenOrder)
{
    FoundFileRows rows;
    for (const DeletedFileInfo& file : MakeRows(16, 3, 3))
        rows.Append(std::make_unique<DeletedFileInfo>(file));
    rows.Sort(kFileColumnName);
    for (int column = 0; column < kFileColumnCount; ++column)
        EXPECT_EQ(FileListCellText(*rows.At(2), column), rows.CellText(2, column)) << column;
    EXPECT_EQ(L"", rows.CellText(3, kFileColumnName) + rows.CellText(-1, 0) + rows.CellText(0, kFileColumnCount));

    // Rows outside the list are left out; the rest keep the order asked for.
    const std::vector<int> columns = {kFileColumnRecoverable, kFileColumnName, kFileColumnIndex, kFileColumnPath};
    EXPECT_EQ(FileListRowsText({rows.At(2), rows.At(0)}, columns), rows.RowsText({2, -1, 0, 3}, columns));
    EXPECT_EQ(FileListRowsText({rows.At(0), rows.At(1), rows.At(2)}, columns), rows.AllRowsText(columns));
}
