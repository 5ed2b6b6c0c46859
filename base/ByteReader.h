#pragma once
// The one way on-disk fields are read: little-endian, with the offset and width checked against
// the buffer. A read out of range fails; it never reads past the end and never yields a silent 0.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

namespace Vorlaq {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

    // True when [offset, offset + length) lies inside the buffer (no overflow in the sum).
    bool Contains(size_t offset, size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    template <typename T>
        requires std::is_integral_v<T>
    std::optional<T> Get(size_t offset) const {
        if (!Contains(offset, sizeof(T))) return std::nullopt;
        using U = std::make_unsigned_t<T>;
        U value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value = static_cast<U>(value | static_cast<U>(static_cast<U>(data_[offset + i]) << (8 * i)));
        return static_cast<T>(value);
    }

    std::optional<uint8_t> U8(size_t offset) const { return Get<uint8_t>(offset); }
    std::optional<uint16_t> U16(size_t offset) const { return Get<uint16_t>(offset); }
    std::optional<uint32_t> U32(size_t offset) const { return Get<uint32_t>(offset); }
    std::optional<uint64_t> U64(size_t offset) const { return Get<uint64_t>(offset); }

    // A view of [offset, offset + length), or nothing when that range is not inside this one.
    std::optional<ByteReader> Sub(size_t offset, size_t length) const {
        if (!Contains(offset, length)) return std::nullopt;
        return ByteReader(data_ + offset, length);
    }

    bool CopyTo(size_t offset, void* out, size_t length) const {
        if (!Contains(offset, length)) return false;
        if (length) std::memcpy(out, data_ + offset, length);
        return true;
    }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace Vorlaq
