// Opening a volume: drive letters, the boot sector, the version check and the MFT location.
#include <gtest/gtest.h>

#include <cstring>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "tests/ntfs/NTFSTestUtil.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

FileEntry File(const std::wstring& name) {
    FileEntry f;
    f.name = name;
    return f;
}

std::wstring NameOf(NTFSVolume& volume, uint64_t number) {
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskFileName);
    if (!record.ReadFileRecord(number) || !record.ParseAttrs()) return L"<unreadable>";
    wchar_t buffer[261];
    int n = record.GetFileName(buffer, 260);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace

TEST(Volume, LetterMustBeAlphabetic) {
    for (wchar_t letter : {L'1', L'?'}) {
        LogCapture log;
        NTFSVolume volume(letter);
        EXPECT_FALSE(volume.IsVolumeOK());
        EXPECT_EQ(volume.GetDevice(), nullptr);
        EXPECT_EQ(log.Count(LogCapture::Error(L"Invalid volume name, should be like 'C', 'D'. ")), 1u);
        EXPECT_EQ(log.Lines().size(), 1u);
    }
}

TEST(Volume, PathIsSetEvenWhenTheDeviceDoesNotOpen) {
    // No such drive here (and under Wine no drive Q is mapped by the tests).
    LogCapture log;
    NTFSVolume volume(L'Q');
    EXPECT_FALSE(volume.IsVolumeOK());
    EXPECT_EQ(volume.GetVolumePath(), L"Q:\\");
    EXPECT_EQ(log.Count(LogCapture::Error(L"Failed to open volume: Q. ")), 1u);
    EXPECT_EQ(volume.GetRecordsCount(), 0u);
}

TEST(Volume, NullDeviceIsNotOK) {
    NTFSVolume volume(nullptr, L"\\");
    EXPECT_FALSE(volume.IsVolumeOK());
    EXPECT_EQ(volume.GetVolumePath(), L"\\");
}

TEST(Volume, BootSectorUnreadableOrNotNTFS) {
    auto image = VolumeImage().Build();
    // The first read (the boot sector) fails, or delivers one byte short.
    FaultPlan failed, cutShort;
    failed.failAtRead = 1;
    cutShort.shortAtRead = 1;
    cutShort.shortKeep = 511;
    struct Case {
        FaultPlan plan;
        const wchar_t* message;
    } cases[] = {
        {failed, L"Reading boot sector error. "},
        {cutShort, L"Reading boot sector error. "},
    };
    for (const Case& c : cases) {
        LogCapture log;
        NTFSVolume volume(std::make_unique<FaultDevice>(OpenImage(image), c.plan), L"\\");
        EXPECT_FALSE(volume.IsVolumeOK());
        EXPECT_EQ(volume.GetDevice(), nullptr);  // closed
        EXPECT_EQ(log.Count(LogCapture::Error(c.message)), 1u);
    }
    // A FAT boot sector.
    auto fat = std::make_shared<Bytes>(*image);
    std::memcpy(fat->data() + 3, "MSDOS5.0", 8);
    LogCapture log;
    NTFSVolume volume(OpenImage(fat), L"\\");
    EXPECT_FALSE(volume.IsVolumeOK());
    EXPECT_EQ(volume.GetDevice(), nullptr);
    EXPECT_EQ(log.Count(LogCapture::Error(L"Not a NTFS file system. ")), 1u);
    // A sector size of 0 is refused the same way, before anything divides by it.
    auto zero = std::make_shared<Bytes>(*image);
    PutLE(*zero, 0x0B, 0, 2);
    NTFSVolume zeroVolume(OpenImage(zero), L"\\");
    EXPECT_FALSE(zeroVolume.IsVolumeOK());
    EXPECT_EQ(log.Count(LogCapture::Error(L"Not a NTFS file system. ")), 2u);
}

TEST(Volume, VersionCheck) {
    struct Case {
        uint8_t major, minor;
        bool ok;
        const wchar_t* line;
    } cases[] = {{1, 2, false, L"NTFS volume version is: 1.2. "}, {3, 0, true, L"NTFS volume version is: 3.0. "},
                 {3, 1, true, L"NTFS volume version is: 3.1. "}};
    for (const Case& c : cases) {
        VolumeImage::Geometry g;
        g.major = c.major;
        g.minor = c.minor;
        LogCapture log;
        auto volume = OpenVolume(VolumeImage(g));
        EXPECT_EQ(volume->IsVolumeOK(), c.ok);
        EXPECT_EQ(volume->GetVersion(), c.major * 256 + c.minor);
        EXPECT_EQ(log.Count(LogCapture::Info(c.line)), 1u);
        EXPECT_EQ(volume->HasMFTData(), c.ok);
    }
}

TEST(Volume, GeometryAndRecordCount) {
    VolumeImage::Geometry g;
    g.records = 256;
    auto volume = OpenVolume(VolumeImage(g));
    ASSERT_TRUE(volume->IsVolumeOK());
    EXPECT_EQ(volume->GetSectorSize(), 512);
    EXPECT_EQ(volume->GetClusterSize(), 4096u);
    EXPECT_EQ(volume->GetFileRecordSize(), 1024u);
    EXPECT_EQ(volume->GetIndexBlockSize(), 4096u);
    EXPECT_EQ(volume->GetMFTAddr(), 4u * 4096);
    EXPECT_EQ(volume->GetRecordsCount(), 256u);
}

TEST(Volume, VolumeRecordWithoutVersionOrUnreadable) {
    VolumeImage image;
    RecordLayout noInfo;
    noInfo.attrs = {StandardInfoAttr(0, 0, 0), FileNameAttr(5, L"$Volume")};
    image.SetRecord(3, noInfo);
    auto volume = OpenVolume(image);
    EXPECT_FALSE(volume->IsVolumeOK());
    EXPECT_EQ(volume->GetVersion(), 0);

    VolumeImage zeroed;
    zeroed.SetRawRecord(3, Bytes{});
    LogCapture log;
    auto other = OpenVolume(zeroed);
    EXPECT_FALSE(other->IsVolumeOK());
    EXPECT_EQ(log.Count(LogCapture::Error(L"Invalid file record. ")), 1u);
}

TEST(Volume, MFTWithoutDataIsOKButHasNoRecords) {
    VolumeImage image;
    RecordLayout mft;
    mft.attrs = {StandardInfoAttr(0, 0, 0), FileNameAttr(5, L"$MFT")};
    image.SetRecord(0, mft);
    image.AddFile(20, File(L"x.txt"));
    auto volume = OpenVolume(image);
    EXPECT_TRUE(volume->IsVolumeOK());
    EXPECT_FALSE(volume->HasMFTData());
    EXPECT_EQ(volume->GetMFTData(), nullptr);
    EXPECT_EQ(volume->GetRecordsCount(), 0u);
    // Records are still read from the MFT's address, which is all there is to go by.
    EXPECT_EQ(NameOf(*volume, 20), L"x.txt");

    VolumeImage unreadable;
    unreadable.SetRawRecord(0, Bytes{});
    auto other = OpenVolume(unreadable);
    EXPECT_TRUE(other->IsVolumeOK());
    EXPECT_FALSE(other->HasMFTData());
    EXPECT_EQ(other->GetRecordsCount(), 0u);
}

TEST(Volume, RecordsPastTheFirstExtentComeFromWhereTheRunsSay) {
    VolumeImage::Geometry g;
    g.records = 64;
    g.mftSplit = 8;  // records 32 and up lie in a second extent, 8 clusters further on
    VolumeImage image(g);
    image.AddFile(20, File(L"first extent.txt"));
    image.AddFile(40, File(L"second extent.txt"));
    auto volume = OpenVolume(image);
    ASSERT_TRUE(volume->IsVolumeOK());
    EXPECT_EQ(volume->GetRecordsCount(), 64u);
    EXPECT_EQ(NameOf(*volume, 20), L"first extent.txt");
    EXPECT_EQ(NameOf(*volume, 40), L"second extent.txt");
}

TEST(Volume, ManyRecordsInOneReadThroughTheMFTData) {
    VolumeImage::Geometry g;
    g.mftSplit = 6;
    VolumeImage image(g);
    for (uint64_t n = 16; n < 64; n += 3) image.AddFile(n, File(L"f" + std::to_wstring(n)));
    auto volume = OpenVolume(image);
    ASSERT_TRUE(volume->HasMFTData());
    const uint32_t size = volume->GetFileRecordSize();
    Bytes block(48 * size);
    uint32_t got = 0;
    ASSERT_TRUE(volume->GetMFTData()->ReadData(16ull * size, block.data(), static_cast<uint32_t>(block.size()), &got));
    ASSERT_EQ(got, block.size());
    NTFSFileRecord bulk(volume.get());
    bulk.SetAttrMask(kNTFSMaskFileName);
    for (uint64_t n = 16; n < 64; ++n) {
        ASSERT_TRUE(bulk.LoadFileRecord(n, block.data() + (n - 16) * size, size));
        ASSERT_TRUE(bulk.ParseAttrs());
        wchar_t buffer[261];
        int len = bulk.GetFileName(buffer, 260);
        std::wstring expected = (n - 16) % 3 == 0 ? L"f" + std::to_wstring(n) : L"";
        EXPECT_EQ(len > 0 ? std::wstring(buffer, static_cast<size_t>(len)) : L"", expected) << n;
        EXPECT_EQ(NameOf(*volume, n), expected) << n;
    }
}
