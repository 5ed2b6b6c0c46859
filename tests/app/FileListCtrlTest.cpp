// The found-files list: cell texts, the greater-first order of each column, reversal, the row
// operations, and (with a window) columns, the header's sort step and the selection copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "listctrl/FileListCtrl.h"
#include "ui/AppModule.h"

using Vorlaq::DeletedFileInfo;

namespace {

// 2024-03-01 10:15 and 10:15:40 (same minute), 2024-03-01 10:16, as FILETIME values.
constexpr uint64_t kMinute = 600000000ull;
constexpr uint64_t kT1015 = 133537545000000000ull;
constexpr uint64_t kT1016 = kT1015 + kMinute;

DeletedFileInfo Row(uint64_t record, const wchar_t* name, uint64_t size = 0, uint64_t modified = 0,
                    const wchar_t* path = L"D:\\")
{
    return DeletedFileInfo(L"D:\\", record, name, path, size, &modified, &modified, &modified);
}

std::vector<uint64_t> Records(const FileListCtrl& list)
{
    std::vector<uint64_t> records;
    for (int i = 0; i < list.GetItemCount(); ++i) {
        DeletedFileInfo file;
        EXPECT_TRUE(list.GetItem(i, file));
        records.push_back(file.GetRecordNumber());
    }
    return records;
}

std::vector<uint64_t> Records(const std::vector<DeletedFileInfo>& files)
{
    std::vector<uint64_t> records;
    for (const DeletedFileInfo& f : files)
        records.push_back(f.GetRecordNumber());
    return records;
}

}  // namespace

TEST(FileListCells, EachColumnShowsItsText)
{
    const DeletedFileInfo file(L"D:\\", 52731, L"Report.DOCX", L"D:\\Work\\", 1536, &kT1015, &kT1016, nullptr);
    EXPECT_EQ(L"52731", FileListCellText(file, kFileColumnIndex));
    EXPECT_EQ(L"Report.DOCX", FileListCellText(file, kFileColumnName));
    EXPECT_EQ(L"D:\\Work\\", FileListCellText(file, kFileColumnPath));
    EXPECT_EQ(L"docx", FileListCellText(file, kFileColumnType));
    EXPECT_EQ(L"1.50 KB", FileListCellText(file, kFileColumnSize));
    EXPECT_EQ(file.GetModifiedTimeText(), FileListCellText(file, kFileColumnModified));
    EXPECT_EQ(file.GetCreationTimeText(), FileListCellText(file, kFileColumnCreated));
    EXPECT_NE(FileListCellText(file, kFileColumnModified), FileListCellText(file, kFileColumnCreated));
    EXPECT_EQ(L"", FileListCellText(file, -1));
    EXPECT_EQ(L"", FileListCellText(file, kFileColumnCount));
}

TEST(FileListOrder, EachColumnPutsTheGreatestFirst)
{
    // Record numbers and sizes above 32 bits compare in full.
    EXPECT_TRUE(FileListIsGreater(Row(0x100000010ull, L"a"), Row(0x10, L"a"), kFileColumnIndex));
    EXPECT_TRUE(FileListIsGreater(Row(1, L"a", 0x100000000ull), Row(2, L"a", 0xFFFFFFFFull), kFileColumnSize));
    EXPECT_TRUE(FileListIsGreater(Row(1, L"a", 1), Row(2, L"a", 0), kFileColumnSize));
    // Names by UTF-16 code unit: lower case after upper case; a prefix is smaller.
    EXPECT_TRUE(FileListIsGreater(Row(1, L"abc"), Row(2, L"Abc"), kFileColumnName));
    EXPECT_FALSE(FileListIsGreater(Row(1, L"Abc"), Row(2, L"abc"), kFileColumnName));
    EXPECT_TRUE(FileListIsGreater(Row(1, L"abcd"), Row(2, L"abc"), kFileColumnName));
    EXPECT_TRUE(FileListIsGreater(Row(1, L"\u00e9"), Row(2, L"z"), kFileColumnName));
    EXPECT_TRUE(FileListIsGreater(Row(1, L"a", 0, 0, L"D:\\b\\"), Row(2, L"a", 0, 0, L"D:\\a\\"), kFileColumnPath));
    EXPECT_TRUE(FileListIsGreater(Row(1, L"a.txt"), Row(2, L"b.log"), kFileColumnType));
    // Times to the minute: the same minute is equal, a failed conversion sorts below all.
    EXPECT_TRUE(FileListIsGreater(Row(1, L"a", 0, kT1016), Row(2, L"a", 0, kT1015), kFileColumnModified));
    EXPECT_FALSE(FileListIsGreater(Row(1, L"a", 0, kT1015 + 40 * 10000000ull), Row(2, L"a", 0, kT1015),
                                   kFileColumnModified));
    EXPECT_TRUE(FileListIsGreater(Row(1, L"a", 0, kT1015), Row(2, L"a", 0, 0), kFileColumnCreated));
    // No order for an unknown column.
    EXPECT_FALSE(FileListIsGreater(Row(2, L"b"), Row(1, L"a"), kFileColumnCount));
    EXPECT_FALSE(FileListIsGreater(Row(1, L"a"), Row(2, L"b"), -1));
}

TEST(FileListRows, EachColumnSortsAsItsOrderSaysAndEqualRowsKeepTheirArrival)
{
    // Texts that share beginnings of every length, repeat, and end inside or past four units;
    // sizes, times and recoverable states that repeat; times without a calendar date.
    FileListCtrl list;
    const wchar_t* parts[] = {L"a", L"ab", L"abc", L"abcd", L"abcde", L"B", L"\u00e9", L"abcdabcd", L"abcdabce"};
    uint32_t seed = 7;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (uint64_t record = 16; record < 616; ++record) {
        const std::wstring name = std::wstring(parts[next(9)]) + parts[next(9)] + L"." + parts[next(9)];
        const std::wstring path = L"D:\\" + std::wstring(parts[next(9)]) + L"\\" + parts[next(3)];
        const uint64_t time = next(4) == 0 ? 0x8000000000000000ull : kT1015 + next(5) * (kMinute / 2);
        auto file = std::make_unique<DeletedFileInfo>(L"D:\\", record, name, path, next(6), &time, &time, &time);
        file->SetRecoverability({static_cast<Vorlaq::RecoverState>(next(5)), static_cast<uint8_t>(next(3) * 40)});
        list.AppendItem(std::move(file));
    }
    for (int column = 0; column < kFileColumnCount; ++column) {
        list.SortItems(column, true);
        int ties = 0;
        for (int i = 1; i < list.GetItemCount(); ++i) {
            const DeletedFileInfo& before = *list.ItemAt(i - 1);
            const DeletedFileInfo& after = *list.ItemAt(i);
            ASSERT_FALSE(FileListIsGreater(after, before, column)) << "column " << column << " row " << i;
            if (!FileListIsGreater(before, after, column)) {
                ++ties;
                EXPECT_LT(before.GetRecordNumber(), after.GetRecordNumber()) << "column " << column << " row " << i;
            }
        }
        if (column != kFileColumnIndex) {
            EXPECT_GT(ties, 0) << "column " << column;
        }
        list.SortItems(kFileColumnIndex, true);
        list.ReverseItems();  // back to arrival order for the next column
    }
}

TEST(FileListRows, AddGetSortReverseAndEmpty)
{
    FileListCtrl list;
    EXPECT_EQ(0, list.GetItemCount());
    for (const DeletedFileInfo& row : {Row(20, L"b", 5), Row(40, L"a", 0), Row(30, L"C", 7)})
        list.AddItem(row);
    EXPECT_EQ(3, list.GetItemCount());
    EXPECT_EQ((std::vector<uint64_t>{20, 40, 30}), Records(list));  // arrival order
    EXPECT_EQ(L"40", list.GetItemText(1, kFileColumnIndex));
    EXPECT_EQ(L"", list.GetItemText(3, kFileColumnIndex));
    EXPECT_EQ(L"", list.GetItemText(-1, kFileColumnName));
    DeletedFileInfo out;
    EXPECT_FALSE(list.GetItem(3, out));
    EXPECT_FALSE(list.GetItem(-1, out));

    list.SortItems(kFileColumnSize, true);
    EXPECT_EQ((std::vector<uint64_t>{30, 20, 40}), Records(list));
    list.ReverseItems();
    EXPECT_EQ((std::vector<uint64_t>{40, 20, 30}), Records(list));
    list.SortItems(kFileColumnName, false);  // the direction argument changes nothing
    EXPECT_EQ((std::vector<uint64_t>{20, 40, 30}), Records(list));

    list.AddItem(Row(99, L"z"));  // new rows go to the bottom, unsorted
    EXPECT_EQ((std::vector<uint64_t>{20, 40, 30, 99}), Records(list));

    list.DeleteAllItems();
    EXPECT_EQ(0, list.GetItemCount());
}

namespace {

// A real control window of class "FileListCtrl" inside a parent, as the dialog template makes it.
class FileListWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        Vorlaq::AppModule::instance().Init(::GetModuleHandleW(nullptr));
        parent_ = ::CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, parent_);
        control_ = ::CreateWindowExW(0, FileListCtrl::kClassName, L"ListCtrl", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
                                     600, 400, parent_, reinterpret_cast<HMENU>(1007), ::GetModuleHandleW(nullptr),
                                     nullptr);
        ASSERT_NE(nullptr, control_);
    }
    void TearDown() override
    {
        if (parent_)
            ::DestroyWindow(parent_);
    }

    FileListCtrl list_;  // registers the class before SetUp makes the window
    HWND parent_ = nullptr;
    HWND control_ = nullptr;
};

}  // namespace

TEST_F(FileListWindow, AttachAddsTheEightColumns)
{
    ASSERT_TRUE(list_.AttachControl(control_));
    const struct {
        const wchar_t* title;
        int width;
    } expected[] = {{L"Index", 60},         {L"Name", 100},          {L"Path", 100}, {L"Type", 40},
                    {L"Size", 70},          {L"Modified Time", 100}, {L"Creation Time", 100}, {L"Recoverable", 90}};
    ASSERT_EQ(8, list_.Columns().Count());
    for (int i = 0; i < 8; ++i) {
        const Vorlaq::ListColumn* column = list_.Columns().At(i);
        EXPECT_EQ(expected[i].title, column->title);
        EXPECT_EQ(expected[i].width, column->width);
        EXPECT_EQ(i, column->index);
        EXPECT_FALSE(column->fixed);
        EXPECT_EQ(0, column->format);
        EXPECT_EQ(0u, column->flags);
    }
}

TEST_F(FileListWindow, ColumnsFontsAndImagesFollowTheDpi)
{
    ASSERT_TRUE(list_.AttachControl(control_));
    ASSERT_EQ(96, list_.Dpi());  // the test prefix's
    const int widths[] = {60, 100, 100, 40, 70, 100, 100, 90};
    const int rowHeight = list_.RowHeight();
    EXPECT_EQ(16, list_.ImageWidth());
    list_.SetDpi(144);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(widths[i] * 3 / 2, list_.Columns().At(i)->width) << i;
    EXPECT_EQ(24, list_.ImageWidth());
    EXPECT_GT(list_.RowHeight(), rowHeight * 4 / 3);
    list_.SetDpi(192);
    EXPECT_EQ(200, list_.Columns().At(1)->width);
    EXPECT_EQ(32, list_.ImageWidth());
    list_.SetDpi(96);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(widths[i], list_.Columns().At(i)->width) << i;
    EXPECT_EQ(16, list_.ImageWidth());
    EXPECT_EQ(rowHeight, list_.RowHeight());
}

TEST_F(FileListWindow, HeaderSortStepSortsThenReversesAndClearsTheSelection)
{
    ASSERT_TRUE(list_.AttachControl(control_));
    list_.EnableSort(true);
    for (const DeletedFileInfo& row : {Row(20, L"b", 5), Row(40, L"a", 0), Row(30, L"C", 7)})
        EXPECT_GE(list_.AddItem(row), 0);

    list_.SelectItem(1, 0, 0);
    EXPECT_EQ(1u, list_.GetSelectedItems().size());
    list_.SortColumn(list_.Columns().PositionOf(kFileColumnIndex));
    EXPECT_EQ((std::vector<uint64_t>{40, 30, 20}), Records(list_));
    EXPECT_TRUE(list_.Sort().Direction());
    EXPECT_TRUE(list_.GetSelectedItems().empty());

    list_.SortColumn(list_.Columns().PositionOf(kFileColumnIndex));
    EXPECT_EQ((std::vector<uint64_t>{20, 30, 40}), Records(list_));
    EXPECT_FALSE(list_.Sort().Direction());

    list_.SortColumn(list_.Columns().PositionOf(kFileColumnName));
    EXPECT_EQ((std::vector<uint64_t>{20, 40, 30}), Records(list_));  // "b" > "a" > "C"
}

TEST_F(FileListWindow, NewRowsForgetTheSortMarkerAndTabLeavesTheList)
{
    ASSERT_TRUE(list_.AttachControl(control_));
    list_.EnableSort(true);
    list_.AddItem(Row(20, L"b"));
    list_.AddItem(Row(40, L"a"));
    list_.SortColumn(list_.Columns().PositionOf(kFileColumnIndex));
    EXPECT_EQ(kFileColumnIndex, list_.Sort().Column());

    // A new scan's rows come in record order: no column is marked, and the next click sorts.
    list_.DeleteAllItems();
    EXPECT_EQ(-1, list_.Sort().Column());
    list_.AddItem(Row(20, L"b"));
    list_.AddItem(Row(40, L"a"));
    list_.SortColumn(list_.Columns().PositionOf(kFileColumnIndex));
    EXPECT_EQ((std::vector<uint64_t>{40, 20}), Records(list_));
    EXPECT_TRUE(list_.Sort().Direction());

    // The dialog manager moves the focus on Tab unless the list asks for it (focus-cell mode).
    const LRESULT code = ::SendMessageW(control_, WM_GETDLGCODE, VK_TAB, 0);
    EXPECT_EQ(0, code & DLGC_WANTTAB);
    EXPECT_NE(0, code & DLGC_WANTARROWS);
    list_.SetFocusCellMode(true);
    EXPECT_NE(0, ::SendMessageW(control_, WM_GETDLGCODE, VK_TAB, 0) & DLGC_WANTTAB);
}

TEST_F(FileListWindow, RowsArrivingAfterASortGoToTheirPlaceAndTheSelectionFollowsItsRows)
{
    ASSERT_TRUE(list_.AttachControl(control_));
    list_.EnableSort(true);
    for (const DeletedFileInfo& row : {Row(20, L"d"), Row(40, L"b"), Row(30, L"f")})
        list_.AddItem(row);
    list_.SortColumn(list_.Columns().PositionOf(kFileColumnName));
    EXPECT_EQ((std::vector<uint64_t>{30, 20, 40}), Records(list_));  // f d b
    list_.SelectItem(1, 0, 0);                                       // "d"

    // As a scan hands them over: appended, then shown.
    list_.AppendItem(std::make_unique<DeletedFileInfo>(Row(50, L"e")));
    list_.AppendItem(std::make_unique<DeletedFileInfo>(Row(10, L"a")));
    list_.AppendItem(std::make_unique<DeletedFileInfo>(Row(60, L"g")));
    list_.AppendItem(std::make_unique<DeletedFileInfo>(Row(70, L"d")));  // after the "d" already there
    EXPECT_TRUE(list_.ShowAppendedItems());
    EXPECT_EQ((std::vector<uint64_t>{60, 30, 50, 20, 70, 40, 10}), Records(list_));
    EXPECT_EQ((std::vector<uint64_t>{20}), Records(list_.GetSelectedItems()));
    EXPECT_EQ(kFileColumnName, list_.Sort().Column());

    // Reversed: least first, and so are the next arrivals, even one that came before the click.
    list_.AppendItem(std::make_unique<DeletedFileInfo>(Row(80, L"c")));
    list_.SortColumn(list_.Columns().PositionOf(kFileColumnName));
    list_.AppendItem(std::make_unique<DeletedFileInfo>(Row(90, L"h")));
    list_.SelectItem(0, 0, 0);  // "a"
    EXPECT_TRUE(list_.ShowAppendedItems());
    EXPECT_EQ((std::vector<uint64_t>{10, 40, 80, 70, 20, 50, 30, 60, 90}), Records(list_));
    EXPECT_EQ((std::vector<uint64_t>{10}), Records(list_.GetSelectedItems()));
}

TEST_F(FileListWindow, SortSwitchOffMeansHeaderClicksDoNothing)
{
    ASSERT_TRUE(list_.AttachControl(control_));
    list_.AddItem(Row(20, L"b"));
    list_.AddItem(Row(40, L"a"));
    list_.SortColumn(0);
    EXPECT_EQ((std::vector<uint64_t>{20, 40}), Records(list_));
}

TEST_F(FileListWindow, SelectedItemsComeTopToBottomAndEmptyingClearsThem)
{
    ASSERT_TRUE(list_.AttachControl(control_));
    for (uint64_t r : {16, 17, 18, 19})
        list_.AddItem(Row(r, L"f"));
    list_.SelectItem(3, 0, 0);
    list_.SelectItem(1, 0, Vorlaq::kSelectCtrl);
    EXPECT_EQ((std::vector<uint64_t>{17, 19}), Records(list_.GetSelectedItems()));

    list_.DeleteAllItems();
    EXPECT_TRUE(list_.GetSelectedItems().empty());
    list_.AddItem(Row(50, L"g"));
    EXPECT_TRUE(list_.GetSelectedItems().empty());
}
