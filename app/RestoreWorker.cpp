#include "app/RestoreWorker.h"

#include <utility>

#include "app/EngineRestoreCopier.h"
#include "app/ScanMessages.h"
#include "scan/PostRetry.h"

namespace Vorlaq {

RestoreWorker::RestoreWorker(HWND window, RestorePlan plan, VolumeSource scanned)
    : window_(window), plan_(std::move(plan)), scanned_(std::move(scanned)), thread_([this] { Run(); })
{
}

RestoreWorker::~RestoreWorker()
{
    abandoned_.store(true);
    stop_.store(true);
    if (thread_.joinable())
        thread_.join();
}

void RestoreWorker::Run()
{
    EngineRestoreCopier copier(scanned_, &stop_);
    results_ = RunRestorePlan(plan_, copier, &stop_, &done_);
    PostUntilAccepted([this] { return ::PostMessageW(window_, FileRestoreFinished, 0, 0) != FALSE; },
                      [this] { return ::IsWindow(window_) != FALSE; }, abandoned_);
}

std::wstring RestoreWorker::TakeSummary()
{
    if (thread_.joinable())
        thread_.join();
    return RestoreSummary(plan_, results_);
}

}  // namespace Vorlaq
