#include "scan/CarvedFolders.h"

#include <algorithm>

#include "base/Utf16.h"
#include "ntfs/NTFSFileRecord.h"

namespace Vorlaq {

namespace {

constexpr uint64_t kRootRecord = 5;
// Deeper than any path NTFS can hold (32767 characters, two or more a level): a longer chain loops.
constexpr size_t kDeepestChain = 16384;
// Folders named by index entries at most: a hostile source may hold millions of index blocks.
constexpr size_t kMostIndexedFolders = 1u << 20;

uint16_t SequenceOf(uint64_t reference) { return static_cast<uint16_t>(reference >> 48); }

// What a folder adds to the path; a "\" inside a name or a lone "." would change the levels.
std::wstring Level(std::wstring name) {
    if (name == L"." || name == L"..") name = L"_";
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return name + L"\\";
}

}  // namespace

CarvedFolders::CarvedFolders(std::wstring root) : root_(std::make_shared<const std::wstring>(std::move(root))) {}

void CarvedFolders::Add(uint64_t mftStart, bool old, uint64_t number, uint16_t sequence, uint64_t parentRef,
                        const std::wstring& name) {
    byNumber_.emplace(number, folders_.size());
    folders_.push_back({mftStart, number, parentRef, sequence, old, true, WideToUtf8(name)});
}

void CarvedFolders::AddIndexed(uint64_t reference, uint64_t parentRef, const std::wstring& name,
                               uint64_t blockPosition) {
    if (byReference_.size() >= kMostIndexedFolders || byReference_.count(reference) != 0) return;
    byReference_.emplace(reference, folders_.size());
    folders_.push_back(
        {blockPosition, reference & kNTFSRecordNumberMask, parentRef, SequenceOf(reference), true, false,
         WideToUtf8(name)});
}

void CarvedFolders::PlaceIndexed(const std::function<std::optional<uint64_t>(uint64_t blockPosition)>& mftOf) {
    for (const auto& [reference, index] : byReference_) {
        Folder& folder = folders_[index];
        const std::optional<uint64_t> mftStart = mftOf(folder.mftStart);
        folder.placed = mftStart.has_value();
        if (mftStart) folder.mftStart = *mftStart;
    }
}

size_t CarvedFolders::Find(uint64_t mftStart, bool old, uint64_t parentRef) const {
    const uint64_t number = parentRef & kNTFSRecordNumberMask;
    const uint16_t wanted = SequenceOf(parentRef);
    size_t best = SIZE_MAX;
    auto [first, last] = byNumber_.equal_range(number);
    for (auto it = first; it != last; ++it) {
        const Folder& folder = folders_[it->second];
        const bool fits = wanted == 0 || folder.sequence == wanted || folder.sequence == static_cast<uint16_t>(wanted + 1);
        if (!fits || folder.old != old) continue;
        if (folder.mftStart == mftStart) return it->second;
        if (best == SIZE_MAX && sameVolume_ && sameVolume_(mftStart, folder.mftStart)) best = it->second;
    }
    if (best != SIZE_MAX) return best;
    // A name from an index block of the same volume.
    const auto indexed = byReference_.find(parentRef);
    if (indexed == byReference_.end() || !old) return SIZE_MAX;
    const Folder& named = folders_[indexed->second];
    const bool same = named.placed && (named.mftStart == mftStart || (sameVolume_ && sameVolume_(mftStart, named.mftStart)));
    return same ? indexed->second : SIZE_MAX;
}

const std::shared_ptr<const std::wstring>& CarvedFolders::Resolve(size_t start) {
    // Climb to the root or to a folder already known, then fill in the folders passed, outermost first.
    std::vector<size_t> climbed;
    std::shared_ptr<const std::wstring> base;
    size_t current = start;
    for (;;) {
        if (auto known = paths_.find(current); known != paths_.end()) {
            base = known->second;
            break;
        }
        const Folder& folder = folders_[current];
        climbed.push_back(current);
        if ((folder.parentRef & kNTFSRecordNumberMask) == kRootRecord) {
            base = root_;
            break;
        }
        const size_t parent = Find(folder.mftStart, folder.old, folder.parentRef);
        if (parent == SIZE_MAX || climbed.size() >= kDeepestChain ||
            std::find(climbed.begin(), climbed.end(), parent) != climbed.end())
            break;  // base stays unknown: the chain breaks or loops
        current = parent;
    }
    for (auto it = climbed.rbegin(); it != climbed.rend(); ++it) {
        if (base) base = std::make_shared<const std::wstring>(*base + Level(Utf8ToWide(folders_[*it].name)));
        paths_[*it] = base;
    }
    return paths_.at(start);
}

std::shared_ptr<const std::wstring> CarvedFolders::PathOf(uint64_t mftStart, bool old, uint64_t parentRef) {
    if ((parentRef & kNTFSRecordNumberMask) == kRootRecord) return root_;
    const size_t folder = Find(mftStart, old, parentRef);
    return folder == SIZE_MAX ? nullptr : Resolve(folder);
}

}  // namespace Vorlaq
