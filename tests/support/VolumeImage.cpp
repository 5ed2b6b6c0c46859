#include "tests/support/VolumeImage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Utf16.h"

namespace QuorretTest {

namespace {

void Put(Bytes& b, size_t at, uint64_t value, int width) {
    if (b.size() < at + width) b.resize(at + width);
    for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

void PutName(Bytes& b, size_t at, const std::u16string& name) {
    for (size_t i = 0; i < name.size(); ++i) Put(b, at + 2 * i, name[i], 2);
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "VolumeImage: %s\n", what);
    std::abort();
}

// The volume label "Synthetic" in UTF-16LE.
Bytes Label() {
    Bytes label;
    for (char c : std::string("Synthetic")) {
        label.push_back(static_cast<uint8_t>(c));
        label.push_back(0);
    }
    return label;
}

Bytes EncodeRuns(const std::vector<Run>& runs) {
    Bytes out;
    int64_t previous = 0;
    for (const Run& run : runs) {
        uint8_t lengthBytes = 1;
        while (lengthBytes < 8 && (run.clusters >> (8 * lengthBytes)) != 0) ++lengthBytes;
        uint8_t offsetBytes = 0;
        int64_t delta = 0;
        if (run.lcn >= 0) {
            delta = run.lcn - previous;
            offsetBytes = 1;
            while (offsetBytes < 8) {
                int64_t low = -(int64_t{1} << (8 * offsetBytes - 1));
                int64_t high = (int64_t{1} << (8 * offsetBytes - 1)) - 1;
                if (delta >= low && delta <= high) break;
                ++offsetBytes;
            }
            previous = run.lcn;
        }
        out.push_back(static_cast<uint8_t>(offsetBytes << 4 | lengthBytes));
        for (int i = 0; i < lengthBytes; ++i) out.push_back(static_cast<uint8_t>(run.clusters >> (8 * i)));
        for (int i = 0; i < offsetBytes; ++i)
            out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(delta) >> (8 * i)));
    }
    out.push_back(0);
    return out;
}

}  // namespace

Bytes StandardInfoAttr(uint64_t created, uint64_t modified, uint64_t accessed, uint32_t flags) {
    Bytes value(72, 0);
    Put(value, 0x00, created, 8);
    Put(value, 0x08, modified, 8);
    Put(value, 0x10, modified, 8);
    Put(value, 0x18, accessed, 8);
    Put(value, 0x20, flags, 4);
    return ResidentAttr(0x10, value);
}

Bytes FileNameAttr(uint64_t parentRef, const std::wstring& name, uint8_t nameSpace, bool directory,
                   uint64_t dataSize) {
    std::u16string units = Vorlaq::ToUtf16(name);
    Bytes value(0x42 + 2 * units.size(), 0);
    Put(value, 0x00, parentRef, 8);
    Put(value, 0x30, dataSize, 8);
    Put(value, 0x38, directory ? 0x10000000u : 0u, 4);
    Put(value, 0x40, units.size(), 1);
    Put(value, 0x41, nameSpace, 1);
    PutName(value, 0x42, units);
    return ResidentAttr(0x30, value);
}

Bytes ResidentAttr(uint32_t type, const Bytes& value, const std::wstring& name, uint16_t flags) {
    std::u16string units = Vorlaq::ToUtf16(name);
    size_t valueOffset = Align8(0x18 + 2 * units.size());
    Bytes attr(Align8(valueOffset + value.size()), 0);
    Put(attr, 0x00, type, 4);
    Put(attr, 0x04, attr.size(), 4);
    Put(attr, 0x09, units.size(), 1);
    Put(attr, 0x0A, 0x18, 2);
    Put(attr, 0x0C, flags, 2);
    Put(attr, 0x10, value.size(), 4);
    Put(attr, 0x14, valueOffset, 2);
    PutName(attr, 0x18, units);
    std::copy(value.begin(), value.end(), attr.begin() + static_cast<std::ptrdiff_t>(valueOffset));
    return attr;
}

Bytes NonResidentAttr(uint32_t type, const std::vector<Run>& runs, uint32_t clusterSize, uint64_t dataSize,
                      uint64_t startVcn, const std::wstring& name, uint16_t flags, uint16_t compressionUnit) {
    std::u16string units = Vorlaq::ToUtf16(name);
    Bytes encoded = EncodeRuns(runs);
    size_t runsOffset = Align8(0x40 + 2 * units.size());
    Bytes attr(Align8(runsOffset + encoded.size()), 0);
    uint64_t clusters = 0;
    for (const Run& run : runs) clusters += run.clusters;
    Put(attr, 0x00, type, 4);
    Put(attr, 0x04, attr.size(), 4);
    Put(attr, 0x08, 1, 1);
    Put(attr, 0x09, units.size(), 1);
    Put(attr, 0x0A, 0x40, 2);
    Put(attr, 0x0C, flags, 2);
    Put(attr, 0x10, startVcn, 8);
    Put(attr, 0x18, startVcn + clusters - 1, 8);
    Put(attr, 0x20, runsOffset, 2);
    Put(attr, 0x22, compressionUnit, 2);
    Put(attr, 0x28, startVcn == 0 ? clusters * clusterSize : 0, 8);
    Put(attr, 0x30, startVcn == 0 ? dataSize : 0, 8);
    Put(attr, 0x38, startVcn == 0 ? dataSize : 0, 8);
    PutName(attr, 0x40, units);
    std::copy(encoded.begin(), encoded.end(), attr.begin() + static_cast<std::ptrdiff_t>(runsOffset));
    return attr;
}

Bytes AttributeListAttr(const std::vector<ListEntry>& entries) {
    Bytes value;
    for (const ListEntry& entry : entries) {
        size_t at = value.size();
        Put(value, at + 0x00, entry.type, 4);
        Put(value, at + 0x04, 0x20, 2);
        Put(value, at + 0x06, 0, 1);
        Put(value, at + 0x07, 0x1A, 1);
        Put(value, at + 0x08, entry.startVcn, 8);
        Put(value, at + 0x10, entry.recordRef, 8);
        Put(value, at + 0x18, 0, 8);
    }
    return ResidentAttr(0x20, value);
}

Bytes VolumeInfoAttr(uint8_t major, uint8_t minor) {
    Bytes value(12, 0);
    value[8] = major;
    value[9] = minor;
    return ResidentAttr(0x70, value);
}

VolumeImage::VolumeImage(Geometry geometry) : g_(geometry) {
    if (g_.clusterSize % g_.sectorSize || g_.recordSize % 512 || g_.records < 16) Fail("bad geometry");
    nextCluster_ = g_.mftCluster + MftClusters() + (g_.mftSplit ? 8 : 0);
    RecordLayout mft;
    std::vector<Run> mftRuns;
    if (g_.mftSplit && g_.mftSplit < MftClusters()) {
        mftRuns = {{static_cast<int64_t>(g_.mftCluster), g_.mftSplit},
                   {static_cast<int64_t>(SecondExtentLcn()), MftClusters() - g_.mftSplit}};
    } else {
        mftRuns = {{static_cast<int64_t>(g_.mftCluster), MftClusters()}};
    }
    mft.attrs = {StandardInfoAttr(0, 0, 0, 0x6), FileNameAttr(5, L"$MFT"),
                 NonResidentAttr(0x80, mftRuns, g_.clusterSize, g_.records * g_.recordSize)};
    SetRecord(0, std::move(mft));
    RecordLayout volume;
    volume.attrs = {StandardInfoAttr(0, 0, 0, 0x6), FileNameAttr(5, L"$Volume"),
                    ResidentAttr(0x60, Label()), VolumeInfoAttr(g_.major, g_.minor)};
    SetRecord(3, std::move(volume));
    RecordLayout root;
    root.flags = kRecordInUse | kRecordDirectory;
    root.attrs = {StandardInfoAttr(0, 0, 0, 0x6), FileNameAttr(5, L".", kNameWin32AndDos, true)};
    SetRecord(5, std::move(root));
    // A cluster bitmap with every cluster in use, so other readers (The Sleuth Kit) open the image.
    RecordLayout bitmap;
    bitmap.attrs = {StandardInfoAttr(0, 0, 0, 0x6), FileNameAttr(5, L"$Bitmap"),
                    NonResidentAttr(0x80, PlaceData(Bytes(64, 0xFF)), g_.clusterSize, 64)};
    SetRecord(6, std::move(bitmap));
    for (uint64_t n : {1, 2, 4, 7, 8, 9, 10, 11, 12, 13, 14, 15}) SetRecord(n, RecordLayout{});
}

uint64_t VolumeImage::MftClusters() const {
    return (g_.records * g_.recordSize + g_.clusterSize - 1) / g_.clusterSize;
}

uint64_t VolumeImage::SecondExtentLcn() const { return g_.mftCluster + g_.mftSplit + 8; }

uint64_t VolumeImage::MftByteOnVolume(uint64_t mftOffset) const {
    uint64_t vcn = mftOffset / g_.clusterSize;
    uint64_t lcn = g_.mftSplit && vcn >= g_.mftSplit ? SecondExtentLcn() + (vcn - g_.mftSplit) : g_.mftCluster + vcn;
    return lcn * g_.clusterSize + mftOffset % g_.clusterSize;
}

void VolumeImage::AddFile(uint64_t number, const FileEntry& file) {
    RecordLayout layout;
    layout.flags = static_cast<uint16_t>((file.deleted ? 0 : kRecordInUse) | (file.directory ? kRecordDirectory : 0));
    if (file.withStandardInfo)
        layout.attrs.push_back(StandardInfoAttr(file.created, file.modified, file.accessed, file.fileFlags));
    uint64_t size = file.data ? file.data->size() : 0;
    layout.attrs.push_back(FileNameAttr(file.parent, file.name, kNameWin32, file.directory, size));
    if (file.data) {
        if (file.nonResident)
            layout.attrs.push_back(NonResidentAttr(0x80, PlaceData(*file.data), g_.clusterSize, size));
        else
            layout.attrs.push_back(ResidentAttr(0x80, *file.data));
    }
    SetRecord(number, std::move(layout));
}

uint64_t VolumeImage::AllocateClusters(uint64_t count) {
    uint64_t lcn = nextCluster_;
    nextCluster_ += count;
    return lcn;
}

void VolumeImage::WriteAt(uint64_t offset, const Bytes& bytes) { writes_.emplace_back(offset, bytes); }

std::vector<Run> VolumeImage::PlaceData(const Bytes& content) {
    uint64_t clusters = (content.size() + g_.clusterSize - 1) / g_.clusterSize;
    if (clusters == 0) return {};
    uint64_t lcn = AllocateClusters(clusters);
    WriteAt(lcn * g_.clusterSize, content);
    return {{static_cast<int64_t>(lcn), clusters}};
}

Bytes VolumeImage::EncodeRecord(uint64_t number) const {
    Bytes record(g_.recordSize, 0);
    if (auto raw = raws_.find(number); raw != raws_.end()) {
        if (!raw->second.empty())
            std::memcpy(record.data(), raw->second.data(), std::min<size_t>(raw->second.size(), record.size()));
        return record;
    }
    RecordLayout blank;
    blank.flags = 0;
    auto found = layouts_.find(number);
    const RecordLayout& layout = found != layouts_.end() ? found->second : blank;
    const size_t blocks = g_.recordSize / 512;
    const size_t usaOffset = 0x30;
    const size_t firstAttr = Align8(usaOffset + 2 * (blocks + 1));
    std::memcpy(record.data(), "FILE", 4);
    Put(record, 0x04, usaOffset, 2);
    Put(record, 0x06, blocks + 1, 2);
    Put(record, 0x10, layout.sequence, 2);
    Put(record, 0x12, 1, 2);
    Put(record, 0x14, firstAttr, 2);
    Put(record, 0x16, layout.flags, 2);
    Put(record, 0x1C, g_.recordSize, 4);
    Put(record, 0x20, layout.baseRef, 8);
    Put(record, 0x2C, number, 4);
    size_t at = firstAttr;
    uint16_t id = 0;
    for (const Bytes& attr : layout.attrs) {
        if (at + attr.size() + 8 > record.size()) Fail("attributes do not fit the record");
        std::memcpy(record.data() + at, attr.data(), attr.size());
        Put(record, at + 0x0E, id++, 2);
        at += attr.size();
    }
    Put(record, at, 0xFFFFFFFFu, 4);
    Put(record, 0x18, at + 8, 4);
    Put(record, 0x28, id, 2);
    const uint16_t usn = static_cast<uint16_t>(0x0101 + number % 7);
    Put(record, usaOffset, usn, 2);
    for (size_t i = 0; i < blocks; ++i) {
        size_t tail = (i + 1) * 512 - 2;
        record[usaOffset + 2 * (i + 1)] = record[tail];
        record[usaOffset + 2 * (i + 1) + 1] = record[tail + 1];
        Put(record, tail, usn, 2);
    }
    return record;
}

std::shared_ptr<const Bytes> VolumeImage::Build() const {
    uint64_t end = nextCluster_ * g_.clusterSize;
    for (const auto& [offset, bytes] : writes_) end = std::max<uint64_t>(end, offset + bytes.size());
    // One spare cluster: the boot sector's sector count leaves out the last sector (backup boot).
    end = (end + g_.clusterSize - 1) / g_.clusterSize * g_.clusterSize + g_.clusterSize;
    auto image = std::make_shared<Bytes>(end, 0);
    Bytes& b = *image;
    std::memcpy(b.data() + 3, "NTFS    ", 8);
    Put(b, 0x0B, g_.sectorSize, 2);
    Put(b, 0x0D, g_.clusterSize / g_.sectorSize, 1);
    Put(b, 0x28, end / g_.sectorSize - 1, 8);
    Put(b, 0x30, g_.mftCluster, 8);
    Put(b, 0x38, 2, 8);
    auto sizeByte = [&](uint32_t bytes) -> uint8_t {
        if (bytes >= g_.clusterSize) return static_cast<uint8_t>(bytes / g_.clusterSize);
        int shift = 0;
        while ((1u << shift) < bytes) ++shift;
        return static_cast<uint8_t>(-shift);
    };
    Put(b, 0x40, sizeByte(g_.recordSize), 1);
    Put(b, 0x44, sizeByte(4096), 1);
    Put(b, 0x1FE, 0xAA55, 2);
    for (uint64_t n = 0; n < g_.records; ++n) {
        Bytes record = EncodeRecord(n);
        for (uint64_t i = 0; i < record.size(); ++i) b[MftByteOnVolume(n * g_.recordSize + i)] = record[i];
    }
    for (const auto& [offset, bytes] : writes_) std::memcpy(b.data() + offset, bytes.data(), bytes.size());
    return image;
}

std::unique_ptr<Vorlaq::Device> OpenImage(const std::shared_ptr<const Bytes>& image) {
    return std::make_unique<MemoryDevice>(image);
}

}  // namespace QuorretTest
