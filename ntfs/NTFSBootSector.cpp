#include "ntfs/NTFSBootSector.h"

#include <cstring>

#include "base/ByteReader.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kMaxClusterSize = 2u * 1024 * 1024;
constexpr uint32_t kMaxRecordSize = 64u * 1024;
// The fixed part of a file record header, up to and including its base-record reference.
constexpr uint32_t kRecordHeaderSize = 0x30;

bool IsPowerOfTwo(uint64_t v) { return v && (v & (v - 1)) == 0; }

// Clusters per record / index block: v > 0 is v clusters, v <= 0 is 2^-v bytes. Zero when the
// byte gives no size that fits 32 bits.
uint64_t SizeFromByte(int8_t v, uint32_t clusterSize) {
    if (v > 0) return static_cast<uint64_t>(v) * clusterSize;
    int shift = -static_cast<int>(v);
    return shift < 32 ? (uint64_t{1} << shift) : 0;
}

}  // namespace

bool ParseBootSector(const uint8_t* bytes, size_t size, NTFSBootSector* out) {
    ByteReader boot(bytes, size);
    auto oem = boot.Sub(0x03, 8);
    if (!oem || std::memcmp(oem->data(), "NTFS    ", 8) != 0) return false;
    auto sectorSize = boot.U16(0x0B);
    auto sectorsPerCluster = boot.U8(0x0D);
    auto totalSectors = boot.U64(0x28);
    auto mftCluster = boot.U64(0x30);
    auto mirrCluster = boot.U64(0x38);
    auto recordByte = boot.Get<int8_t>(0x40);
    auto indexByte = boot.Get<int8_t>(0x44);
    if (!sectorSize || !sectorsPerCluster || !totalSectors || !mftCluster || !recordByte || !indexByte) return false;
    if (!IsPowerOfTwo(*sectorSize) || *sectorSize < 256 || *sectorSize > 4096) return false;

    // Up to 128 sectors per cluster the byte is the count; above it, newer volumes (clusters
    // up to 2 MiB) store 256 - log2 of the count.
    uint64_t sectors = *sectorsPerCluster;
    if (sectors > 0x80) {
        int shift = 256 - static_cast<int>(sectors);
        if (shift > 21) return false;
        sectors = uint64_t{1} << shift;
    }
    uint64_t clusterSize = sectors * *sectorSize;
    if (clusterSize == 0 || clusterSize > kMaxClusterSize) return false;

    uint64_t recordSize = SizeFromByte(*recordByte, static_cast<uint32_t>(clusterSize));
    if (recordSize < kRecordHeaderSize || recordSize > kMaxRecordSize || recordSize % *sectorSize != 0)
        return false;
    if (*mftCluster > UINT64_MAX / clusterSize) return false;

    uint64_t indexSize = SizeFromByte(*indexByte, static_cast<uint32_t>(clusterSize));
    out->sectorSize = *sectorSize;
    out->clusterSize = static_cast<uint32_t>(clusterSize);
    out->fileRecordSize = static_cast<uint32_t>(recordSize);
    out->indexBlockSize = indexSize <= UINT32_MAX ? static_cast<uint32_t>(indexSize) : 0;
    out->mftAddr = *mftCluster * clusterSize;
    out->mftMirrAddr = mirrCluster && *mirrCluster != 0 && *mirrCluster <= UINT64_MAX / clusterSize
                           ? *mirrCluster * clusterSize
                           : 0;
    out->totalSectors = *totalSectors;
    out->totalClusters = *totalSectors / sectors;
    out->serialNumber = boot.U64(0x48).value_or(0);
    return true;
}

}  // namespace Vorlaq
