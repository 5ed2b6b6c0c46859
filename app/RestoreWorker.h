#pragma once
// A restore's copies on a thread of their own, so that the window answers while a slow or failing
// disk is read: the window plans on its thread (PlanRestore), the worker copies (RunRestorePlan)
// and posts FileRestoreFinished when it has ended, however it ended; the window then takes the
// summary. Stop ends the copy between two reads; destroying the worker stops it and waits.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "app/RestoreFlow.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

class RestoreWorker {
public:
    RestoreWorker(HWND window, RestorePlan plan, VolumeSource scanned);
    ~RestoreWorker();
    RestoreWorker(const RestoreWorker&) = delete;
    RestoreWorker& operator=(const RestoreWorker&) = delete;

    void Stop() { stop_.store(true); }
    bool Stopping() const { return stop_.load(); }
    size_t Done() const { return done_.load(); }
    size_t Total() const { return plan_.files.size(); }
    // Once FileRestoreFinished has come: waits for the thread's last steps and says what became
    // of every file.
    std::wstring TakeSummary();

private:
    void Run();

    const HWND window_;
    const RestorePlan plan_;
    const VolumeSource scanned_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> abandoned_{false};  // no one waits for the end any more
    std::atomic<size_t> done_{0};
    std::vector<FileRestoreResult> results_;  // the thread's until it has ended
    std::thread thread_;
};

}  // namespace Vorlaq
