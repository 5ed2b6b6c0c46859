// The attribute classes on their own: resident values, names, file names, volume attributes.
#include <gtest/gtest.h>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSAttributeFileName.h"
#include "ntfs/NTFSAttributeVolumeInfo.h"
#include "ntfs/NTFSAttributeVolumeName.h"
#include "ntfs/NTFSBootSector.h"
#include "tests/ntfs/NTFSTestUtil.h"
#include "tests/support/LogCapture.h"

using namespace Vorlaq;
using namespace QuorretTest;

namespace {

ByteReader View(const Bytes& b) { return ByteReader(b.data(), b.size()); }

}  // namespace

TEST(ResidentAttribute, ReadDataCutsAtTheValue) {
    Bytes value = Pattern(100, 1);
    Bytes attr = ResidentAttr(0x80, value);
    ASSERT_TRUE(NTFSAttributeResident::IsWellFormed(View(attr)));
    NTFSAttributeResident data(View(attr), nullptr);
    uint8_t buffer[64] = {};
    uint32_t got = 99;
    ASSERT_TRUE(data.ReadData(60, buffer, 64, &got));
    EXPECT_EQ(got, 40u);
    EXPECT_EQ(0, std::memcmp(buffer, value.data() + 60, 40));
    EXPECT_FALSE(data.ReadData(100, buffer, 64, &got));
    EXPECT_EQ(got, 0u);
    ASSERT_TRUE(data.ReadData(100, buffer, 0, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(data.ReadData(0, nullptr, 10, &got));
    uint64_t allocated = 0;
    EXPECT_EQ(data.GetDataSize(&allocated), 100u);
    EXPECT_EQ(allocated, 100u);
    EXPECT_TRUE(data.IsDataRunOK());
    EXPECT_FALSE(data.IsNonResident());
    EXPECT_EQ(data.GetAttrType(), 0x80u);
}

TEST(ResidentAttribute, Names) {
    Bytes unnamed = ResidentAttr(0x80, Bytes(4, 0));
    NTFSAttributeResident a(View(unnamed), nullptr);
    wchar_t buffer[261];
    LogCapture log;
    EXPECT_TRUE(a.IsUnNamed());
    EXPECT_EQ(a.GetAttrName(buffer, 260), 0);
    EXPECT_EQ(log.Count(LogCapture::Info(L"Attribute is unnamed. ")), 1u);

    Bytes named = ResidentAttr(0x80, Bytes(4, 0), L"Zone.Identifier");
    NTFSAttributeResident b(View(named), nullptr);
    EXPECT_FALSE(b.IsUnNamed());
    EXPECT_EQ(b.GetAttrName(buffer, 5), -15);
    ASSERT_EQ(b.GetAttrName(buffer, 260), 15);
    EXPECT_EQ(std::wstring(buffer), L"Zone.Identifier");
}

TEST(FileNameAttribute, NamespacesAndEmptyNames) {
    Bytes both = FileNameAttr(5, L"A.TXT", kNameWin32AndDos);
    Bytes dos = FileNameAttr(5, L"A.TXT", kNameDos);
    Bytes posix = FileNameAttr(5, L"a.txt", kNamePosix);
    Bytes empty = FileNameAttr(5, L"", kNameWin32);
    EXPECT_TRUE(NTFSAttributeFileName(View(both), nullptr).IsWin32Name());
    EXPECT_FALSE(NTFSAttributeFileName(View(dos), nullptr).IsWin32Name());
    EXPECT_TRUE(NTFSAttributeFileName(View(posix), nullptr).IsWin32Name());
    NTFSAttributeFileName none(View(empty), nullptr);
    EXPECT_FALSE(none.IsWin32Name());
    wchar_t buffer[261];
    EXPECT_EQ(none.GetFileName(buffer, 260), 0);
}

TEST(FileNameAttribute, FieldsAndCompare) {
    Bytes attr = FileNameAttr(0x0003000000000123ull, L"Report.docx", kNameWin32, false, 5000);
    NTFSAttributeFileName name(View(attr), nullptr);
    EXPECT_EQ(name.GetParentRef(), 0x0003000000000123ull);
    EXPECT_EQ(name.GetFileSize(), 5000u);
    EXPECT_FALSE(name.IsDirectory());
    EXPECT_EQ(name.Compare(L"REPORT.DOCX"), 0);
    EXPECT_EQ(name.Compare(L"report.docx"), 0);
    EXPECT_LT(name.Compare(L"aaa"), 0);
    EXPECT_GT(name.Compare(L"zzz"), 0);
    EXPECT_EQ(name.Compare(std::wstring(261, L'a').c_str()), 1);
    Bytes dir = FileNameAttr(5, L"d", kNameWin32, true);
    EXPECT_TRUE(NTFSAttributeFileName(View(dir), nullptr).IsDirectory());

    // Outside the BMP the name is one UTF-16 pair on disk and what the platform's wchar_t makes
    // of it in memory; it round-trips either way.
    std::wstring emoji = L"x\U0001F600.txt";
    Bytes wideAttr = FileNameAttr(5, emoji);
    NTFSAttributeFileName wide(View(wideAttr), nullptr);
    wchar_t buffer[261];
    ASSERT_EQ(wide.GetFileName(buffer, 260), static_cast<int>(emoji.size()));
    EXPECT_EQ(std::wstring(buffer), emoji);
}

TEST(FileNameAttribute, ValueTooShortForItsNameIsNotWellFormed) {
    Bytes attr = FileNameAttr(5, L"abcdef");
    EXPECT_TRUE(NTFSAttributeFileName::IsWellFormed(View(attr)));
    PutLE(attr, 0x10, 0x42 + 4, 4);  // value length: room for two of the six characters
    EXPECT_FALSE(NTFSAttributeFileName::IsWellFormed(View(attr)));
    PutLE(attr, 0x10, 0x30, 4);
    EXPECT_FALSE(NTFSAttributeFileName::IsWellFormed(View(attr)));
}

TEST(VolumeAttributes, VersionAndLabel) {
    Bytes info = VolumeInfoAttr(3, 1);
    EXPECT_EQ(NTFSAttributeVolumeInfo(View(info), nullptr).GetVersion(), 0x301);
    // "Data" and a Cyrillic capital ZHE, UTF-16LE.
    Bytes label = {'D', 0, 'a', 0, 't', 0, 'a', 0, 0x16, 0x04};
    Bytes attr = ResidentAttr(0x60, label);
    NTFSAttributeVolumeName name(View(attr), nullptr);
    EXPECT_EQ(name.GetVolumeName(), L"Data\u0416");
    EXPECT_EQ(name.GetVolumeNameLength(), 5);
    EXPECT_FALSE(name.GetVolumeNameNarrow().empty());
    EXPECT_EQ(name.GetVolumeNameNarrow().substr(0, 4), "Data");
}

namespace {

Bytes Boot(uint16_t sectorSize, uint8_t sectorsPerCluster, int8_t recordByte, uint64_t mftCluster = 4) {
    Bytes boot(512, 0);
    std::memcpy(boot.data() + 3, "NTFS    ", 8);
    PutLE(boot, 0x0B, sectorSize, 2);
    PutLE(boot, 0x0D, sectorsPerCluster, 1);
    PutLE(boot, 0x30, mftCluster, 8);
    PutLE(boot, 0x40, static_cast<uint8_t>(recordByte), 1);
    PutLE(boot, 0x44, 1, 1);
    return boot;
}

}  // namespace

TEST(BootSector, SizeRules) {
    NTFSBootSector g;
    Bytes boot = Boot(512, 8, -10);
    ASSERT_TRUE(ParseBootSector(boot.data(), boot.size(), &g));
    EXPECT_EQ(g.sectorSize, 512);
    EXPECT_EQ(g.clusterSize, 4096u);
    EXPECT_EQ(g.fileRecordSize, 1024u);
    EXPECT_EQ(g.indexBlockSize, 4096u);
    EXPECT_EQ(g.mftAddr, 4u * 4096);
    EXPECT_EQ(g.totalClusters, 0u) << "no sector count: the volume's size is unknown";
    // The sector count leaves out the backup boot sector; a partial last cluster is no cluster.
    PutLE(boot, 0x28, 8 * 1000 + 7, 8);
    ASSERT_TRUE(ParseBootSector(boot.data(), boot.size(), &g));
    EXPECT_EQ(g.totalClusters, 1000u);
    boot = Boot(512, 8, 2);
    ASSERT_TRUE(ParseBootSector(boot.data(), boot.size(), &g));
    EXPECT_EQ(g.fileRecordSize, 8192u);
    // Above 128 sectors per cluster the byte is 256 - log2 of the count: 0xF4 is 4096 sectors.
    boot = Boot(512, 0xF4, -10);
    ASSERT_TRUE(ParseBootSector(boot.data(), boot.size(), &g));
    EXPECT_EQ(g.clusterSize, 2u * 1024 * 1024);
    boot = Boot(4096, 1, 1);
    ASSERT_TRUE(ParseBootSector(boot.data(), boot.size(), &g));
    EXPECT_EQ(g.fileRecordSize, 4096u);
}

TEST(BootSector, HostileSizesAreRefused) {
    NTFSBootSector g;
    struct Case {
        uint16_t sector;
        uint8_t perCluster;
        int8_t record;
    } cases[] = {
        {0, 8, -10},      // sector size 0
        {300, 8, -10},    // not a power of two
        {128, 8, -10},    // below 256
        {8192, 1, -13},   // above 4096
        {512, 0, -10},    // no sectors per cluster
        {512, 0xF3, -10}, // 8192 sectors: a 4 MiB cluster
        {512, 8, 0},      // 1-byte records
        {512, 8, -5},     // 32-byte records: no room for a header
        {4096, 1, -10},   // 1024-byte records with 4096-byte sectors
        {512, 8, -100},   // shift out of range
        {512, 8, 100},    // 400 KiB records
    };
    for (const Case& c : cases) {
        Bytes boot = Boot(c.sector, c.perCluster, c.record);
        EXPECT_FALSE(ParseBootSector(boot.data(), boot.size(), &g)) << c.sector << " " << int{c.perCluster} << " "
                                                                     << int{c.record};
    }
    Bytes notNtfs = Boot(512, 8, -10);
    std::memcpy(notNtfs.data() + 3, "MSDOS5.0", 8);
    EXPECT_FALSE(ParseBootSector(notNtfs.data(), notNtfs.size(), &g));
    Bytes farMft = Boot(512, 8, -10, UINT64_MAX / 2);
    EXPECT_FALSE(ParseBootSector(farMft.data(), farMft.size(), &g));
    EXPECT_FALSE(ParseBootSector(notNtfs.data(), 40, &g));
}
