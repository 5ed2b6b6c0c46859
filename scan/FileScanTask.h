#pragma once
// One scan of one NTFS volume for deleted files, on a worker thread of its own. The worker walks
// the MFT from record 16 to the last and reports every record that is not in use, not a
// directory, not an extension record, has a Win32 name and passes the filter, in record order;
// the files in the volume's $Recycle.Bin come last, in record order, once the walk has ended
// (RecycleBinJoin.h). The records are parsed, block by block, on the worker's thread or, given
// more than two cores or asked to, on a few threads of the worker's own (DeletedFileFinder.h);
// the worker takes the blocks back in order, so what it reports and logs does not depend on how
// many there are. The owner's thread polls the state and progress and may ask the worker to
// stop; nothing else is shared.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "scan/FileFilter.h"
#include "scan/FileScanNotify.h"
#include "scan/Recoverability.h"
#include "scan/TraceScan.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

struct BlockFindings;
class DirectoryPathCache;
class RecycleBinJoin;

constexpr int32_t kScanNotStarted = 0;
constexpr int32_t kScanRunning = 1;
constexpr int32_t kScanFinished = 2;
constexpr int32_t kScanFailed = 3;

struct RecycleBinCounts {
    uint64_t joined = 0;   // files given their original path
    uint64_t damaged = 0;  // index files whose content was unusable
};

class FileScanTask {
public:
    FileScanTask();
    // Sets the stop flag, releases a waiting notify target and waits for the worker, so the
    // worker never outlives the task. Not to be called from the notify target.
    virtual ~FileScanTask();
    FileScanTask(const FileScanTask&) = delete;
    FileScanTask& operator=(const FileScanTask&) = delete;

    // These before Start only.
    void SetNotify(std::unique_ptr<FileScanNotify> notify);
    // The drive list's text (C:\): its first character is the drive letter.
    void SetVolume(const std::wstring& volumeText);
    void SetVolume(const VolumeSource& source);
    void SetFilters(const std::wstring& text);
    // Off by default, and then the cluster bitmap is not read.
    void SetRecoverability(RecoverabilityMode mode) { recoverability_ = mode; }
    // Off by default: after the deleted files, names found only in traces (TraceScan.h).
    void SetTraces(bool traces) { traces_ = traces; }
    // Threads that parse records; 0 (the default) for one per core but one.
    void SetParserThreads(unsigned count) { parserThreads_ = count; }

    // Starts the worker; false with no volume, when the task was started before, or when no
    // thread could be made. The state turns to running on the worker's first action.
    bool Start();
    // Asks a running worker to stop before its next record; does nothing in any other state.
    void Stop();
    // Waits until the worker has ended (returns at once when there is none). Owner's thread only.
    void Wait();

    bool IsRunning() const { return GetState() == kScanRunning; }
    int32_t GetState() const { return state_.load(std::memory_order_relaxed); }
    // Percentage of the records walked: set before each record, never 100.
    double GetProgress() const { return progress_.load(std::memory_order_relaxed); }
    bool MatchFile(const std::wstring& name) const { return filter_.MatchFile(name); }
    const std::wstring& GetVolume() const { return source_.GetVolumeText(); }
    const std::wstring& GetFilterText() const { return filter_.GetFilterText(); }
    // After the walk has ended (Wait returned).
    RecycleBinCounts GetRecycleBinCounts() const { return recycleBin_; }
    TraceScanCounts GetTraceCounts() const { return traceCounts_; }
    // Error lines the walk logged (records that could not be read, folders whose path could not
    // be built, ...), once it has ended; the lines of records never written are not among them.
    uint64_t GetErrorsLogged() const { return errorsLogged_.load(std::memory_order_relaxed); }
    // Records the walk found all zeros (NTFSFileRecord::IsNeverWritten), once it has ended.
    uint64_t GetNeverWrittenRecords() const { return neverWritten_; }

    // The worker: 0 when the walk ended, -1 for no task or a refused volume.
    static int32_t ScanThreadProc(FileScanTask* task);

private:
    int32_t Scan();
    // Reports one block's findings as the walk of one thread would have: log lines, paths, the
    // Recycle Bin's files held back, the others reported.
    void Report(BlockFindings& found, DirectoryPathCache& paths, RecycleBinJoin& bin);

    std::unique_ptr<FileScanNotify> notify_;
    std::thread thread_;
    std::atomic<int32_t> state_{kScanNotStarted};
    std::atomic<double> progress_{0.0};
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> errorsLogged_{0};
    VolumeSource source_;
    FileFilter filter_;
    RecoverabilityMode recoverability_ = RecoverabilityMode::Off;
    unsigned parserThreads_ = 0;
    RecycleBinCounts recycleBin_;
    bool traces_ = false;
    TraceScanCounts traceCounts_;
    uint64_t neverWritten_ = 0;  // the worker's until it has ended
    bool started_ = false;
};

}  // namespace Vorlaq
