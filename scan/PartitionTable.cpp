#include "scan/PartitionTable.h"

#include <cstring>

#include "base/ByteReader.h"
#include "base/WideFormat.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kMbrSectorSize = 512;
constexpr size_t kMbrEntries = 446;
// An extended partition's chain of boot records is followed this far at most.
constexpr uint32_t kMaxLogicalPartitions = 128;
// A GPT entry array is read in one piece of at most this many bytes.
constexpr uint64_t kMaxGptArrayBytes = 1u << 20;
constexpr uint32_t kMinGptEntrySize = 128;
constexpr uint32_t kMaxGptEntrySize = 4096;

// EBD0A0A2-B9E5-4433-87C0-68B6B72699C7 and DE94BBA4-06D1-4D40-A16A-BFD50179D6AC as stored.
constexpr uint8_t kBasicDataGuid[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                        0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
constexpr uint8_t kRecoveryGuid[16] = {0xA4, 0xBB, 0x94, 0xDE, 0xD1, 0x06, 0x40, 0x4D,
                                       0xA1, 0x6A, 0xBF, 0xD5, 0x01, 0x79, 0xD6, 0xAC};

// The bytes at `offset`, or an empty buffer when the device delivers fewer than `length`.
std::vector<uint8_t> ReadExactly(Device& device, uint64_t offset, uint32_t length) {
    std::vector<uint8_t> bytes(length);
    uint32_t delivered = 0;
    if (!device.ReadAt(offset, bytes.data(), length, &delivered) || delivered != length) bytes.clear();
    return bytes;
}

bool IsNtfsBootSector(const std::vector<uint8_t>& sector) {
    return sector.size() >= 11 && std::memcmp(sector.data() + 3, "NTFS    ", 8) == 0;
}

bool StartsWithNtfs(Device& device, uint64_t offset) {
    return IsNtfsBootSector(ReadExactly(device, offset, kMbrSectorSize));
}

// An NTFS boot sector at the partition's start, or its backup in the partition's last sector (the
// start may be damaged; the reader then opens the volume through the backup).
bool HoldsNtfs(Device& device, uint64_t offset, uint64_t size, uint32_t sectorSize) {
    if (StartsWithNtfs(device, offset)) return true;
    for (uint64_t sector : {uint64_t{kMbrSectorSize}, uint64_t{sectorSize}})
        if (size > sector && offset <= UINT64_MAX - size && StartsWithNtfs(device, offset + size - sector)) return true;
    return false;
}

bool MulFits(uint64_t a, uint64_t b, uint64_t* out) {
    if (b != 0 && a > UINT64_MAX / b) return false;
    *out = a * b;
    return true;
}

struct MbrSlot {
    uint8_t status = 0, type = 0;
    uint32_t start = 0, sectors = 0;
};

// The four slots of a boot record; false without the 55 AA signature or with a status byte that
// no partition table uses (a boot sector of some file system, not a table).
bool ReadMbrSlots(const std::vector<uint8_t>& sector, MbrSlot slots[4]) {
    ByteReader r(sector.data(), sector.size());
    if (r.U8(510) != 0x55 || r.U8(511) != 0xAA) return false;
    for (size_t i = 0; i < 4; ++i) {
        size_t at = kMbrEntries + 16 * i;
        auto status = r.U8(at), type = r.U8(at + 4);
        auto start = r.U32(at + 8), sectors = r.U32(at + 12);
        if (!status || !type || !start || !sectors) return false;
        if (*status != 0x00 && *status != 0x80) return false;
        slots[i] = MbrSlot{*status, *type, *start, *sectors};
    }
    return true;
}

bool IsExtended(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

PartitionEntry MakeMbrEntry(Device& device, uint32_t number, uint64_t startSector, uint32_t sectors, uint8_t type) {
    PartitionEntry entry;
    entry.number = number;
    entry.offset = startSector * kMbrSectorSize;  // below 2^33 sectors: cannot overflow
    entry.size = static_cast<uint64_t>(sectors) * kMbrSectorSize;
    entry.type = FormatWide(L"0x%02X", type);
    entry.ntfs = HoldsNtfs(device, entry.offset, entry.size, kMbrSectorSize);
    return entry;
}

// Logical partitions: each extended boot record describes one partition (relative to itself)
// and links to the next record (relative to the extended partition). Every link must move
// forward, so a damaged chain cannot loop.
void ReadLogicalPartitions(Device& device, uint32_t extendedStart, PartitionTable& table) {
    uint64_t record = extendedStart;
    uint32_t number = 5;
    for (uint32_t n = 0; n < kMaxLogicalPartitions; ++n) {
        MbrSlot slots[4];
        if (!ReadMbrSlots(ReadExactly(device, record * kMbrSectorSize, kMbrSectorSize), slots)) return;
        if (slots[0].type != 0 && slots[0].sectors != 0)
            table.partitions.push_back(
                MakeMbrEntry(device, number++, record + slots[0].start, slots[0].sectors, slots[0].type));
        if (!IsExtended(slots[1].type) || slots[1].start == 0) return;
        uint64_t next = static_cast<uint64_t>(extendedStart) + slots[1].start;
        if (next <= record) return;
        record = next;
    }
}

bool ReadMbr(Device& device, const std::vector<uint8_t>& sector, PartitionTable& table) {
    MbrSlot slots[4];
    if (!ReadMbrSlots(sector, slots)) return false;
    bool any = false;
    for (const MbrSlot& s : slots) any = any || (s.type != 0 && s.sectors != 0);
    if (!any) return false;
    table.scheme = PartitionScheme::Mbr;
    for (uint32_t i = 0; i < 4; ++i) {
        const MbrSlot& s = slots[i];
        if (s.type == 0 || s.sectors == 0) continue;
        if (IsExtended(s.type)) {
            ReadLogicalPartitions(device, s.start, table);
            continue;
        }
        table.partitions.push_back(MakeMbrEntry(device, i + 1, s.start, s.sectors, s.type));
    }
    return true;
}

std::wstring GuidText(const ByteReader& r) {
    auto d1 = r.U32(0);
    auto d2 = r.U16(4), d3 = r.U16(6);
    std::wstring text = FormatWide(L"%08X-%04X-%04X-", d1.value_or(0), d2.value_or(0), d3.value_or(0));
    for (size_t i = 8; i < 16; ++i) {
        if (i == 10) text += L'-';
        text += FormatWide(L"%02X", r.U8(i).value_or(0));
    }
    return text;
}

bool ReadGptAt(Device& device, uint32_t sectorSize, PartitionTable& table) {
    std::vector<uint8_t> header = ReadExactly(device, sectorSize, kMbrSectorSize);
    if (header.empty() || std::memcmp(header.data(), "EFI PART", 8) != 0) return false;
    ByteReader r(header.data(), header.size());
    auto arrayLba = r.U64(0x48);
    auto count = r.U32(0x50), entrySize = r.U32(0x54);
    uint64_t arrayOffset = 0, arrayBytes = 0;
    if (!arrayLba || !count || !entrySize || *entrySize < kMinGptEntrySize || *entrySize > kMaxGptEntrySize ||
        *entrySize % 8 != 0 || !MulFits(*arrayLba, sectorSize, &arrayOffset) ||
        !MulFits(*count, *entrySize, &arrayBytes) || arrayBytes > kMaxGptArrayBytes)
        return false;

    table.scheme = PartitionScheme::Gpt;
    table.sectorSize = sectorSize;
    std::vector<uint8_t> array(static_cast<size_t>(arrayBytes));
    uint32_t delivered = 0;
    if (arrayBytes == 0 ||
        !device.ReadAt(arrayOffset, array.data(), static_cast<uint32_t>(arrayBytes), &delivered))
        delivered = 0;
    ByteReader all(array.data(), delivered);  // a truncated image lists what it holds
    for (uint32_t i = 0; i < *count; ++i) {
        auto entry = all.Sub(static_cast<size_t>(i) * *entrySize, *entrySize);
        if (!entry) break;
        auto type = entry->Sub(0, 16);
        auto first = entry->U64(32), last = entry->U64(40);
        if (!type || !first || !last) break;
        static const uint8_t kZero[16] = {};
        if (std::memcmp(type->data(), kZero, 16) == 0) continue;

        PartitionEntry p;
        p.number = i + 1;
        if (!MulFits(*first, sectorSize, &p.offset)) continue;
        if (*last >= *first && !MulFits(*last - *first + 1, sectorSize, &p.size)) p.size = 0;
        if (std::memcmp(type->data(), kBasicDataGuid, 16) == 0) p.type = L"basic data";
        else if (std::memcmp(type->data(), kRecoveryGuid, 16) == 0) p.type = L"recovery";
        else p.type = GuidText(*type);
        p.ntfs = HoldsNtfs(device, p.offset, p.size, sectorSize);
        table.partitions.push_back(std::move(p));
    }
    return true;
}

}  // namespace

PartitionTable ReadPartitionTable(Device& device) {
    PartitionTable table;
    std::vector<uint8_t> first = ReadExactly(device, 0, kMbrSectorSize);
    if (first.empty() || IsNtfsBootSector(first)) return table;
    // GPT first: its protective MBR would otherwise read as one partition of type 0xEE.
    for (uint32_t sectorSize : {512u, 4096u}) {
        table = PartitionTable();
        if (ReadGptAt(device, sectorSize, table)) return table;
    }
    table = PartitionTable();
    if (!ReadMbr(device, first, table)) table = PartitionTable();
    return table;
}

}  // namespace Vorlaq
