#include "scan/FilePathBuilder.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/WideFormat.h"
#include "ntfs/NTFSFileName.h"

namespace Vorlaq {

namespace {

// A folder on the chain: read, a directory, and named. Its name, or nothing when it fails.
std::optional<std::wstring> ReadFolder(NTFSFileRecord& record, uint64_t number) {
    record.SetAttrMask(kNTFSMaskFileName);
    if (!record.ReadFileRecord(number) || !record.ParseAttrs() || !record.IsDirectory()) return std::nullopt;
    std::wstring name = ShownRecordName(record, number);
    if (name.empty()) return std::nullopt;
    return name;
}

// What a folder below the root adds to the path: its name and a backslash. A "\\" inside the name
// would read as one more level and a lone "." as none, so they show as "_", as a restore names
// such folders.
std::wstring Level(std::wstring name) {
    if (name == L".") name = L"_";
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return name + L"\\";
}

}  // namespace

std::wstring ShownRecordName(NTFSFileRecord& record, uint64_t recordNumber) {
    std::wstring name = record.GetWin32Name();
    if (!name.empty()) return name;
    for (NTFSAttributeBase* a = record.FindFirstAttr(kNTFSAttrFileName); a; a = record.FindNextAttr(kNTFSAttrFileName))
        if (auto* held = dynamic_cast<NTFSFileName*>(a); held && held->GetNameSpace() != kNTFSDosNameSpace)
            return FormatWide(L"record-%I64u", recordNumber);
    return name;
}

std::wstring BuildFilePath(const NTFSVolume& volume, uint64_t recordNumber) {
    NTFSFileRecord record(&volume);
    record.SetAttrMask(kNTFSMaskFileName);
    const bool read = volume.IsVolumeOK() && record.ReadFileRecord(recordNumber) && record.ParseAttrs();
    return DirectoryPathCache(volume).BuildFilePath(recordNumber, read ? record.GetParentRef() : 0);
}

DirectoryPathCache::DirectoryPathCache(const NTFSVolume& volume)
    : volume_(volume), record_(&volume), root_(volume.GetVolumePath()) {}

std::wstring DirectoryPathCache::BuildFilePath(uint64_t recordNumber, uint64_t parentRef) {
    if (!volume_.IsVolumeOK() || parentRef == 0) return root_ + L"Unknown";
    if (parentRef == recordNumber) return root_;
    auto known = folders_.find(parentRef);
    const std::optional<std::wstring>& folder = known != folders_.end() ? known->second : Resolve(parentRef);
    return folder ? *folder : root_ + L"Unknown";
}

const std::optional<std::wstring>& DirectoryPathCache::Resolve(uint64_t directory) {
    // Climb until a folder already known, the root (a folder that is its own parent) or a
    // failure; then fill in every folder passed on the way, outermost first.
    std::vector<std::pair<uint64_t, std::wstring>> climbed;
    std::unordered_set<uint64_t> onChain;
    std::optional<std::wstring> base;
    uint64_t current = directory;
    while (true) {
        if (auto known = folders_.find(current); known != folders_.end()) {
            base = known->second;
            break;
        }
        if (!onChain.insert(current).second) break;  // a loop: "Unknown"
        std::optional<std::wstring> name = ReadFolder(record_, current);
        if (!name) {
            folders_.emplace(current, std::nullopt);
            break;
        }
        uint64_t parent = record_.GetParentRef();
        // The root is the folder "." that is its own parent: it adds nothing.
        climbed.emplace_back(current, parent == current && *name == L"." ? std::wstring() : Level(*name));
        if (parent == 0) break;
        if (parent == current) {
            base = root_;
            break;
        }
        current = parent;
    }
    for (auto it = climbed.rbegin(); it != climbed.rend(); ++it) {
        if (base) *base += it->second;
        folders_[it->first] = base;
    }
    return folders_.at(directory);
}

}  // namespace Vorlaq
