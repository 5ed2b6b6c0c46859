#include "app/MainDlgState.h"

namespace Vorlaq {

namespace {
// The scan task's states.
constexpr int32_t kTaskNotStarted = 0;
constexpr int32_t kTaskRunning = 1;
constexpr int32_t kTaskFailed = 3;
}  // namespace

MainDlgState::ScanCommand MainDlgState::OnScanPressed(int selection, size_t diskCount, bool taskRunning)
{
    if (selection < 0 || static_cast<size_t>(selection) >= diskCount)
        return ScanCommand::InvalidSelection;
    return taskRunning ? ScanCommand::Cancel : ScanCommand::StartNew;
}

void MainDlgState::Started()
{
    phase_ = Phase::Scanning;
    timerOn_ = true;
}

void MainDlgState::CancelRequested()
{
    // The timer keeps running until the task leaves the running state.
    phase_ = Phase::Stopping;
}

void MainDlgState::Finished()
{
    phase_ = Phase::Idle;
    timerOn_ = false;
}

MainDlgState::TimerStep MainDlgState::OnTimer(bool haveTask, int32_t taskState)
{
    if (haveTask && taskState == kTaskRunning)
        return TimerStep::ShowProgress;
    // A worker that has not set its first state yet belongs to the scan we started.
    if (haveTask && taskState == kTaskNotStarted && phase_ == Phase::Scanning)
        return TimerStep::Wait;
    timerOn_ = false;
    if (haveTask && taskState == kTaskFailed && phase_ != Phase::Idle) {
        // A failed task posts no FileScanFinished: nothing else would bring the dialog back.
        phase_ = Phase::Idle;
        return TimerStep::Failed;
    }
    return TimerStep::Stop;
}

}  // namespace Vorlaq
