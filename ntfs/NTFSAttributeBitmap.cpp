#include "ntfs/NTFSAttributeBitmap.h"

#include <type_traits>

namespace Vorlaq {

template <typename B>
NTFSAttributeBitmap<B>::NTFSAttributeBitmap(const ByteReader& attr, NTFSFileRecord* record) : B(attr, record) {
    if (!this->IsDataRunOK()) return;
    bitmapSize_ = this->GetDataSize();
    if constexpr (std::is_same_v<B, NTFSAttributeNonResident>) {
        if (this->clusterSize_) bitmap_.assign(this->clusterSize_, 0);
    } else {
        bitmap_.assign(static_cast<size_t>(bitmapSize_), 0);
        uint32_t got = 0;
        if (!this->ReadData(0, bitmap_.data(), static_cast<uint32_t>(bitmap_.size()), &got) || got < bitmap_.size())
            bitmap_.clear();
    }
}

template <typename B>
bool NTFSAttributeBitmap<B>::IsBitSet(uint64_t index, bool* set) {
    uint64_t byte = index / 8;
    if (byte >= bitmapSize_ || bitmap_.empty()) return false;
    uint64_t at = byte;
    if constexpr (std::is_same_v<B, NTFSAttributeNonResident>) {
        uint64_t window = bitmap_.size();
        uint64_t start = byte - byte % window;
        if (position_ != start) {
            position_ = UINT64_MAX;
            uint32_t got = 0;
            if (!this->ReadData(start, bitmap_.data(), static_cast<uint32_t>(window), &got) || got <= byte - start)
                return false;
            position_ = start;
        }
        at = byte - start;
    }
    *set = (bitmap_[static_cast<size_t>(at)] >> (index % 8)) & 1;
    return true;
}

template class NTFSAttributeBitmap<NTFSAttributeResident>;
template class NTFSAttributeBitmap<NTFSAttributeNonResident>;

}  // namespace Vorlaq
