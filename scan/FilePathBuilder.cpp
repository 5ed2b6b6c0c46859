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
// A folder's long name is nearly always in its base record. Its $ATTRIBUTE_LIST, often a cluster
// outside the MFT and so a seek of its own on a cold disk, is followed only when the base record
// holds no long name.
std::optional<std::wstring> ReadFolder(NTFSFileRecord& record, uint64_t number) {
    record.SetBaseAttrMask(kNTFSMaskFileName);
    if (!record.ReadFileRecord(number) || !record.ParseAttrs() || !record.IsDirectory()) return std::nullopt;
    if (record.GetWin32Name().empty()) {
        record.SetAttrMask(kNTFSMaskFileName);
        if (!record.ParseAttrs()) return std::nullopt;
    }
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
    std::wstring name;
    ShownRecordName(record, recordNumber, name);
    return name;
}

void ShownRecordName(NTFSFileRecord& record, uint64_t recordNumber, std::wstring& name) {
    record.GetWin32Name(name);
    if (!name.empty()) return;
    for (NTFSAttributeBase* a = record.FindFirstAttr(kNTFSAttrFileName); a; a = record.FindNextAttr(kNTFSAttrFileName))
        if (auto* held = dynamic_cast<NTFSFileName*>(a); held && held->GetNameSpace() != kNTFSDosNameSpace) {
            name = FormatWide(L"record-%I64u", recordNumber);
            return;
        }
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
    return *SharedFilePath(recordNumber, parentRef);
}

std::shared_ptr<const std::wstring> DirectoryPathCache::SharedFilePath(uint64_t recordNumber, uint64_t parentRef) {
    const bool folder = volume_.IsVolumeOK() && parentRef != 0 && parentRef != recordNumber;
    if (folder && parentRef == lastDirectory_) return lastPath_;
    std::wstring path = !volume_.IsVolumeOK() || parentRef == 0 ? root_ + L"Unknown"
                        : parentRef == recordNumber             ? root_
                        : Resolve(parentRef).known              ? PathOf(parentRef)
                                                                : root_ + L"Unknown";
    auto shared = std::make_shared<const std::wstring>(std::move(path));
    if (folder) {
        lastDirectory_ = parentRef;
        lastPath_ = shared;
    }
    return shared;
}

std::wstring DirectoryPathCache::PathOf(uint64_t directory) const {
    // Known folders lead to the top without a loop: each became known only with the folder above it.
    std::vector<const std::wstring*> levels;
    size_t length = root_.size();
    for (uint64_t at = directory;;) {
        const Folder& folder = folders_.at(at);
        levels.push_back(&folder.level);
        length += folder.level.size();
        if (folder.above == at) break;  // a folder that is its own parent: the top
        at = folder.above;
    }
    std::wstring path;
    path.reserve(length);
    path += root_;
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) path += **it;
    return path;
}

const DirectoryPathCache::Folder& DirectoryPathCache::Resolve(uint64_t directory) {
    // Climb until a folder already met, the root (a folder that is its own parent) or a failure;
    // then note every folder passed on the way, outermost first, known when the climb ended at a
    // known folder or the root.
    std::vector<std::pair<uint64_t, Folder>> climbed;
    std::unordered_set<uint64_t> onChain;
    bool known = false;
    uint64_t current = directory;
    while (true) {
        if (auto met = folders_.find(current); met != folders_.end()) {
            known = met->second.known;
            break;
        }
        if (!onChain.insert(current).second) break;  // a loop: "Unknown"
        std::optional<std::wstring> name = ReadFolder(record_, current);
        if (!name) {
            folders_.emplace(current, Folder{});
            break;
        }
        const uint64_t parent = record_.GetParentRef();
        // The root is the folder "." that is its own parent: it adds nothing.
        climbed.emplace_back(current, Folder{parent, parent == current && *name == L"." ? std::wstring() : Level(*name)});
        if (parent == 0) break;
        if (parent == current) {
            known = true;
            break;
        }
        current = parent;
    }
    for (auto it = climbed.rbegin(); it != climbed.rend(); ++it) {
        it->second.known = known;
        folders_.emplace(it->first, std::move(it->second));
    }
    return folders_.at(directory);
}

}  // namespace Vorlaq
