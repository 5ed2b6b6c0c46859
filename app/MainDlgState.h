#pragma once
// The main dialog's scan states as the user sees them (the Scan button's caption, whether the
// disk list and the pattern edit take input, whether the progress timer runs) and the decisions
// the dialog takes on its commands, messages and timer ticks. No window here: the dialog applies
// what this says.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Vorlaq {

class MainDlgState {
public:
    enum class Phase { Idle, Scanning, Stopping };
    enum class ScanCommand { InvalidSelection, Cancel, StartNew, Ignore };
    enum class TimerStep {
        ShowProgress,  // the task runs: show the bar at its progress
        Wait,          // the worker has not begun yet: keep ticking, bar hidden
        Stop,          // the task is no longer running: stop the timer, hide the bar
        Failed         // the task failed: as Stop, back to idle, and tell the user
    };

    // The Scan button, decided on what it read when the user pressed it (`pressTime`, the press's
    // message time, on the clock of `now` below): "Stop" stops the scan the user sees, whether or
    // not its worker has ended; a press made while it read "Stop" but handled after the scan
    // ended is ignored, never taken as the start of a new scan; so is a second press within
    // `doubleClickTime` of the one that started the scan (a double-click starts it, no more);
    // otherwise a selection outside the disk list is refused and anything else starts a new scan.
    ScanCommand OnScanPressed(int selection, size_t diskCount, uint32_t pressTime, uint32_t doubleClickTime = 0) const;
    // The window's close command asks first while the button reads "Stop".
    bool MustAskBeforeClose() const { return phase_ == Phase::Scanning; }

    void Started(uint32_t pressTime = 0);  // Start() returned true for the press at pressTime
    void CancelRequested(uint32_t now);    // the user stopped the scan
    // FileScanFinished arrived; `errors` lines the scan logged at the error level.
    void Finished(uint32_t now, uint64_t errors = 0);
    // The count label: the rows listed, and once the scan has ended, whether it was stopped and
    // how many errors it logged ("1234 (stopped; 17 errors: see the log)").
    std::wstring CountText(int rows) const;
    TimerStep OnTimer(bool haveTask, int32_t taskState, uint32_t now);

    Phase GetPhase() const { return phase_; }
    const wchar_t* ButtonText() const { return phase_ == Phase::Scanning ? L"Stop" : L"Scan"; }
    bool InputsEnabled() const { return phase_ != Phase::Scanning; }
    bool TimerOn() const { return timerOn_; }

private:
    void LeaveScanning(Phase next, uint32_t now);

    Phase phase_ = Phase::Idle;
    bool timerOn_ = false;
    bool stopShown_ = false;     // the button has read "Stop" since the program started
    uint32_t scanShownAt_ = 0;   // when it last turned from "Stop" to "Scan"
    uint32_t startPressedAt_ = 0;  // the press that started the scan
    bool stopped_ = false;       // the last scan ended because the user stopped it
    uint64_t errors_ = 0;        // error lines the last scan logged, once it ended
};

}  // namespace Vorlaq
