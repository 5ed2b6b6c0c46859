#pragma once
// Gives the files found in a Recycle Bin the names they had before. Deleting to the bin renames a
// file or folder to $R plus six characters plus its extension inside
// "<volume>\$Recycle.Bin\<user's SID>\" and writes beside it an index file, $I with the same six
// characters and extension, that holds the original full path and the deletion time. Emptying
// the bin deletes both, so a scan meets the index after the item or before it, anywhere in the
// MFT: the files of the bin are held here until the walk ends and then joined by folder and
// name. A $R folder's original path extends to the files found beneath it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ntfs/NTFSAttribute.h"
#include "scan/DeletedFileInfo.h"
#include "scan/RecycleBinIndex.h"

namespace Vorlaq {

class RecycleBinJoin {
public:
    // `volumeRoot` is the volume's path ("D:\", or "\" for an image), which every found path
    // starts with.
    explicit RecycleBinJoin(std::wstring volumeRoot);

    // "$I" plus six characters and an optional extension, in either case.
    static bool IsIndexName(const std::wstring& name);
    // True for a file whose folder lies inside the volume's $Recycle.Bin (any letter case).
    bool Holds(const DeletedFileInfo& file) const;
    // What Add reads of an index file: the start of its unnamed $DATA `data` (null without one),
    // as much as an index file can hold; empty when it cannot be read.
    static std::vector<uint8_t> ReadIndexContent(NTFSAttributeBase* data);
    // Takes a file that Holds; `content` gives what ReadIndexContent read of it, asked for when the
    // file is an index file. The file is kept for Release when `listed`.
    void Add(std::unique_ptr<DeletedFileInfo> file, const std::function<std::vector<uint8_t>()>& content,
             bool listed);
    // Every file kept, in the order added, with its original path and deletion time (local time)
    // where an index file of the same folder names it.
    std::vector<std::unique_ptr<DeletedFileInfo>> Release();

    // Index files whose content was unusable (and so joined nothing), and files given an
    // original path, after Release.
    uint64_t GetDamagedIndexCount() const { return damaged_; }
    uint64_t GetJoinedCount() const { return joined_; }

private:
    struct Held {
        std::unique_ptr<DeletedFileInfo> file;
        std::wstring key;   // SID folder and $R suffix, folded; empty when nothing can be joined
        std::wstring tail;  // what follows the $R item's own path: "\sub\file.txt" below a folder
    };

    void ReadIndex(const std::wstring& key, const DeletedFileInfo& file, const std::vector<uint8_t>& content);

    std::wstring prefix_;  // "<root>$recycle.bin\", folded
    std::vector<Held> held_;
    // By key; nothing when two index files claim the same item, which leaves it unjoined.
    std::unordered_map<std::wstring, std::optional<RecycleBinIndex>> indexes_;
    uint64_t damaged_ = 0;
    uint64_t joined_ = 0;
};

}  // namespace Vorlaq
