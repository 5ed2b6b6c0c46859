#pragma once
// The folders of the records the deep scan found, kept in a few bytes each, and the paths they
// give: a file's folder is the folder record its parent reference names, looked for first in the
// file's own MFT (the same start), then in the other pieces of the same volume; a record of the
// live MFT only ever names a folder of the live MFT, and an older one only an older one: a quick
// format writes its MFT over the old one's first records, under the same numbers. A folder's
// sequence number must be the one the reference holds (or one more, for a folder deleted after
// the file was). The root is record 5, whether or not its record is left. A folder whose record is gone may still be named
// by an entry in its own folder's index blocks: such a name is used when no record of the folder
// was found in any piece.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vorlaq {

class CarvedFolders {
public:
    // Paths begin with `root`, the volume's text.
    explicit CarvedFolders(std::wstring root);

    // Which pieces of MFT (by their starts) belong to one volume; without it, only a piece itself.
    using SameVolume = std::function<bool(uint64_t mftStart, uint64_t otherStart)>;
    void SetSameVolume(SameVolume sameVolume) { sameVolume_ = std::move(sameVolume); }

    // A folder record, in the order found; `old` for one outside the live MFT.
    void Add(uint64_t mftStart, bool old, uint64_t number, uint16_t sequence, uint64_t parentRef,
             const std::wstring& name);

    // A folder named by an index entry: `reference` its record's (sequence number in the top 16
    // bits), `parentRef` the folder whose index holds the entry, `blockPosition` where that index
    // block lies on the source. The first name of a reference is kept, up to a bound.
    void AddIndexed(uint64_t reference, uint64_t parentRef, const std::wstring& name, uint64_t blockPosition);
    // Puts each folder named by an index entry in the MFT `mftOf` gives for its index block's
    // position (none: in no MFT, so that it names no file's folder), before any path is asked for.
    void PlaceIndexed(const std::function<std::optional<uint64_t>(uint64_t blockPosition)>& mftOf);

    // The folder path of a file of the MFT at `mftStart` (`old` outside the live MFT) whose
    // $FILE_NAME names `parentRef` (sequence number in the top 16 bits): the root, then
    // "Work\Reports\", or null when the chain of folders breaks before the root. The files of one
    // folder share its text.
    std::shared_ptr<const std::wstring> PathOf(uint64_t mftStart, bool old, uint64_t parentRef);

private:
    struct Folder {
        uint64_t mftStart = 0;  // for a folder named by an index entry, the position of its index block until placed
        uint64_t number = 0;
        uint64_t parentRef = 0;
        uint16_t sequence = 0;
        bool old = false;
        bool placed = true;    // for a folder named by an index entry: in an MFT
        std::string name;  // UTF-8, to keep a million folders small
    };

    // The folder `parentRef` names, seen from the MFT at `mftStart`; SIZE_MAX for none.
    size_t Find(uint64_t mftStart, bool old, uint64_t parentRef) const;
    // Its path, or null; memoised.
    const std::shared_ptr<const std::wstring>& Resolve(size_t folder);

    const std::shared_ptr<const std::wstring> root_;
    std::vector<Folder> folders_;
    std::unordered_multimap<uint64_t, size_t> byNumber_;  // folders named by their records
    std::unordered_map<uint64_t, size_t> byReference_;    // folders named by index entries
    std::unordered_map<size_t, std::shared_ptr<const std::wstring>> paths_;
    SameVolume sameVolume_;
};

}  // namespace Vorlaq
