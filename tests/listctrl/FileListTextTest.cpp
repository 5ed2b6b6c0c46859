// What the found-files list shows without a window: the Recoverable column's words, marks and
// best-first order, the row a Recycle Bin file becomes, and the tab-separated text of copied rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "listctrl/FileListText.h"

using Vorlaq::DeletedFileInfo;
using Vorlaq::Recoverability;
using Vorlaq::RecoverState;

namespace {

DeletedFileInfo Row(uint64_t record, const wchar_t* name, Recoverability recoverability = {},
                    const wchar_t* path = L"D:\\")
{
    const uint64_t time = 133537545000000000ull;
    DeletedFileInfo file(L"D:\\", record, name, path, 1536, &time, &time, &time);
    file.SetRecoverability(recoverability);
    return file;
}

}  // namespace

TEST(FileListText, RecoverableShowsTheCommandLinesWordsWithAMarkAndSortsBestFirst)
{
    const std::vector<DeletedFileInfo> rows = {
        Row(1, L"u"), Row(2, L"o", {RecoverState::Overwritten, 0}), Row(3, L"p83", {RecoverState::Partial, 83}),
        Row(4, L"i", {RecoverState::Intact, 0}), Row(5, L"d", {RecoverState::Damaged, 0}),
        Row(6, L"p0", {RecoverState::Partial, 0}), Row(7, L"p99", {RecoverState::Partial, 99})};
    std::vector<std::wstring> words;
    for (const DeletedFileInfo& row : rows)
        words.push_back(FileListCellText(row, kFileColumnRecoverable));
    EXPECT_EQ((std::vector<std::wstring>{L"unknown", L"overwritten", L"83%", L"intact", L"damaged", L"0%", L"99%"}),
              words);
    EXPECT_EQ(std::wstring(L"Recoverable"), FileListColumnTitle(kFileColumnRecoverable));
    EXPECT_EQ(std::wstring(L"Creation Time"), FileListColumnTitle(kFileColumnRecoverable - 1));

    std::vector<FileListMark> marks;
    for (const DeletedFileInfo& row : rows)
        marks.push_back(RecoverabilityMark(row.GetRecoverability()));
    EXPECT_EQ((std::vector<FileListMark>{FileListMark::Grey, FileListMark::Red, FileListMark::Amber,
                                         FileListMark::Green, FileListMark::Amber, FileListMark::Amber,
                                         FileListMark::Amber}),
              marks);

    // Greatest first, as the header's first click sorts: the best chance on top.
    std::vector<DeletedFileInfo> sorted = rows;
    std::stable_sort(sorted.begin(), sorted.end(), [](const DeletedFileInfo& a, const DeletedFileInfo& b) {
        return FileListIsGreater(a, b, kFileColumnRecoverable);
    });
    std::vector<std::wstring> order;
    for (const DeletedFileInfo& row : sorted)
        order.push_back(row.GetName());
    EXPECT_EQ((std::vector<std::wstring>{L"i", L"p99", L"p83", L"p0", L"d", L"o", L"u"}), order);
    // The number key agrees with the comparison.
    for (size_t i = 1; i < sorted.size(); ++i)
        EXPECT_GT(FileListNumberKey(sorted[i - 1], kFileColumnRecoverable),
                  FileListNumberKey(sorted[i], kFileColumnRecoverable));
}

TEST(FileListText, RowsTextHasTheTitlesThenEachRowInTheGivenOrderEscapedAsTsv)
{
    const DeletedFileInfo plain = Row(52731, L"Report.docx", {RecoverState::Intact, 0}, L"D:\\Work\\");
    const DeletedFileInfo odd = Row(17, L"tab\there\nline\\x", {RecoverState::Partial, 40}, L"D:\\A\x1B\\");
    const std::vector<int> columns = {kFileColumnName, kFileColumnIndex, kFileColumnRecoverable, kFileColumnPath};

    const std::wstring text = FileListRowsText({&odd, &plain}, columns);
    EXPECT_EQ(L"Name\tIndex\tRecoverable\tPath\r\n"
              L"tab\\there\\nline\\\\x\t17\t40%\tD:\\\\A\\x1B\\\\\r\n"
              L"Report.docx\t52731\tintact\tD:\\\\Work\\\\\r\n",
              text);

    // Every column, in identity order: the header holds the eight titles.
    std::vector<int> all;
    for (int c = 0; c < kFileColumnCount; ++c)
        all.push_back(c);
    const std::wstring header = FileListRowsText({}, all);
    EXPECT_EQ(L"Index\tName\tPath\tType\tSize\tModified Time\tCreation Time\tRecoverable\r\n", header);
    const std::wstring one = FileListRowsText({&plain}, all);
    EXPECT_EQ(header + L"52731\tReport.docx\tD:\\\\Work\\\\\tdocx\t1.50 KB\t" + plain.GetModifiedTimeText() + L"\t" +
                  plain.GetCreationTimeText() + L"\tintact\r\n",
              one);
}

TEST(FileListText, ARecycleBinFileIsListedSortedAndCopiedUnderItsOriginalPlace)
{
    const wchar_t* bin = L"D:\\$Recycle.Bin\\S-1-5-21-1-2-3-1001\\";
    DeletedFileInfo joined = Row(78, L"$RX7Q2ZK.docx", {}, bin);
    joined.SetOriginalPath(L"D:\\Work\\Quarterly report.docx");
    DeletedFileInfo unjoined = Row(79, L"$RREUSE9.xlsx", {}, bin);
    DeletedFileInfo nameless = Row(82, L"$RCUT000.txt", {}, bin);
    nameless.SetOriginalPath(L"D:\\Notes\\");
    DeletedFileInfo plain = Row(80, L"P.txt", {}, L"D:\\Notes\\");
    for (DeletedFileInfo* file : {&joined, &unjoined, &nameless, &plain})
        FileListShowOriginalPlace(*file);

    EXPECT_EQ(L"Quarterly report.docx", FileListCellText(joined, kFileColumnName));
    EXPECT_EQ(L"D:\\Work\\ (bin)", FileListCellText(joined, kFileColumnPath));
    EXPECT_EQ(L"docx", FileListCellText(joined, kFileColumnType));
    EXPECT_EQ(78u, joined.GetRecordNumber());
    // Without an index, or with a path that names no file, the stored name and folder stay.
    EXPECT_EQ(L"$RREUSE9.xlsx", FileListCellText(unjoined, kFileColumnName));
    EXPECT_EQ(bin, FileListCellText(unjoined, kFileColumnPath));
    EXPECT_EQ(L"$RCUT000.txt", FileListCellText(nameless, kFileColumnName));
    EXPECT_EQ(bin, FileListCellText(nameless, kFileColumnPath));
    EXPECT_EQ(L"P.txt", plain.GetName());

    // Sorted by what the cells say: "Quarterly" after "P", "D:\Work\" after "D:\Notes\", where
    // the bin's own names would sort first.
    EXPECT_TRUE(FileListIsGreater(joined, plain, kFileColumnName));
    EXPECT_TRUE(FileListIsGreater(joined, plain, kFileColumnPath));
    EXPECT_TRUE(FileListIsGreater(plain, unjoined, kFileColumnPath));
    EXPECT_EQ(L"Name\tPath\r\nQuarterly report.docx\tD:\\\\Work\\\\ (bin)\r\n",
              FileListRowsText({&joined}, {kFileColumnName, kFileColumnPath}));
}

TEST(FileListText, ColumnsTooWideForTheListNarrowTheWidestFirstAndFitOtherwiseStay)
{
    std::vector<int> widths;
    for (int c = 0; c < kFileColumnCount; ++c)
        widths.push_back(FileListColumnWidth(c) * 2);
    widths[3] = 0;  // hidden
    EXPECT_EQ(widths, FitColumnWidths(widths, 1240));
    EXPECT_EQ(widths, FitColumnWidths(widths, 0));

    // 1240 wanted, 1160 there: the four 200-pixel columns give 20 each, down to Recoverable's 180.
    EXPECT_EQ((std::vector<int>{120, 180, 180, 0, 140, 180, 180, 180}), FitColumnWidths(widths, 1160));
    // 1100: the five widest columns are cut to one level, (1100 - 120 - 140) / 5.
    EXPECT_EQ((std::vector<int>{120, 168, 168, 0, 140, 168, 168, 168}), FitColumnWidths(widths, 1100));
    EXPECT_EQ((std::vector<int>{1, 1}), FitColumnWidths({100, 300}, 1));
}
