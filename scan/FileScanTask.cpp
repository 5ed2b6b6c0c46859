#include "scan/FileScanTask.h"

#include <system_error>

#include "base/LogManager.h"
#include "ntfs/NTFSAttribute.h"
#include "ntfs/NTFSClusterBitmap.h"
#include "ntfs/NTFSFileRecord.h"
#include "ntfs/NTFSVolume.h"
#include "scan/FilePathBuilder.h"
#include "scan/MftRecordReader.h"
#include "scan/RecycleBinJoin.h"
#include "scan/SourceExtent.h"

namespace Vorlaq {

FileScanTask::FileScanTask() = default;

FileScanTask::~FileScanTask() {
    stop_.store(true, std::memory_order_relaxed);
    if (notify_) notify_->Abandon();
    Wait();
}

void FileScanTask::SetNotify(std::unique_ptr<FileScanNotify> notify) { notify_ = std::move(notify); }

void FileScanTask::SetVolume(const std::wstring& volumeText) { source_ = VolumeSource::FromText(volumeText); }

void FileScanTask::SetVolume(const VolumeSource& source) { source_ = source; }

void FileScanTask::SetFilters(const std::wstring& text) { filter_.SetFilters(text); }

bool FileScanTask::Start() {
    if (source_.IsEmpty() || started_) return false;
    stop_.store(false, std::memory_order_relaxed);
    try {
        thread_ = std::thread(ScanThreadProc, this);
    } catch (const std::system_error&) {
        return false;
    }
    started_ = true;
    return true;
}

void FileScanTask::Stop() {
    if (IsRunning()) stop_.store(true, std::memory_order_relaxed);
}

void FileScanTask::Wait() {
    if (thread_.joinable()) thread_.join();
}

int32_t FileScanTask::ScanThreadProc(FileScanTask* task) {
    if (!task) return -1;
    return task->Scan();
}

int32_t FileScanTask::Scan() {
    state_.store(kScanRunning, std::memory_order_relaxed);
    const std::wstring& volumeText = source_.GetVolumeText();
    std::unique_ptr<NTFSVolume> volume = source_.Open();
    if (!volume->IsVolumeOK()) {
        LogManager::instance().print(LogLevel::Error,
                                     L"Volume: %s is not a valid NTFS volume or the NTFS version < 3.0.", volumeText);
        state_.store(kScanFailed, std::memory_order_relaxed);
        return -1;
    }
    if (!volume->HasMFTData()) {
        // Record 0 could not be read or holds no $DATA: no other record can be located.
        LogManager::instance().print(LogLevel::Error, L"Volume: %s has no readable MFT data.", volumeText);
        state_.store(kScanFailed, std::memory_order_relaxed);
        return -1;
    }
    const uint64_t total = volume->GetRecordsCount();
    LogManager::instance().print(LogLevel::Info, L"Total File Records: %I64u", total);
    const uint64_t span = total - kNTFSFirstUserRecord;  // wraps below 16 records: the loop never runs
    if (span == 0) {
        state_.store(kScanFailed, std::memory_order_relaxed);
        return -1;
    }

    // Read once for the whole walk; every found file is judged against it.
    std::unique_ptr<NTFSClusterBitmap> bitmap;
    SourceLimits limits;
    if (recoverability_ != RecoverabilityMode::Off) {
        bitmap = std::make_unique<NTFSClusterBitmap>(*volume);
        if (!source_.IsDrive()) limits.heldClusters = MeasureSource(*volume).HeldClusters(volume->GetClusterSize());
    }
    MftRecordReader records(*volume, total);
    DirectoryPathCache paths(*volume);
    NTFSFileRecord record(volume.get());
    RecycleBinJoin bin(volume->GetVolumePath());
    for (uint64_t n = kNTFSFirstUserRecord; n < total && !stop_.load(std::memory_order_relaxed); ++n) {
        progress_.store(static_cast<double>(100 * (n - kNTFSFirstUserRecord)) / static_cast<double>(span),
                        std::memory_order_relaxed);
        // The header decides before any attribute is built: files in use, directories and the
        // extension records of other files (their names reach us through their base record)
        // are never reported. Most records are such; when their bytes are sound they are passed
        // over unloaded (bytes that are not are loaded, which logs what is wrong with them).
        if (records.IsPassedOver(n)) continue;
        record.SetAttrMask(kNTFSMaskFileName);
        if (!records.Load(record, n)) continue;
        if (!record.IsDeleted() || record.IsDirectory() || record.GetBaseRecordRef() != 0) continue;
        if (!record.ParseAttrs()) continue;
        std::wstring fileName = record.GetWin32Name();
        if (fileName.empty()) continue;
        // A Recycle Bin index file is read even when the filter hides it: the item it names may pass.
        const bool listed = filter_.MatchFile(fileName);
        if (!listed && !RecycleBinJoin::IsIndexName(fileName)) continue;
        std::wstring path = paths.BuildFilePath(n, record.GetParentRef());
        uint64_t modified = 0, created = 0, accessed = 0;
        record.GetFileTime(&modified, &created, &accessed);
        const NTFSStandardTimes standardTimes = record.GetStandardTimes();
        const bool readOnly = record.IsReadOnly();
        record.SetAttrMask(kNTFSMaskData);
        record.ParseAttrs();
        uint64_t size = 0;
        NTFSAttributeBase* data = record.FindStream(nullptr);
        if (data) size = data->GetDataSize();
        Recoverability recoverability;
        if (bitmap) {
            // Damage comes to light as chunks are read: what is known by now.
            limits.damaged = volume->GetDevice()->KnownDamage();
            recoverability = JudgeRecoverability(data, *bitmap, volume->GetClusterSize(), limits);
        }
        // Listing only intact files still reads every index file: the item it names may be intact.
        const bool shown = listed && (recoverability_ != RecoverabilityMode::IntactOnly ||
                                      recoverability.state == RecoverState::Intact);
        if (!shown && !RecycleBinJoin::IsIndexName(fileName)) continue;
        auto file = std::make_unique<DeletedFileInfo>(volumeText, n, std::move(fileName), std::move(path), size,
                                                      &modified, &created, &accessed);
        file->SetRecoverability(recoverability);
        file->SetStandardTimes(standardTimes);
        file->SetReadOnly(readOnly);
        file->SetSequence(record.GetSequenceNumber());
        if (bin.Holds(*file)) bin.Add(std::move(file), data, shown);
        else if (shown && notify_) notify_->Found(std::move(file));
    }
    // The bin's files wait for the walk's end: only then are their index files all known.
    for (auto& file : bin.Release())
        if (notify_) notify_->Found(std::move(file));
    recycleBin_ = {bin.GetJoinedCount(), bin.GetDamagedIndexCount()};
    // Names found only in traces come last; a filter and --recoverable apply to them as to files
    // (a trace has no data: it is never intact).
    if (traces_ && recoverability_ != RecoverabilityMode::IntactOnly && !stop_.load(std::memory_order_relaxed))
        for (auto& file : ScanTraces(*volume, volumeText, filter_, stop_, &traceCounts_))
            if (notify_) notify_->Found(std::move(file));
    state_.store(kScanFinished, std::memory_order_relaxed);
    if (notify_) notify_->Finished();
    return 0;
}

}  // namespace Vorlaq
