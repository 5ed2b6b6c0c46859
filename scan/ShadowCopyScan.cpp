#include "scan/ShadowCopyScan.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "base/LogManager.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSFileRecord.h"
#include "scan/FilePathBuilder.h"
#include "scan/FoundFileFacts.h"
#include "scan/MftRecordReader.h"

namespace Vorlaq {

namespace {

constexpr uint32_t kCompareChunk = 0x10000;

// Record `number` of `volume` with its unnamed $DATA parsed; null when there is none to read.
NTFSAttributeBase* LoadData(NTFSFileRecord& record, uint64_t number) {
    record.SetAttrMask(kNTFSMaskData);
    if (!record.ReadFileRecord(number) || !record.ParseAttrs()) return nullptr;
    return record.FindStream(nullptr);
}

// The unnamed streams of record `number` in two copies hold the same bytes. A stream that cannot
// be read whole in either counts as different: both versions are then offered.
bool SameContent(const NTFSVolume& a, const NTFSVolume& b, uint64_t number) {
    NTFSFileRecord first(&a);
    NTFSFileRecord second(&b);
    NTFSAttributeBase* x = LoadData(first, number);
    NTFSAttributeBase* y = LoadData(second, number);
    if (!x || !y) return !x && !y;
    const uint64_t size = x->GetDataSize();
    if (size != y->GetDataSize()) return false;
    std::vector<uint8_t> left(kCompareChunk);
    std::vector<uint8_t> right(kCompareChunk);
    for (uint64_t offset = 0; offset < size; offset += kCompareChunk) {
        const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(kCompareChunk, size - offset));
        uint32_t gotLeft = 0;
        uint32_t gotRight = 0;
        if (!x->ReadData(offset, left.data(), wanted, &gotLeft) || !y->ReadData(offset, right.data(), wanted, &gotRight) ||
            gotLeft != wanted || gotRight != wanted || !std::equal(left.begin(), left.begin() + wanted, right.begin()))
            return false;
    }
    return true;
}

// The live volume's records, read in the order a copy's walk asks for them; those of all zeros
// are counted in `neverWritten`.
class LiveRecords {
public:
    LiveRecords(const NTFSVolume& live, uint64_t& neverWritten)
        : total_(live.GetRecordsCount()), reader_(live, total_), record_(&live), neverWritten_(neverWritten) {}

    // Record `number` on the live volume holds this very file: in use, not a folder, the same
    // sequence number and the same Win32 name.
    bool Holds(uint64_t number, uint16_t sequence, const std::wstring& name) {
        if (number >= total_) return false;
        record_.SetAttrMask(kNTFSMaskFileName);
        while (MftRecordReader::End(block_) <= number && reader_.Next(block_)) {}
        const bool inBlock = number >= block_.first && number < MftRecordReader::End(block_);
        if (!(inBlock ? reader_.Load(block_, record_, number) : record_.ReadFileRecord(number))) {
            neverWritten_ += record_.IsNeverWritten() ? 1 : 0;
            return false;
        }
        if (record_.IsDeleted() || record_.IsDirectory() || record_.GetBaseRecordRef() != 0 ||
            record_.GetSequenceNumber() != sequence || !record_.ParseAttrs())
            return false;
        return record_.GetWin32Name() == name;
    }

private:
    uint64_t total_;
    MftRecordReader reader_;
    MftBlock block_;
    NTFSFileRecord record_;
    uint64_t& neverWritten_;
};

struct Found {
    DeletedFileInfo file;
    uint16_t sequence = 0;
};

// One copy's files that the live volume does not hold, in record order; the records of all zeros
// met on the way are counted in `neverWritten`.
std::vector<Found> WalkCopy(const NTFSVolume& copy, const NTFSVolume& live, const FileFilter& filter,
                            const std::atomic<bool>* stop, uint64_t& neverWritten) {
    std::vector<Found> found;
    const uint64_t total = copy.GetRecordsCount();
    MftRecordReader records(copy, total);
    LiveRecords liveRecords(live, neverWritten);
    DirectoryPathCache paths(copy);
    NTFSFileRecord record(&copy);
    auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    MftBlock block;
    while (!stopped() && records.Next(block)) {
        for (uint64_t n = block.first; n < MftRecordReader::End(block) && !stopped(); ++n) {
            record.SetAttrMask(kNTFSMaskFileName);
            if (!records.Load(block, record, n)) {
                neverWritten += record.IsNeverWritten() ? 1 : 0;
                continue;
            }
            // In use or deleted in the copy: either is whole there.
            if (record.IsDirectory() || record.GetBaseRecordRef() != 0 || !record.ParseAttrs()) continue;
            std::wstring name = ShownRecordName(record, n);
            if (name.empty() || !filter.MatchFile(name)) continue;
            const uint16_t sequence = record.GetSequenceNumber();
            if (liveRecords.Holds(n, sequence, name)) continue;
            std::wstring path = paths.BuildFilePath(n, record.GetParentRef());
            Found file{ReadFoundFileFacts(record).Row(copy.GetVolumePath(), n, std::move(name), std::move(path)),
                       sequence};
            // The copy keeps every block of the file as it was: nothing on the live volume can take
            // them.
            file.file.SetRecoverability({RecoverState::Intact, 0});
            found.push_back(std::move(file));
        }
    }
    return found;
}

}  // namespace

std::shared_ptr<ShadowCopies> ShadowCopies::Open(const VolumeSource& source) {
    if (!CanReadShadowCopies()) return nullptr;
    const std::unique_ptr<NTFSVolume> volume = source.Open();
    const NTFSVolume& live = *volume;
    if (!live.IsVolumeOK()) return nullptr;
    const uint64_t sectors = live.GetTotalSectors();
    const uint64_t sectorSize = live.GetSectorSize();
    // The boot sector's count leaves out the backup boot sector at the volume's end.
    if (sectorSize == 0 || sectors >= UINT64_MAX / sectorSize) return nullptr;
    std::unique_ptr<ShadowCopySet> set = OpenShadowCopies(source.OpenDevice(), (sectors + 1) * sectorSize);
    if (!set) return nullptr;
    return std::shared_ptr<ShadowCopies>(new ShadowCopies(std::move(set)));
}

VolumeSource ShadowCopies::SourceOf(uint32_t number, const std::wstring& volumeText) const {
    std::shared_ptr<ShadowCopySet> set = set_;
    return VolumeSource::FromDevice([set, number] { return set->OpenCopy(number); }, volumeText);
}

ShadowCopyFound FindShadowCopyFiles(const ShadowCopies& copies, const VolumeSource& source, const FileFilter& filter,
                                    const std::atomic<bool>* stop) {
    const std::unique_ptr<NTFSVolume> volume = source.Open();
    const NTFSVolume& live = *volume;
    ShadowCopyFound result;
    std::vector<ShadowCatalogEntry> order = copies.GetCopies();
    std::stable_sort(order.begin(), order.end(),
                     [](const ShadowCatalogEntry& a, const ShadowCatalogEntry& b) { return a.created > b.created; });

    // Newest first, so that a file the next older copy holds unchanged is known as given already.
    using Key = std::tuple<uint64_t, uint16_t, std::wstring>;
    std::map<Key, std::vector<const NTFSVolume*>> given;
    std::vector<std::unique_ptr<NTFSVolume>> volumes;
    std::vector<std::vector<DeletedFileInfo>> perCopy;
    for (const ShadowCatalogEntry& entry : order) {
        auto volume = copies.SourceOf(entry.number, live.GetVolumePath()).Open();
        if (!volume->IsVolumeOK() || !volume->HasMFTData()) {
            LogManager::instance().print(LogLevel::Error, L"Shadow copy %u holds no readable NTFS volume.",
                                         entry.number);
            result.unreadable.push_back(entry.number);
            continue;
        }
        std::vector<DeletedFileInfo> kept;
        for (Found& found : WalkCopy(*volume, live, filter, stop, result.neverWritten)) {
            const uint64_t number = found.file.GetRecordNumber();
            std::vector<const NTFSVolume*>& versions = given[Key{number, found.sequence, found.file.GetName()}];
            if (std::any_of(versions.begin(), versions.end(),
                            [&](const NTFSVolume* newer) { return SameContent(*newer, *volume, number); }))
                continue;
            versions.push_back(volume.get());
            found.file.SetShadowCopy(entry.number, entry.created);
            kept.push_back(std::move(found.file));
        }
        perCopy.push_back(std::move(kept));
        volumes.push_back(std::move(volume));
    }
    for (auto copy = perCopy.rbegin(); copy != perCopy.rend(); ++copy)
        for (DeletedFileInfo& file : *copy) result.files.push_back(std::move(file));
    return result;
}

}  // namespace Vorlaq
