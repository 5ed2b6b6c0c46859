// The volume through a drive letter, as the product opens it: under Wine, D: of this test's own
// prefix stands for the sample fixture image (map-drive.sh), read as a raw device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/Utf16.h"
#include "base/os/Device.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "tests/ntfs/TskOutput.h"

using namespace Vorlaq;
using namespace QuorretTest;

TEST(DriveLetter, ReadsTheSameRecordsAsTheImageFile) {
    const std::string image = ImagesDir() + "/fixtures/sample.img";
    uint32_t error = 0;
    NTFSVolume byPath(OpenPathDevice(Utf8ToWide(image), 0, &error), L"\\");
    if (!byPath.IsVolumeOK()) GTEST_SKIP() << "sample fixture not prepared in " << ImagesDir();

    NTFSVolume byLetter(L'D');
    ASSERT_TRUE(byLetter.IsVolumeOK());
    EXPECT_EQ(byLetter.GetVolumePath(), L"D:\\");
    EXPECT_EQ(byLetter.GetVersion(), byPath.GetVersion());
    ASSERT_EQ(byLetter.GetRecordsCount(), byPath.GetRecordsCount());
    ASSERT_GT(byLetter.GetRecordsCount(), 16u);

    uint64_t named = 0, bytes = 0;
    std::vector<uint8_t> a(0x10000), b(0x10000);
    for (uint64_t n = 0; n < byLetter.GetRecordsCount(); ++n) {
        NTFSFileRecord fromLetter(&byLetter), fromPath(&byPath);
        fromLetter.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData);
        fromPath.SetAttrMask(kNTFSMaskFileName | kNTFSMaskData);
        bool read = fromLetter.ReadFileRecord(n);
        ASSERT_EQ(read, fromPath.ReadFileRecord(n)) << n;
        if (!read) continue;
        ASSERT_EQ(fromLetter.ParseAttrs(), fromPath.ParseAttrs()) << n;
        wchar_t x[261], y[261];
        int lx = fromLetter.GetFileName(x, 260), ly = fromPath.GetFileName(y, 260);
        ASSERT_EQ(lx, ly) << n;
        if (lx > 0) {
            EXPECT_EQ(std::wstring(x), std::wstring(y)) << n;
            ++named;
        }
        EXPECT_EQ(fromLetter.IsDeleted(), fromPath.IsDeleted()) << n;
        NTFSAttributeBase* da = fromLetter.FindStream();
        NTFSAttributeBase* db = fromPath.FindStream();
        ASSERT_EQ(da == nullptr, db == nullptr) << n;
        if (!da) continue;
        ASSERT_EQ(da->GetDataSize(), db->GetDataSize()) << n;
        for (uint64_t offset = 0; offset < da->GetDataSize();) {
            uint32_t ga = 0, gb = 0;
            ASSERT_TRUE(da->ReadData(offset, a.data(), 0x10000, &ga)) << n;
            ASSERT_TRUE(db->ReadData(offset, b.data(), 0x10000, &gb)) << n;
            ASSERT_EQ(ga, gb);
            ASSERT_EQ(0, std::memcmp(a.data(), b.data(), ga)) << n << " at " << offset;
            offset += ga;
            bytes += ga;
        }
    }
    std::printf("D: and the image agree on %llu records (%llu named), %llu bytes of data\n",
                static_cast<unsigned long long>(byLetter.GetRecordsCount()), static_cast<unsigned long long>(named),
                static_cast<unsigned long long>(bytes));
}
