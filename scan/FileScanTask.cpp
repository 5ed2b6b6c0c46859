#include "scan/FileScanTask.h"

#include <algorithm>
#include <span>
#include <system_error>
#include <vector>

#include "base/LogManager.h"
#include "ntfs/NTFSClusterBitmap.h"
#include "scan/DeletedFileFinder.h"
#include "scan/FilePathBuilder.h"
#include "scan/MftRecordReader.h"
#include "scan/OrderedPool.h"
#include "scan/RecycleBinJoin.h"
#include "scan/SourceExtent.h"

namespace Vorlaq {

namespace {

// Files kept with a block to be filled anew: about as many as its records, so that memory stays
// bounded by the blocks in flight.
constexpr size_t kReusablePerBlock = 256;

// A block of records and what was found in it, the unit the parsers hand back.
struct ParsedBlock {
    MftBlock block;
    BlockFindings found;
};

}  // namespace

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

void FileScanTask::Report(BlockFindings& found, DirectoryPathCache& paths, RecycleBinJoin& bin) {
    LogManager& log = LogManager::instance();
    const std::span<const LogLine> lines(found.log);
    neverWritten_ += found.neverWritten;
    size_t logged = 0;
    for (FoundRecord& record : found.records) {
        if (stop_.load(std::memory_order_relaxed)) return;
        log.replay(lines.subspan(logged, record.logAtPath - logged));
        std::shared_ptr<const std::wstring> path = paths.SharedFilePath(record.number, record.parentRef);
        log.replay(lines.subspan(record.logAtPath, record.logAtIndex - record.logAtPath));
        logged = record.logEnd;
        if (!record.file) continue;
        record.file->SetPath(std::move(path));
        if (bin.Holds(*record.file)) {
            bin.Add(std::move(record.file),
                    [&] {
                        log.replay(lines.subspan(record.logAtIndex, record.logEnd - record.logAtIndex));
                        return std::move(record.indexContent);
                    },
                    record.shown);
        } else if (record.shown && notify_) {
            notify_->Found(std::move(record.file));
        }
    }
    log.replay(lines.subspan(logged));
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
    uint64_t heldClusters = UINT64_MAX;  // clusters past the end of a source cut short are lost
    if (recoverability_ != RecoverabilityMode::Off) {
        bitmap = std::make_unique<NTFSClusterBitmap>(*volume);
        if (!source_.IsDrive()) heldClusters = MeasureSource(*volume).HeldClusters(volume->GetClusterSize());
    }
    const uint64_t errorsBefore = LogManager::errorsWrittenOnThisThread();
    MftRecordReader records(*volume, total);
    // The read-ahead and the taker of the rows (a printer, the window) keep about one core busy
    // between them: a parser on that core too made a 2-core walk slower, not faster.
    const size_t parsers = records.LoadsInParallel() ? PoolWorkers(parserThreads_, 1) : 1;
    std::vector<std::unique_ptr<DeletedFileFinder>> finders;
    for (size_t i = 0; i < parsers; ++i)
        finders.push_back(std::make_unique<DeletedFileFinder>(*volume, records, filter_, recoverability_, bitmap.get(),
                                                              heldClusters, volumeText, stop_));
    OrderedPool<ParsedBlock> pool(
        [&](ParsedBlock& item) { return !stop_.load(std::memory_order_relaxed) && records.Next(item.block); },
        [&](ParsedBlock& item, size_t parser) { finders[parser]->Find(item.block, item.found); }, parsers,
        PoolDepth(parsers));
    DirectoryPathCache paths(*volume);
    RecycleBinJoin bin(volume->GetVolumePath());
    ParsedBlock item;
    while (!stop_.load(std::memory_order_relaxed) && pool.Take(item)) {
        Report(item.found, paths, bin);
        // The files the taker is done with go back with the block's storage, to be filled anew.
        if (notify_) notify_->TakeUsed(item.found.reusable, kReusablePerBlock);
        // The last record walked: the value the walk of one thread leaves.
        progress_.store(static_cast<double>(100 * (MftRecordReader::End(item.block) - 1 - kNTFSFirstUserRecord)) /
                            static_cast<double>(span),
                        std::memory_order_relaxed);
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
    // A record never written is logged as invalid, but it is no error of the volume's.
    const uint64_t logged = LogManager::errorsWrittenOnThisThread() - errorsBefore;
    errorsLogged_.store(logged - std::min(logged, neverWritten_), std::memory_order_relaxed);
    state_.store(kScanFinished, std::memory_order_relaxed);
    if (notify_) notify_->Finished();
    return 0;
}

}  // namespace Vorlaq
