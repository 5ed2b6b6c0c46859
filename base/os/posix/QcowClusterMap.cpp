#include "base/os/posix/QcowClusterMap.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Vorlaq {

namespace {

// QCOW2 header fields, big-endian.
constexpr size_t kHeaderSize = 104;
constexpr uint32_t kMagic = 0x514649FB;  // "QFI\xFB"
constexpr uint32_t kMinClusterBits = 9;
constexpr uint32_t kMaxClusterBits = 21;
constexpr uint64_t kMaxL1Entries = 4u << 20;  // 32 MiB of table: more than any disk needs
constexpr uint64_t kIncompatibleExtendedL2 = 1u << 4;
// Entry bits: the host offset of a table or cluster, and a cluster's flags.
constexpr uint64_t kOffsetMask = 0x00FFFFFFFFFFFE00ull;
constexpr uint64_t kCompressed = 1ull << 62;
constexpr uint64_t kReadsAsZero = 1ull;

uint64_t BigEndian(const uint8_t* bytes, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = value << 8 | bytes[i];
    return value;
}

}  // namespace

bool QcowClusterMap::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (offset > fileSize_ || length > fileSize_ - offset) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool QcowClusterMap::Open(int fd) {
    fd_ = fd;
    struct stat info{};
    if (::fstat(fd, &info) != 0) return false;
    fileSize_ = static_cast<uint64_t>(info.st_size);
    uint8_t header[kHeaderSize] = {};
    if (!ReadAt(0, header, 72) || BigEndian(header, 4) != kMagic) return false;
    const uint64_t version = BigEndian(header + 4, 4);
    if (version < 2) return false;
    if (version >= 3 && (!ReadAt(72, header + 72, 8) || (BigEndian(header + 72, 8) & kIncompatibleExtendedL2)))
        return false;
    clusterBits_ = static_cast<uint32_t>(BigEndian(header + 20, 4));
    const uint64_t entries = BigEndian(header + 36, 4);
    const uint64_t l1Offset = BigEndian(header + 40, 8);
    if (clusterBits_ < kMinClusterBits || clusterBits_ > kMaxClusterBits || entries > kMaxL1Entries) return false;
    std::vector<uint8_t> table(entries * 8);
    if (!ReadAt(l1Offset, table.data(), table.size())) return false;
    l1_.resize(entries);
    for (uint64_t i = 0; i < entries; ++i) l1_[i] = BigEndian(table.data() + i * 8, 8);
    return true;
}

bool QcowClusterMap::Locate(uint64_t offset, Cluster* cluster) {
    const uint64_t clusterSize = uint64_t{1} << clusterBits_;
    const uint32_t l2Bits = clusterBits_ - 3;  // a table fills one cluster with 8-byte entries
    const uint64_t within = offset & (clusterSize - 1);
    *cluster = Cluster{Kind::Backing, 0, clusterSize - within};
    const uint64_t index = offset >> clusterBits_;
    const uint64_t l1Index = index >> l2Bits;
    if (l1Index >= l1_.size()) return true;  // past the tables: the backing file's
    const uint64_t table = l1_[l1Index] & kOffsetMask;
    if (table == 0) return true;
    if (table != l2Offset_) {
        std::vector<uint8_t> bytes(clusterSize);
        if (!ReadAt(table, bytes.data(), bytes.size())) return false;
        l2_.resize(clusterSize / 8);
        for (size_t i = 0; i < l2_.size(); ++i) l2_[i] = BigEndian(bytes.data() + i * 8, 8);
        l2Offset_ = table;
    }
    const uint64_t entry = l2_[index & ((uint64_t{1} << l2Bits) - 1)];
    if (entry & kCompressed) cluster->kind = Kind::Compressed;
    else if (entry & kReadsAsZero) cluster->kind = Kind::Zero;
    else if (entry & kOffsetMask) cluster->kind = Kind::Data, cluster->host = (entry & kOffsetMask) + within;
    return true;
}

}  // namespace Vorlaq
