#pragma once
// The main dialog's scan states as the user sees them (the Scan button's caption, whether the
// disk list and the pattern edit take input, whether the progress timer runs) and the decisions
// the dialog takes on its commands, messages and timer ticks. No window here: the dialog applies
// what this says.
#include <cstddef>
#include <cstdint>

namespace Vorlaq {

class MainDlgState {
public:
    enum class Phase { Idle, Scanning, Stopping };
    enum class ScanCommand { InvalidSelection, Cancel, StartNew };
    enum class TimerStep {
        ShowProgress,  // the task runs: show the bar at its progress
        Wait,          // the worker has not begun yet: keep ticking, bar hidden
        Stop,          // the task is no longer running: stop the timer, hide the bar
        Failed         // the task failed: as Stop, back to idle, and tell the user
    };

    // The Scan button: a selection outside the disk list is refused; a running task is asked to
    // stop; anything else starts a new scan.
    static ScanCommand OnScanPressed(int selection, size_t diskCount, bool taskRunning);
    // The window's close command asks first while a task runs.
    static bool MustAskBeforeClose(bool haveTask, bool taskRunning) { return haveTask && taskRunning; }

    void Started();          // Start() returned true
    void CancelRequested();  // Stop() was asked of the running task
    void Finished();         // FileScanFinished arrived
    TimerStep OnTimer(bool haveTask, int32_t taskState);

    Phase GetPhase() const { return phase_; }
    const wchar_t* ButtonText() const { return phase_ == Phase::Scanning ? L"Stop" : L"Scan"; }
    bool InputsEnabled() const { return phase_ != Phase::Scanning; }
    bool TimerOn() const { return timerOn_; }

private:
    Phase phase_ = Phase::Idle;
    bool timerOn_ = false;
};

}  // namespace Vorlaq
