#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cli/PartitionText.h"

using namespace Vorlaq;

namespace {

class MemoryDevice : public Device {
public:
    explicit MemoryDevice(size_t size) : bytes(size) {}
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        if (offset >= bytes.size()) return true;
        uint64_t n = std::min<uint64_t>(length, bytes.size() - offset);
        std::memcpy(buffer, bytes.data() + offset, static_cast<size_t>(n));
        *delivered = static_cast<uint32_t>(n);
        return true;
    }
    void Put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void Put64(size_t at, uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void NtfsBootSector(size_t at) { std::memcpy(&bytes[at + 3], "NTFS    ", 8); }
    void Signature(size_t sector) {
        bytes[sector + 510] = 0x55;
        bytes[sector + 511] = 0xAA;
    }
    // Slot `i` of the boot record at byte `sector`.
    void Slot(size_t sector, int i, uint8_t type, uint32_t start, uint32_t count, uint8_t status = 0) {
        size_t at = sector + 446 + 16 * i;
        bytes[at] = status;
        bytes[at + 4] = type;
        Put32(at + 8, start);
        Put32(at + 12, count);
    }
    std::vector<uint8_t> bytes;
};

const uint8_t kBasicData[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
const uint8_t kLinuxData[16] = {0xAF, 0x3D, 0xC6, 0x0F, 0x83, 0x84, 0x72, 0x47,
                                0x8E, 0x79, 0x3D, 0x69, 0xD8, 0x47, 0x7D, 0xE4};

// A GPT disk with `sector`-byte sectors: entries at LBA 2, partition 1 basic data holding NTFS
// at LBA 40, partition 2 unused, partition 3 Linux data at LBA 60.
MemoryDevice GptDisk(uint32_t sector, uint32_t entries = 128, uint32_t entrySize = 128) {
    MemoryDevice d(100 * sector);
    d.Signature(0);
    d.Slot(0, 0, 0xEE, 1, 99);
    std::memcpy(&d.bytes[sector], "EFI PART", 8);
    d.Put64(sector + 0x48, 2);
    d.Put32(sector + 0x50, entries);
    d.Put32(sector + 0x54, entrySize);
    size_t array = 2 * sector;
    std::memcpy(&d.bytes[array], kBasicData, 16);
    d.Put64(array + 32, 40);
    d.Put64(array + 40, 49);
    std::memcpy(&d.bytes[array + 2 * entrySize], kLinuxData, 16);
    d.Put64(array + 2 * entrySize + 32, 60);
    d.Put64(array + 2 * entrySize + 40, 69);
    d.NtfsBootSector(40 * sector);
    return d;
}

}  // namespace

TEST(PartitionTable, AVolumeOrNothingKnownIsNoTable) {
    MemoryDevice volume(4096);
    volume.NtfsBootSector(0);
    volume.Signature(0);  // an NTFS boot sector ends in 55 AA too
    EXPECT_EQ(ReadPartitionTable(volume).scheme, PartitionScheme::None);

    MemoryDevice zeros(4096);
    EXPECT_EQ(ReadPartitionTable(zeros).scheme, PartitionScheme::None);

    MemoryDevice tiny(100);
    EXPECT_EQ(ReadPartitionTable(tiny).scheme, PartitionScheme::None);

    // 55 AA with a status byte no table uses: the boot sector of another file system.
    MemoryDevice fat(4096);
    fat.Signature(0);
    fat.Slot(0, 0, 0x07, 8, 8, 0x3C);
    EXPECT_EQ(ReadPartitionTable(fat).scheme, PartitionScheme::None);
}

TEST(PartitionTable, MbrPrimaryAndLogicalPartitions) {
    MemoryDevice d(64 * 512);
    d.Signature(0);
    d.Slot(0, 0, 0x07, 8, 8, 0x80);   // NTFS
    d.Slot(0, 1, 0x0B, 16, 4);        // FAT32
    d.Slot(0, 2, 0x05, 24, 40);       // extended, its chain below
    d.NtfsBootSector(8 * 512);
    // First logical: boot record at 24, partition 2 sectors on (26), next record at 24 + 10.
    d.Signature(24 * 512);
    d.Slot(24 * 512, 0, 0x07, 2, 6);
    d.Slot(24 * 512, 1, 0x05, 10, 10);
    d.NtfsBootSector(26 * 512);
    // Second logical: boot record at 34, partition at 36, not NTFS; end of the chain.
    d.Signature(34 * 512);
    d.Slot(34 * 512, 0, 0x83, 2, 6);

    PartitionTable t = ReadPartitionTable(d);
    ASSERT_EQ(t.scheme, PartitionScheme::Mbr);
    ASSERT_EQ(t.partitions.size(), 4u);
    EXPECT_EQ(t.partitions[0].number, 1u);
    EXPECT_EQ(t.partitions[0].offset, 4096u);
    EXPECT_EQ(t.partitions[0].size, 4096u);
    EXPECT_EQ(t.partitions[0].type, L"0x07");
    EXPECT_TRUE(t.partitions[0].ntfs);
    EXPECT_EQ(t.partitions[1].type, L"0x0B");
    EXPECT_FALSE(t.partitions[1].ntfs);
    EXPECT_EQ(t.partitions[2].number, 5u);
    EXPECT_EQ(t.partitions[2].offset, 26u * 512);
    EXPECT_TRUE(t.partitions[2].ntfs);
    EXPECT_EQ(t.partitions[3].number, 6u);
    EXPECT_EQ(t.partitions[3].offset, 36u * 512);
    EXPECT_FALSE(t.partitions[3].ntfs);

    std::wstring text = DescribePartitionTable(t, L"disk.img", L"scan");
    EXPECT_NE(text.find(L"disk.img starts with an MBR partition table"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"  1   4096            8s "), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"  5   13312           26s "), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"  2   "), std::wstring::npos) << text;  // FAT32 is not listed
    EXPECT_NE(text.find(L"quorret-cli scan disk.img --offset 4096"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"quorret-cli scan disk.img --partition 1\n"), std::wstring::npos) << text;
}

TEST(PartitionTable, LogicalChainThatLoopsEnds) {
    MemoryDevice d(64 * 512);
    d.Signature(0);
    d.Slot(0, 0, 0x0F, 8, 40);
    d.Signature(8 * 512);
    d.Slot(8 * 512, 0, 0x07, 2, 2);
    d.Slot(8 * 512, 1, 0x05, 0, 10);  // links back to itself (relative 0): refused
    PartitionTable t = ReadPartitionTable(d);
    EXPECT_EQ(t.partitions.size(), 1u);

    d.Slot(8 * 512, 1, 0x05, 10, 10);  // forward to 18, which links back to 8
    d.Signature(18 * 512);
    d.Slot(18 * 512, 0, 0x07, 2, 2);
    d.Slot(18 * 512, 1, 0x05, 0, 10);
    t = ReadPartitionTable(d);
    EXPECT_EQ(t.partitions.size(), 2u);
}

TEST(PartitionTable, GptWithSmallAndLargeSectors) {
    for (uint32_t sector : {512u, 4096u}) {
        MemoryDevice d = GptDisk(sector);
        PartitionTable t = ReadPartitionTable(d);
        ASSERT_EQ(t.scheme, PartitionScheme::Gpt) << sector;
        EXPECT_EQ(t.sectorSize, sector);
        ASSERT_EQ(t.partitions.size(), 2u);
        EXPECT_EQ(t.partitions[0].number, 1u);
        EXPECT_EQ(t.partitions[0].offset, 40ull * sector);
        EXPECT_EQ(t.partitions[0].size, 10ull * sector);
        EXPECT_EQ(t.partitions[0].type, L"basic data");
        EXPECT_TRUE(t.partitions[0].ntfs);
        EXPECT_EQ(t.partitions[1].number, 3u);
        EXPECT_EQ(t.partitions[1].type, L"0FC63DAF-8483-4772-8E79-3D69D8477DE4");
        EXPECT_FALSE(t.partitions[1].ntfs);
        std::wstring text = DescribePartitionTable(t, L"d.img", L"info");
        EXPECT_NE(text.find(L"a GPT partition table"), std::wstring::npos);
        EXPECT_NE(text.find(L"--offset " + std::to_wstring(40ull * sector)), std::wstring::npos) << text;
    }
}

TEST(PartitionTable, HostileGptHeadersFallBackToTheProtectiveMbr) {
    struct Case {
        uint32_t entries, entrySize;
    };
    for (Case c : {Case{128, 0}, Case{128, 100}, Case{128, 130}, Case{128, 8192}, Case{0x7FFFFFFF, 128},
                   Case{0, 128}}) {
        MemoryDevice d = GptDisk(512, c.entries, c.entrySize);
        PartitionTable t = ReadPartitionTable(d);
        if (c.entries == 0) {
            EXPECT_EQ(t.scheme, PartitionScheme::Gpt);  // a table without entries
            EXPECT_TRUE(t.partitions.empty());
            continue;
        }
        EXPECT_EQ(t.scheme, PartitionScheme::Mbr) << c.entries << " " << c.entrySize;
        ASSERT_EQ(t.partitions.size(), 1u);
        EXPECT_EQ(t.partitions[0].type, L"0xEE");
        EXPECT_FALSE(t.partitions[0].ntfs);
        EXPECT_NE(DescribePartitionTable(t, L"d", L"scan").find(L"no NTFS partition"), std::wstring::npos);
    }

    MemoryDevice far = GptDisk(512);
    far.Put64(512 + 0x48, UINT64_MAX / 256);  // entry array beyond any byte offset
    EXPECT_EQ(ReadPartitionTable(far).scheme, PartitionScheme::Mbr);

    MemoryDevice overflow = GptDisk(512);
    overflow.Put64(2 * 512 + 32, UINT64_MAX / 2);  // first LBA whose byte offset overflows
    PartitionTable t = ReadPartitionTable(overflow);
    ASSERT_EQ(t.scheme, PartitionScheme::Gpt);
    ASSERT_EQ(t.partitions.size(), 1u);
    EXPECT_EQ(t.partitions[0].number, 3u);
}

TEST(PartitionTable, TruncatedGptListsWhatItHolds) {
    MemoryDevice d = GptDisk(512);
    d.bytes.resize(2 * 512 + 200);  // the first entry whole, the third cut off
    PartitionTable t = ReadPartitionTable(d);
    ASSERT_EQ(t.scheme, PartitionScheme::Gpt);
    ASSERT_EQ(t.partitions.size(), 1u);
    EXPECT_EQ(t.partitions[0].number, 1u);
    EXPECT_FALSE(t.partitions[0].ntfs);  // its sectors are not in the image
}
