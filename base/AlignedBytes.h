#pragma once
// Byte buffers that start on a page boundary, for the large reads from a source. The system
// copies a read from its page cache into the caller's memory, and on some processors that copy
// runs several times slower when the destination lies just past the source within a page: 8 or
// 16 bytes past a page boundary, where the C library puts a large allocation. Measured for 1 GiB
// in 256 KiB reads from the page cache: 0.72 s into buffers 16 bytes past a page boundary, 0.23 s
// into buffers on one.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace Vorlaq {

template <typename T>
class PageAlignedAllocator {
public:
    using value_type = T;
    static constexpr std::align_val_t kAlignment{4096};

    PageAlignedAllocator() = default;
    template <typename U>
    PageAlignedAllocator(const PageAlignedAllocator<U>&) {}

    T* allocate(size_t count) { return static_cast<T*>(::operator new(count * sizeof(T), kAlignment)); }
    void deallocate(T* pointer, size_t) { ::operator delete(pointer, kAlignment); }

    template <typename U>
    bool operator==(const PageAlignedAllocator<U>&) const {
        return true;
    }
};

using AlignedBytes = std::vector<uint8_t, PageAlignedAllocator<uint8_t>>;

}  // namespace Vorlaq
