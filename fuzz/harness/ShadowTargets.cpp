// The shadow copy path of a scan: the catalog, libvshadow's stores read through our device, each
// copy's volume and the comparison of its files with the live volume, on a volume given in
// pieces (a volume with shadow copies is gigabytes of mostly nothing).
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "base/ByteReader.h"
#include "base/os/ShadowCatalog.h"
#include "fuzz/harness/Exercise.h"
#include "fuzz/harness/FuzzTargets.h"
#include "scan/ShadowCopyScan.h"
#include "scan/VolumeSource.h"

using namespace Vorlaq;

// libvshadow leaks on its own on a damaged store: libvshadow_store_descriptor_read_store_header
// (version 20190323) returns at once when the block it read is not of the store header's record
// type, without freeing that block (48 bytes and its 16 KiB of data, from
// libvshadow_store_block_initialize). Our volume, handle and stores are freed on every path (the
// leak report holds none of them). The library is built without frame pointers, so the stack
// LeakSanitizer keeps ends at the allocating function: it is named here, for the fuzz target and
// for the regression replay in robust_tests, which both link this file.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvshadow_store_block_initialize\n"; }

namespace QuorretFuzz {

namespace {

constexpr size_t kMaxPieces = 4096;
constexpr uint64_t kPieceHeader = 12;
// A piece whose length has this bit is that many copies of the one byte that follows (a store's
// bitmaps are long runs of 0xFF).
constexpr uint32_t kFillPiece = 0x80000000u;
constexpr uint32_t kMaxFill = 64u << 20;

struct Piece {
    ByteReader bytes;  // the bytes, or the one byte repeated
    uint64_t size = 0;
};

// Reads from the input's pieces, zeros elsewhere, up to the volume's size.
class PiecesDevice : public Device {
public:
    PiecesDevice(const std::map<uint64_t, Piece>& pieces, uint64_t size) : pieces_(pieces), size_(size) {}

    bool ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) override {
        *delivered = 0;
        if (offset >= size_) return true;
        const uint64_t end = offset + std::min<uint64_t>(length, size_ - offset);
        auto* out = static_cast<uint8_t*>(buffer);
        std::fill(out, out + (end - offset), 0);
        for (const auto& [start, piece] : pieces_) {
            if (start >= end) break;
            const uint64_t stop = start + piece.size;
            if (stop <= offset) continue;
            const uint64_t from = std::max(start, offset);
            const uint64_t to = std::min(stop, end);
            if (piece.bytes.size() == piece.size)
                std::copy(piece.bytes.data() + (from - start), piece.bytes.data() + (to - start), out + (from - offset));
            else
                std::fill(out + (from - offset), out + (to - offset), piece.bytes.data()[0]);
        }
        *delivered = static_cast<uint32_t>(end - offset);
        return true;
    }

private:
    const std::map<uint64_t, Piece>& pieces_;
    uint64_t size_;
};

}  // namespace

int FuzzShadowCopies(const uint8_t* data, size_t size) {
    // The volume's size, then pieces: offset (8 bytes), length (4), the bytes (or one byte, for
    // a fill). A later piece that overlaps an earlier one is left out.
    ByteReader input(data, size);
    const uint64_t volumeSize = input.U64(0).value_or(0);
    std::map<uint64_t, Piece> pieces;
    size_t at = 8;
    while (pieces.size() < kMaxPieces && input.Contains(at, kPieceHeader)) {
        const uint64_t offset = *input.U64(at);
        const uint32_t length = *input.U32(at + 8);
        at += kPieceHeader;
        Piece piece;
        if (length & kFillPiece) {
            piece.bytes = input.Sub(at, std::min<size_t>(1, size - at)).value_or(ByteReader());
            piece.size = piece.bytes.size() ? std::min(length & ~kFillPiece, kMaxFill) : 0;
        } else {
            piece.bytes = *input.Sub(at, std::min<size_t>(length, size - at));
            piece.size = piece.bytes.size();
        }
        at += piece.bytes.size();
        if (piece.size == 0 || offset > UINT64_MAX - piece.size) continue;
        auto next = pieces.lower_bound(offset);
        if (next != pieces.end() && next->first < offset + piece.size) continue;
        if (next != pieces.begin() && std::prev(next)->first + std::prev(next)->second.size > offset) continue;
        pieces.emplace(offset, piece);
    }

    VolumeSource source = VolumeSource::FromDevice(
        [&pieces, volumeSize] { return std::make_unique<PiecesDevice>(pieces, volumeSize); }, L"F:\\");
    PiecesDevice whole(pieces, volumeSize);
    const ShadowCatalog catalog = ReadShadowCatalog(whole);
    for (size_t i = 0; i < catalog.copies.size(); ++i) {
        Check(catalog.copies[i].number > (i ? catalog.copies[i - 1].number : 0),
              "copies are numbered 1, 2, ... in catalog order, a damaged one's number left to it");
        Check(catalog.copies[i].entryOffsets.size() >= 2, "a copy has its description and its store's place");
    }
    for (const ShadowCatalogFault& fault : catalog.faults)
        Check(std::none_of(catalog.copies.begin(), catalog.copies.end(),
                           [&](const ShadowCatalogEntry& copy) { return fault.copy != 0 && copy.number == fault.copy; }),
              "a copy with a damaged entry is not offered");

    std::shared_ptr<ShadowCopies> copies = ShadowCopies::Open(source);
    if (!copies) return 0;
    Check(copies->GetCopies().size() <= catalog.copies.size(), "only the catalog's copies are offered");
    FileFilter everything;
    everything.SetFilters(L"");
    ShadowCopyFound found = FindShadowCopyFiles(*copies, source, everything);
    for (const DeletedFileInfo& file : found.files) {
        Check(file.GetShadowCopy() != 0, "a copy's file names its copy");
        Check(!file.GetName().empty(), "a copy's file has a name");
    }
    return 0;
}

}  // namespace QuorretFuzz
