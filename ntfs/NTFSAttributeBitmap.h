#pragma once
// $BITMAP: one bit per cluster, record or index block of the thing it belongs to.
#include <cstdint>
#include <vector>

#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSAttributeNonResident.h"

namespace Vorlaq {

template <typename B>
class NTFSAttributeBitmap : public B {
public:
    NTFSAttributeBitmap(const ByteReader& attr, NTFSFileRecord* record);

    uint64_t GetBitmapSize() const { return bitmapSize_; }
    // Whether bit `index` is set; false when the bit lies outside the bitmap or cannot be read.
    bool IsBitSet(uint64_t index, bool* set);

private:
    uint64_t bitmapSize_ = 0;
    std::vector<uint8_t> bitmap_;     // the whole value (resident) or one cluster of it
    uint64_t position_ = UINT64_MAX;  // byte offset of the cluster in bitmap_ (non-resident)
};

extern template class NTFSAttributeBitmap<NTFSAttributeResident>;
extern template class NTFSAttributeBitmap<NTFSAttributeNonResident>;

}  // namespace Vorlaq
