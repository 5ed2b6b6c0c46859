#include "cli/ScanRunner.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cli/ProgressLine.h"
#include "scan/FileScanTask.h"

namespace Vorlaq {

namespace {

constexpr auto kProgressTick = std::chrono::milliseconds(250);
constexpr uint64_t kFirstUserRecord = 16;

// Counts and forwards found files; wakes the waiting thread when the walk has ended.
class CliScanNotify : public FileScanNotify {
public:
    CliScanNotify(FoundFileSink sink, std::atomic<uint64_t>& found, std::mutex& lock, std::condition_variable& ended,
                  bool& finished)
        : sink_(std::move(sink)), found_(found), lock_(lock), ended_(ended), finished_(finished) {}

    void Found(std::unique_ptr<DeletedFileInfo> file) override {
        found_.fetch_add(1, std::memory_order_relaxed);
        sink_(std::move(file));
    }

    void Finished() override {
        std::lock_guard<std::mutex> hold(lock_);
        finished_ = true;
        ended_.notify_all();
    }

private:
    FoundFileSink sink_;
    std::atomic<uint64_t>& found_;
    std::mutex& lock_;
    std::condition_variable& ended_;
    bool& finished_;
};

}  // namespace

ScanOutcome RunScanTask(const VolumeSource& source, const std::wstring& filter, uint64_t records, Console& console,
                        FoundFileSink sink) {
    std::atomic<uint64_t> found{0};
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    ProgressLine progress(records > kFirstUserRecord ? records - kFirstUserRecord : 0);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

    ScanOutcome outcome;
    {
        FileScanTask task;
        task.SetNotify(std::make_unique<CliScanNotify>(std::move(sink), found, lock, ended, finished));
        task.SetVolume(source);
        task.SetFilters(filter);
        if (!task.Start()) {
            outcome.state = kScanFailed;
            return outcome;
        }
        // A refused volume posts no Finished: the state, polled on every tick, ends the wait then.
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            ended.wait_for(hold, kProgressTick, [&] { return finished; });
            int32_t state = task.GetState();
            if (finished || state == kScanFinished || state == kScanFailed) break;
            if (state == kScanRunning) console.Progress(progress.Text(task.GetProgress(), elapsed(), found.load()));
        }
        hold.unlock();
        task.Wait();
        outcome.state = task.GetState();
    }
    console.ClearProgress();
    outcome.found = found.load();
    outcome.seconds = elapsed();
    return outcome;
}

}  // namespace Vorlaq
