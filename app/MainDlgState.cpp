#include "app/MainDlgState.h"

#include "base/WideFormat.h"

namespace Vorlaq {

namespace {
// The scan task's states.
constexpr int32_t kTaskNotStarted = 0;
constexpr int32_t kTaskRunning = 1;
constexpr int32_t kTaskFailed = 3;
}  // namespace

MainDlgState::ScanCommand MainDlgState::OnScanPressed(int selection, size_t diskCount, uint32_t pressTime,
                                                      uint32_t doubleClickTime) const
{
    // Tick counts wrap after 49 days: compare their difference.
    if (phase_ == Phase::Scanning && pressTime - startPressedAt_ < doubleClickTime)
        return ScanCommand::Ignore;
    if (phase_ == Phase::Scanning)
        return ScanCommand::Cancel;
    if (stopShown_ && static_cast<int32_t>(pressTime - scanShownAt_) < 0)
        return ScanCommand::Ignore;
    if (selection < 0 || static_cast<size_t>(selection) >= diskCount)
        return ScanCommand::InvalidSelection;
    return ScanCommand::StartNew;
}

void MainDlgState::Started(uint32_t pressTime)
{
    phase_ = Phase::Scanning;
    timerOn_ = true;
    startPressedAt_ = pressTime;
    stopped_ = false;
    errors_ = 0;
}

void MainDlgState::LeaveScanning(Phase next, uint32_t now)
{
    if (phase_ == Phase::Scanning) {
        stopShown_ = true;
        scanShownAt_ = now;
    }
    phase_ = next;
}

void MainDlgState::CancelRequested(uint32_t now)
{
    // The timer keeps running until the task leaves the running state.
    LeaveScanning(Phase::Stopping, now);
}

void MainDlgState::Finished(uint32_t now, uint64_t errors)
{
    stopped_ = phase_ == Phase::Stopping;
    errors_ = errors;
    LeaveScanning(Phase::Idle, now);
    timerOn_ = false;
}

std::wstring MainDlgState::CountText(int rows) const
{
    std::wstring text = FormatWide(L"%d", rows);
    if (phase_ != Phase::Idle || (!stopped_ && errors_ == 0))
        return text;
    text += stopped_ ? L" (stopped" : L" (";
    if (errors_ != 0)
        text += FormatWide(stopped_ ? L"; %I64u errors: see the log" : L"%I64u errors: see the log", errors_);
    return text + L")";
}

MainDlgState::TimerStep MainDlgState::OnTimer(bool haveTask, int32_t taskState, uint32_t now)
{
    if (haveTask && taskState == kTaskRunning)
        return TimerStep::ShowProgress;
    // A worker that has not set its first state yet belongs to the scan we started.
    if (haveTask && taskState == kTaskNotStarted && phase_ == Phase::Scanning)
        return TimerStep::Wait;
    timerOn_ = false;
    if (haveTask && taskState == kTaskFailed && phase_ != Phase::Idle) {
        // A failed task posts no FileScanFinished: nothing else would bring the dialog back.
        LeaveScanning(Phase::Idle, now);
        return TimerStep::Failed;
    }
    return TimerStep::Stop;
}

}  // namespace Vorlaq
