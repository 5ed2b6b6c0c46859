#include "scan/DeletedFileFinder.h"

#include "ntfs/NTFSAttribute.h"
#include "scan/FilePathBuilder.h"
#include "scan/FoundFileFacts.h"
#include "scan/RecycleBinJoin.h"

namespace Vorlaq {

DeletedFileFinder::DeletedFileFinder(const NTFSVolume& volume, const MftRecordReader& reader,
                                     const FileFilter& filter, RecoverabilityMode mode, NTFSClusterBitmap* bitmap,
                                     uint64_t heldClusters, const std::wstring& volumeText,
                                     const std::atomic<bool>& stop)
    : volume_(volume),
      reader_(reader),
      filter_(filter),
      mode_(mode),
      bitmap_(bitmap),
      heldClusters_(heldClusters),
      volumeText_(std::make_shared<const std::wstring>(volumeText)),
      stop_(stop),
      record_(&volume) {}

void DeletedFileFinder::Find(MftBlock& block, BlockFindings& found) {
    found.records.clear();
    found.log.clear();
    found.neverWritten = 0;
    LogDeferral deferral(found.log);
    const uint64_t end = MftRecordReader::End(block);
    for (uint64_t n = block.first; n < end && !stop_.load(std::memory_order_relaxed); ++n) {
        // The header decides before any attribute is built: files in use, directories and the
        // extension records of other files (their names reach us through their base record)
        // are never reported. Most records are such; when their bytes are sound they are passed
        // over unloaded (bytes that are not are loaded, which logs what is wrong with them).
        if (MftRecordReader::IsPassedOver(block, n)) continue;
        record_.SetAttrMask(kNTFSMaskFileName);
        if (!reader_.LoadInPlace(block, record_, n)) {
            found.neverWritten += record_.IsNeverWritten() ? 1 : 0;
            continue;
        }
        if (!record_.IsDeleted() || record_.IsDirectory() || record_.GetBaseRecordRef() != 0) continue;
        if (!record_.ParseAttrs()) continue;
        ShownRecordName(record_, n, name_);
        if (name_.empty()) continue;
        // A Recycle Bin index file is read even when the filter hides it: the item it names may pass.
        const bool listed = filter_.MatchFile(name_);
        const bool isIndex = RecycleBinJoin::IsIndexName(name_);
        if (!listed && !isIndex) continue;
        FoundRecord& file = found.records.emplace_back();
        file.number = n;
        file.parentRef = record_.GetParentRef();
        file.logAtPath = found.log.size();
        const FoundFileFacts facts = ReadFoundFileFacts(record_);
        Recoverability recoverability;
        if (bitmap_) {
            // Damage comes to light as chunks are read: what is known by now.
            const SourceLimits limits{heldClusters_, volume_.GetDevice()->KnownDamage()};
            recoverability = JudgeRecoverability(facts.data, *bitmap_, volume_.GetClusterSize(), limits);
        }
        // Listing only intact files still reads every index file: the item it names may be intact.
        file.shown = listed && (mode_ != RecoverabilityMode::IntactOnly || recoverability.state == RecoverState::Intact);
        file.logAtIndex = found.log.size();
        if (isIndex) file.indexContent = RecycleBinJoin::ReadIndexContent(facts.data);
        file.logEnd = found.log.size();
        if (!file.shown && !isIndex) continue;
        if (found.reusable.empty()) {
            file.file = std::make_unique<DeletedFileInfo>();
        } else {
            file.file = std::move(found.reusable.back());
            found.reusable.pop_back();
            file.file->Reuse();
        }
        file.file->SetRecordNumber(n);
        file.file->AssignName(name_);
        facts.Fill(*file.file);
        file.file->SetVolume(volumeText_);
        file.file->SetRecoverability(recoverability);
        file.file->SetSequence(record_.GetSequenceNumber());
    }
}

}  // namespace Vorlaq
