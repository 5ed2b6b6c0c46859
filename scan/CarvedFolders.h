#pragma once
// The folders of the records the deep scan found, kept in a few bytes each, and the paths they
// give: a file's folder is the folder record its parent reference names, looked for first in the
// file's own MFT (the same start), then in the other pieces of a fragmented one. A folder's
// sequence number must be the one the reference holds (or one more, for a folder deleted after
// the file was). The root is record 5, whether or not its record is left. A folder whose record
// is gone may still be named by an entry in its own folder's index blocks: such a name is used
// when no record of the folder was found in any piece.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vorlaq {

class CarvedFolders {
public:
    // Paths begin with `root`, the volume's text.
    explicit CarvedFolders(std::wstring root);

    // A folder record, in the order found.
    void Add(uint64_t mftStart, uint64_t number, uint16_t sequence, uint64_t parentRef, const std::wstring& name);

    // A folder named by an index entry: `reference` its record's (sequence number in the top 16
    // bits), `parentRef` the folder whose index holds the entry. The first name of a reference
    // is kept, up to a bound.
    void AddIndexed(uint64_t reference, uint64_t parentRef, const std::wstring& name);

    // The folder path of a file of the MFT at `mftStart` whose $FILE_NAME names `parentRef`
    // (sequence number in the top 16 bits): the root, then "Work\Reports\", or null when the chain
    // of folders breaks before the root. The files of one folder share its text.
    std::shared_ptr<const std::wstring> PathOf(uint64_t mftStart, uint64_t parentRef);

private:
    struct Folder {
        uint64_t mftStart = 0;  // 0 for a folder named by an index entry: no MFT starts at the boot sector
        uint64_t number = 0;
        uint64_t parentRef = 0;
        uint16_t sequence = 0;
        std::string name;  // UTF-8, to keep a million folders small
    };

    // The folder `parentRef` names, seen from the MFT at `mftStart`; SIZE_MAX for none.
    size_t Find(uint64_t mftStart, uint64_t parentRef) const;
    // Its path, or null; memoised.
    const std::shared_ptr<const std::wstring>& Resolve(size_t folder);

    const std::shared_ptr<const std::wstring> root_;
    std::vector<Folder> folders_;
    std::unordered_multimap<uint64_t, size_t> byNumber_;  // folders named by their records
    std::unordered_map<uint64_t, size_t> byReference_;    // folders named by index entries
    std::unordered_map<size_t, std::shared_ptr<const std::wstring>> paths_;
};

}  // namespace Vorlaq
