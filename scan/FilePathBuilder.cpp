#include "scan/FilePathBuilder.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "ntfs/NTFSFileRecord.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kNameMask = 4;  // $FILE_NAME (with $STANDARD_INFORMATION, $ATTRIBUTE_LIST)
constexpr uint32_t kNameCapacity = 260;

// A folder on the chain: read, a directory, and named. Its name, or nothing when it fails.
std::optional<std::wstring> ReadFolder(NTFSFileRecord& record, uint64_t number) {
    record.SetAttrMask(kNameMask);
    if (!record.ReadFileRecord(number) || !record.ParseAttrs() || !record.IsDirectory()) return std::nullopt;
    wchar_t name[kNameCapacity + 1];
    int length = record.GetFileName(name, kNameCapacity);
    if (length <= 0) return std::nullopt;
    return std::wstring(name, static_cast<size_t>(length));
}

// What a folder adds to the path: its name and a backslash; nothing for the root's ".".
std::wstring Level(const std::wstring& name) { return name == L"." ? std::wstring() : name + L"\\"; }

}  // namespace

std::wstring BuildFilePath(const NTFSVolume& volume, uint64_t recordNumber) {
    const std::wstring root = volume.GetVolumePath();
    const std::wstring unknown = root + L"Unknown";
    if (!volume.IsVolumeOK()) return unknown;
    std::wstring path;
    std::unordered_set<uint64_t> visited;
    uint64_t current = recordNumber;
    while (true) {
        // Coming back to a record already on the chain would go round for ever.
        if (!visited.insert(current).second) return unknown;
        NTFSFileRecord record(&volume);
        record.SetAttrMask(kNameMask);
        if (!record.ReadFileRecord(current) || !record.ParseAttrs()) return unknown;
        uint64_t parent = record.GetParentRef();
        if (parent == 0) return unknown;
        if (parent == record.GetFileRef()) return root + path;
        NTFSFileRecord folder(&volume);
        std::optional<std::wstring> name = ReadFolder(folder, parent);
        if (!name) return unknown;
        path = Level(*name) + path;
        current = parent;
    }
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
        climbed.emplace_back(current, Level(*name));
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
