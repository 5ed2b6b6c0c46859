#include "cli/ScanRunner.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "cli/ProgressLine.h"
#include "scan/FileScanTask.h"

namespace Vorlaq {

namespace {

constexpr auto kProgressTick = std::chrono::milliseconds(250);

using FoundBatch = std::vector<std::unique_ptr<DeletedFileInfo>>;

// Found files cross from the scan's worker to the command's thread in batches, so that printing
// them runs beside the walk instead of inside it. A full queue holds the worker back, which
// bounds the memory when the output is slower than the walk. Files handed out come back once
// used and are freed on the worker, so the printing thread does not pay for it; with one parser
// thread the worker made them too, and an allocator serves a thread fastest from memory that
// thread gave back.
class FoundQueue {
public:
    // Worker thread: takes every file of `files`.
    void Push(FoundBatch& files) {
        FoundBatch used;  // freed after the lock is let go
        std::unique_lock<std::mutex> hold(lock_);
        room_.wait(hold, [&] { return files_.size() < kLimit || abandoned_; });
        used.swap(used_);
        if (abandoned_) return;
        for (auto& file : files) files_.push_back(std::move(file));
        found_.fetch_add(files.size(), std::memory_order_relaxed);
        files.clear();
        if (files_.size() >= kBatch) ready_.notify_one();
    }

    // Owner's thread: files taken and used, to be freed by the worker.
    void GiveBack(FoundBatch& batch) {
        std::lock_guard<std::mutex> hold(lock_);
        if (used_.empty()) {
            used_.swap(batch);
            return;
        }
        for (auto& file : batch) used_.push_back(std::move(file));
        batch.clear();
    }

    // Worker thread, once, after the last Push.
    void Finish() {
        std::lock_guard<std::mutex> hold(lock_);
        finished_ = true;
        ready_.notify_one();
    }

    // Owner's thread while the task is destroyed: a worker waiting for room gives up.
    void Abandon() {
        std::lock_guard<std::mutex> hold(lock_);
        abandoned_ = true;
        room_.notify_all();
    }

    // Waits up to `tick` for a full batch or the end of the walk and hands over everything
    // queued. True once the walk has ended and nothing is left.
    bool Take(FoundBatch& batch, std::chrono::milliseconds tick) {
        std::unique_lock<std::mutex> hold(lock_);
        ready_.wait_for(hold, tick, [&] { return finished_ || files_.size() >= kBatch; });
        batch.swap(files_);
        room_.notify_one();
        return finished_;
    }

    uint64_t Found() const { return found_.load(std::memory_order_relaxed); }

private:
    static constexpr size_t kBatch = 512;
    // Two batches: when the output is the slower side, the files wait here, and a file of long
    // names and paths holds a few KiB.
    static constexpr size_t kLimit = 1024;

    std::mutex lock_;
    std::condition_variable ready_;
    std::condition_variable room_;
    FoundBatch files_;
    FoundBatch used_;
    std::atomic<uint64_t> found_{0};
    bool finished_ = false;
    bool abandoned_ = false;
};

// Hands found files to the queue a few dozen at a time rather than taking its lock for each.
class CliScanNotify : public FileScanNotify {
public:
    explicit CliScanNotify(FoundQueue& queue) : queue_(queue) {}
    void Found(std::unique_ptr<DeletedFileInfo> file) override {
        files_.push_back(std::move(file));
        if (files_.size() == kHandOver) queue_.Push(files_);
    }
    void Finished() override {
        queue_.Push(files_);
        queue_.Finish();
    }
    void Abandon() override { queue_.Abandon(); }

private:
    static constexpr size_t kHandOver = 64;

    FoundQueue& queue_;
    FoundBatch files_;
};

}  // namespace

ScanOutcome RunScanTask(const VolumeSource& source, const std::wstring& filter, uint64_t walked, Console& console,
                        FoundFileSink sink, const std::atomic<bool>* stop, RecoverabilityMode recoverability, bool traces,
                        unsigned threads) {
    FoundQueue queue;
    ProgressLine progress(walked);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

    ScanOutcome outcome;
    {
        FileScanTask task;
        task.SetNotify(std::make_unique<CliScanNotify>(queue));
        task.SetVolume(source);
        task.SetFilters(filter);
        task.SetRecoverability(recoverability);
        task.SetTraces(traces);
        task.SetParserThreads(threads);
        if (!task.Start()) {
            outcome.state = kScanFailed;
            return outcome;
        }
        FoundBatch batch;
        for (;;) {
            bool ended = queue.Take(batch, kProgressTick);
            for (const auto& file : batch) sink(*file);
            queue.GiveBack(batch);
            if (stop && (stop->load() || console.OutputLost())) task.Stop();
            // A refused volume reports no end of the walk: its state ends the wait.
            if (ended || task.GetState() == kScanFailed) break;
            if (task.GetState() == kScanRunning)
                console.Progress(progress.Text(task.GetProgress(), elapsed(), queue.Found()));
        }
        task.Wait();
        outcome.state = task.GetState();
        outcome.recycleBin = task.GetRecycleBinCounts();
        outcome.traces = task.GetTraceCounts();
    }
    console.ClearProgress();
    outcome.found = queue.Found();
    outcome.seconds = elapsed();
    return outcome;
}

}  // namespace Vorlaq
