#pragma once
// Builds small NTFS volumes in memory, byte by byte, for tests: a boot sector, an MFT whose
// records carry the update-sequence fix-up, and data clusters. Records 0 ($MFT, with its $DATA
// over the MFT's clusters), 3 ($Volume, version 3.1) and 5 (the root directory ".") are made by
// default; every other record from 16 on is a formatted record that is not in use and has no
// attributes, unless set. Written independently of the reader, from the on-disk layout.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/MemoryDevice.h"

namespace QuorretTest {

constexpr uint16_t kRecordInUse = 0x0001;
constexpr uint16_t kRecordDirectory = 0x0002;
constexpr uint8_t kNamePosix = 0, kNameWin32 = 1, kNameDos = 2, kNameWin32AndDos = 3;

struct Run {
    int64_t lcn;  // -1: sparse
    uint64_t clusters;
};

// One attribute record each, ready to be placed in a file record.
Bytes StandardInfoAttr(uint64_t created, uint64_t modified, uint64_t accessed, uint32_t flags = 0);
Bytes FileNameAttr(uint64_t parentRef, const std::wstring& name, uint8_t nameSpace = kNameWin32,
                   bool directory = false, uint64_t dataSize = 0);
Bytes ResidentAttr(uint32_t type, const Bytes& value, const std::wstring& name = L"", uint16_t flags = 0);
Bytes NonResidentAttr(uint32_t type, const std::vector<Run>& runs, uint32_t clusterSize, uint64_t dataSize,
                      uint64_t startVcn = 0, const std::wstring& name = L"", uint16_t flags = 0,
                      uint16_t compressionUnit = 0);
struct ListEntry {
    uint32_t type;
    uint64_t recordRef;
    uint64_t startVcn = 0;
};
Bytes AttributeListAttr(const std::vector<ListEntry>& entries);
Bytes VolumeInfoAttr(uint8_t major, uint8_t minor);

struct RecordLayout {
    uint16_t flags = kRecordInUse;
    uint64_t baseRef = 0;
    uint16_t sequence = 1;
    std::vector<Bytes> attrs;
};

struct FileEntry {
    uint64_t parent = 5;
    std::wstring name;
    bool deleted = true;
    bool directory = false;
    bool withStandardInfo = true;
    uint32_t fileFlags = 0;  // $STANDARD_INFORMATION flags (0x800 compressed, 0x4000 encrypted)
    uint64_t created = 0, modified = 0, accessed = 0;
    std::optional<Bytes> data;  // unnamed $DATA; none without
    bool nonResident = false;   // place data in clusters instead of the record
};

class VolumeImage {
public:
    struct Geometry {
        uint16_t sectorSize = 512;
        uint32_t clusterSize = 4096;
        uint32_t recordSize = 1024;
        uint64_t records = 64;
        uint64_t mftCluster = 4;
        // When nonzero, the MFT's clusters from this one on lie in a second extent after a gap.
        uint64_t mftSplit = 0;
        uint8_t major = 3, minor = 1;
    };

    explicit VolumeImage(Geometry geometry);
    VolumeImage() : VolumeImage(Geometry{}) {}

    const Geometry& GetGeometry() const { return g_; }
    void SetRecord(uint64_t number, RecordLayout layout) { layouts_[number] = std::move(layout); }
    // Bytes placed as they are, without fix-up; shorter than a record leaves zeros after them.
    void SetRawRecord(uint64_t number, Bytes raw) { raws_[number] = std::move(raw); }
    // A file or directory record from a short description; data goes into new clusters when
    // nonResident.
    void AddFile(uint64_t number, const FileEntry& file);
    // Clusters in the data area, from after the MFT; their bytes start as zeros.
    uint64_t AllocateClusters(uint64_t count);
    void WriteAt(uint64_t offset, const Bytes& bytes);
    // Content written into new clusters; the runs to describe it.
    std::vector<Run> PlaceData(const Bytes& content);

    // The record's bytes as the image will hold them (fix-up applied).
    Bytes EncodeRecord(uint64_t number) const;
    // Byte offset on the volume of MFT byte `mftOffset`.
    uint64_t MftByteOnVolume(uint64_t mftOffset) const;
    std::shared_ptr<const Bytes> Build() const;

private:
    uint64_t MftClusters() const;
    uint64_t SecondExtentLcn() const;

    Geometry g_;
    std::map<uint64_t, RecordLayout> layouts_;
    std::map<uint64_t, Bytes> raws_;
    std::vector<std::pair<uint64_t, Bytes>> writes_;
    uint64_t nextCluster_;
};

// A device factory over one built image, for code that opens a fresh volume per use.
std::unique_ptr<Vorlaq::Device> OpenImage(const std::shared_ptr<const Bytes>& image);

}  // namespace QuorretTest
