#include <gtest/gtest.h>

#include "scan/DeletedFileInfo.h"
#include "scan/DisplayText.h"

using namespace Vorlaq;

TEST(DisplayText, SizeTable) {
    EXPECT_EQ(FormatFileSize(0), L"0");
    EXPECT_EQ(FormatFileSize(1), L"1 Bytes");
    EXPECT_EQ(FormatFileSize(1023), L"1023 Bytes");
    EXPECT_EQ(FormatFileSize(1024), L"1.00 KB");
    EXPECT_EQ(FormatFileSize(1536), L"1.50 KB");
    EXPECT_EQ(FormatFileSize(1048575), L"1024.00 KB");  // rounds up below the unit boundary
    EXPECT_EQ(FormatFileSize(1048576), L"1.00 MB");
    EXPECT_EQ(FormatFileSize(5368709120ull), L"5.00 GB");
    EXPECT_EQ(FormatFileSize(2199023255552ull), L"2048.00 GB");
    EXPECT_EQ(FormatFileSize(UINT64_MAX), L"17179869184.00 GB");
}

TEST(DisplayText, TimeAndNumberTable) {
    EXPECT_EQ(FormatFileTime(0), L"1601-01-01 00:00");
    EXPECT_EQ(FormatFileTime(0x8000000000000000ull), L"0000-00-00 00:00");
    EXPECT_EQ(FormatFileTime(133541212799990000ull), L"2024-03-05 14:07");  // seconds are cut, not rounded
    EXPECT_EQ(FormatFileTime(125963423400000000ull), L"2000-02-29 23:59");
    EXPECT_EQ(FormatUInt64(0), L"0");
    EXPECT_EQ(FormatUInt64(UINT64_MAX), L"18446744073709551615");
}

TEST(DeletedFileInfo, ConstructionFillsTypeAndTimes) {
    uint64_t modified = 133541212799990000ull, created = 125963423400000000ull, accessed = 7;
    DeletedFileInfo info(L"D:\\", 52731, L"archive.TAR.GZ", L"D:\\Work\\", 1536, &modified, &created, &accessed);
    EXPECT_EQ(info.GetVolume(), L"D:\\");
    EXPECT_EQ(info.GetRecordNumber(), 52731u);
    EXPECT_EQ(info.GetRecordNumberText(), L"52731");
    EXPECT_EQ(info.GetName(), L"archive.TAR.GZ");
    EXPECT_EQ(info.GetType(), L"gz");
    EXPECT_EQ(info.GetPath(), L"D:\\Work\\");
    EXPECT_EQ(info.GetSizeText(), L"1.50 KB");
    EXPECT_EQ(info.GetModifiedTimeText(), L"2024-03-05 14:07");
    EXPECT_EQ(info.GetCreationTimeText(), L"2000-02-29 23:59");
    EXPECT_EQ(info.GetAccessTime(), 7u);

    DeletedFileInfo copy = info;
    copy.SetName(L"README");
    EXPECT_EQ(copy.GetType(), L"");
    EXPECT_EQ(info.GetType(), L"gz");  // the copy is independent
    copy.SetName(L"x.\u00C9X");
    EXPECT_EQ(copy.GetType(), L"\u00C9x");
    copy.SetName(L"");
    EXPECT_EQ(copy.GetType(), L"");
}

TEST(DeletedFileInfo, EmptyRecordAndNullTimes) {
    DeletedFileInfo empty;
    EXPECT_EQ(empty.GetRecordNumber(), 0u);
    EXPECT_EQ(empty.GetName(), L"");
    EXPECT_EQ(empty.GetType(), L"");
    EXPECT_EQ(empty.GetSizeText(), L"0");
    EXPECT_EQ(empty.GetModifiedTimeText(), L"1601-01-01 00:00");

    DeletedFileInfo noTimes(L"C:\\", 16, L"a.txt", L"C:\\Unknown", 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(noTimes.GetModifiedTime(), 0u);
    EXPECT_EQ(noTimes.GetCreationTime(), 0u);
    EXPECT_EQ(noTimes.GetAccessTime(), 0u);
    EXPECT_EQ(noTimes.GetType(), L"txt");

    // A file filled anew keeps nothing of the one before but its texts' storage.
    DeletedFileInfo used = noTimes;
    used.SetSequence(3);
    used.SetModifiedTime(9);
    used.SetStandardTimes(StandardTimes{1, 2, 3, 4});
    used.SetReadOnly(true);
    used.SetRecoverability(Recoverability{RecoverState::Intact});
    used.SetOriginalPath(L"C:\\Old\\a.txt");
    used.SetDeletionTime(5);
    used.SetShadowCopy(2, 6);
    used.SetTraceSources(1);
    used.SetOldRecord(4096, 1024);
    used.Reuse();
    EXPECT_EQ(used.GetVolume(), L"");
    EXPECT_EQ(used.GetRecordNumberText(), L"0");
    EXPECT_EQ(used.GetName() + used.GetType() + used.GetPath() + used.GetOriginalPath(), L"");
    EXPECT_EQ(used.GetSequence() + used.GetModifiedTime() + used.GetStandardTimes().modified + used.GetDeletionTime() +
                  used.GetShadowCopy() + used.GetShadowCopyTime() + used.GetTraceSources() + used.GetOldRecordSize(),
              0u);
    EXPECT_FALSE(used.IsReadOnly());
    EXPECT_EQ(used.GetRecoverability(), Recoverability{});
    used.AssignName(L"b.LOG");
    EXPECT_EQ(used.GetType(), L"log");
}
