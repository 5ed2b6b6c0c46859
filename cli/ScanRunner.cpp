#include "cli/ScanRunner.h"

#include <atomic>
#include <chrono>

#include "cli/ProgressLine.h"
#include "scan/FileScanTask.h"
#include "scan/FoundFileChannel.h"

namespace Vorlaq {

namespace {

constexpr auto kProgressTick = std::chrono::milliseconds(250);

// Found files cross from the scan's worker to the command's thread in batches, so that printing
// them runs beside the walk instead of inside it. A file of long names and paths holds a few KiB:
// a thousand waiting bound the memory when the output is the slower side.
constexpr size_t kWaitingFiles = 1024;
constexpr size_t kBatch = 512;

// Hands found files to the channel a few dozen at a time rather than taking its lock for each.
class CliScanNotify : public FileScanNotify {
public:
    explicit CliScanNotify(FoundFileChannel& channel) : channel_(channel) {}
    void Found(std::unique_ptr<DeletedFileInfo> file) override {
        files_.push_back(std::move(file));
        // Files the channel no longer takes (the command is ending) are dropped here.
        if (files_.size() >= kHandOver && !channel_.Put(files_)) files_.clear();
    }
    void Finished() override {
        channel_.Put(files_);
        channel_.Finish();
    }
    void Abandon() override { channel_.Abandon(); }
    void TakeUsed(FoundFileChannel::Files& into, size_t most) override { channel_.TakeUsed(into, most); }

private:
    static constexpr size_t kHandOver = 64;

    FoundFileChannel& channel_;
    FoundFileChannel::Files files_;
};

}  // namespace

ScanOutcome RunScanTask(const VolumeSource& source, const std::wstring& filter, uint64_t walked, Console& console,
                        FoundFileSink sink, const std::atomic<bool>* stop, RecoverabilityMode recoverability, bool traces,
                        unsigned threads) {
    FoundFileChannel channel(kWaitingFiles, kBatch);
    ProgressLine progress(walked);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

    ScanOutcome outcome;
    {
        FileScanTask task;
        task.SetNotify(std::make_unique<CliScanNotify>(channel));
        task.SetVolume(source);
        task.SetFilters(filter);
        task.SetRecoverability(recoverability);
        task.SetTraces(traces);
        task.SetParserThreads(threads);
        if (!task.Start()) {
            outcome.state = kScanFailed;
            return outcome;
        }
        FoundFileChannel::Files batch;
        for (;;) {
            bool ended = channel.Take(batch, kProgressTick);
            for (const auto& file : batch) sink(*file);
            channel.GiveBack(batch);
            if (stop && (stop->load() || console.OutputLost())) task.Stop();
            // A refused volume reports no end of the walk: its state ends the wait.
            if (ended || task.GetState() == kScanFailed) break;
            if (task.GetState() == kScanRunning)
                console.Progress(progress.Text(task.GetProgress(), elapsed(), channel.Found()));
        }
        task.Wait();
        outcome.state = task.GetState();
        outcome.recycleBin = task.GetRecycleBinCounts();
        outcome.traces = task.GetTraceCounts();
        outcome.neverWritten = task.GetNeverWrittenRecords();
    }
    console.ClearProgress();
    outcome.found = channel.Found();
    outcome.seconds = elapsed();
    return outcome;
}

}  // namespace Vorlaq
