#pragma once
// Where a QCOW2 image keeps each cluster: in its own file, nowhere (it reads as zeros), or in its
// backing file. libqcow follows backing files that are QCOW images but reads nothing of an image
// whose backing file is raw (qemu's usual `-b base.img -F raw` overlay): such a chain is read
// through the images' own L1 and L2 tables.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vorlaq {

class QcowClusterMap {
public:
    // Reads the header and L1 table of the QCOW2 image open as `fd` (not owned). False for a
    // header this does not read: version 1, extended L2 entries, sizes out of range.
    bool Open(int fd);

    enum class Kind { Backing, Data, Zero, Compressed };
    struct Cluster {
        Kind kind = Kind::Backing;
        uint64_t host = 0;  // Data: the file offset of the bytes asked for
        uint64_t run = 0;   // bytes from the offset asked for to the cluster's end
    };

    // Where the bytes at `offset` are; false when a table cannot be read.
    bool Locate(uint64_t offset, Cluster* cluster);
    // Up to `length` bytes of the image's file at `offset`; false when they are not all there.
    bool ReadAt(uint64_t offset, void* buffer, size_t length) const;

private:
    int fd_ = -1;
    uint32_t clusterBits_ = 0;
    uint64_t fileSize_ = 0;
    std::vector<uint64_t> l1_;
    uint64_t l2Offset_ = 0;  // the L2 table in l2_, 0 for none yet
    std::vector<uint64_t> l2_;
};

}  // namespace Vorlaq
