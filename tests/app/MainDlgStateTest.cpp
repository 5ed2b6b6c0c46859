// The main dialog's scan states: what the button says, whether the inputs take text, whether the
// progress timer runs, through starts, stops, ends, failures and timer ticks.
#include <gtest/gtest.h>

#include "app/MainDlgState.h"

using Vorlaq::MainDlgState;
using Phase = MainDlgState::Phase;
using Step = MainDlgState::TimerStep;
using Command = MainDlgState::ScanCommand;

namespace {

void ExpectShows(const MainDlgState& s, const wchar_t* button, bool inputs, bool timer)
{
    EXPECT_STREQ(button, s.ButtonText());
    EXPECT_EQ(inputs, s.InputsEnabled());
    EXPECT_EQ(timer, s.TimerOn());
}

}  // namespace

TEST(MainDlgState, ScanButtonRefusesASelectionOutsideTheDiskList)
{
    const MainDlgState s;
    EXPECT_EQ(Command::InvalidSelection, s.OnScanPressed(-1, 2, 0));  // CB_ERR: nothing chosen
    EXPECT_EQ(Command::InvalidSelection, s.OnScanPressed(2, 2, 0));
    EXPECT_EQ(Command::InvalidSelection, s.OnScanPressed(0, 0, 0));  // no drive qualified
    EXPECT_EQ(Command::StartNew, s.OnScanPressed(1, 2, 0));
}

TEST(MainDlgState, ThePressDoesWhatTheButtonReadWhenItWasPressed)
{
    MainDlgState s;
    s.Started();
    // "Stop" stops, whatever the worker is doing and whichever disk is selected.
    EXPECT_EQ(Command::Cancel, s.OnScanPressed(0, 2, 1000));
    EXPECT_EQ(Command::Cancel, s.OnScanPressed(-1, 2, 1000));
    EXPECT_TRUE(s.MustAskBeforeClose());

    // The scan ends at 5000 while a press made at 4990 (on "Stop") still waits in the queue.
    s.Finished(5000);
    EXPECT_FALSE(s.MustAskBeforeClose());
    EXPECT_EQ(Command::Ignore, s.OnScanPressed(0, 2, 4990));
    EXPECT_EQ(Command::StartNew, s.OnScanPressed(0, 2, 5000));
    EXPECT_EQ(Command::StartNew, s.OnScanPressed(0, 2, 7000));

    // A double press on "Stop": the first stops at 8000, the second (pressed at 7990) does nothing.
    s.Started();
    s.CancelRequested(8000);
    EXPECT_FALSE(s.MustAskBeforeClose());
    EXPECT_EQ(Command::Ignore, s.OnScanPressed(0, 2, 7990));
    // Ending a scan the user had stopped does not move the moment the button turned to "Scan".
    s.Finished(9000);
    EXPECT_EQ(Command::StartNew, s.OnScanPressed(0, 2, 8500));

    // The failure seen by the timer turns the button too; tick counts that wrapped still compare.
    s.Started();
    EXPECT_EQ(Step::Failed, s.OnTimer(true, 3, 5));
    EXPECT_EQ(Command::Ignore, s.OnScanPressed(0, 2, 0xFFFFFFF0u));
    EXPECT_EQ(Command::StartNew, s.OnScanPressed(0, 2, 6));
}

TEST(MainDlgState, ScanStopAndFinishFollowTheStateTable)
{
    MainDlgState s;
    ExpectShows(s, L"Scan", true, false);  // idle after initialisation

    s.Started();
    EXPECT_EQ(Phase::Scanning, s.GetPhase());
    ExpectShows(s, L"Stop", false, true);
    EXPECT_EQ(Step::ShowProgress, s.OnTimer(true, 1, 0));

    s.CancelRequested(0);
    EXPECT_EQ(Phase::Stopping, s.GetPhase());
    ExpectShows(s, L"Scan", true, true);  // the timer runs on until the task leaves "running"
    EXPECT_EQ(Step::ShowProgress, s.OnTimer(true, 1, 0));
    s.CancelRequested(0);  // a second press while the task still runs: another cancel, same look
    ExpectShows(s, L"Scan", true, true);

    EXPECT_EQ(Step::Stop, s.OnTimer(true, 2, 0));
    ExpectShows(s, L"Scan", true, false);
    s.Finished(0);
    EXPECT_EQ(Phase::Idle, s.GetPhase());
    ExpectShows(s, L"Scan", true, false);
}

TEST(MainDlgState, FinishedMessageEndsAScanWhoseTimerStillRuns)
{
    MainDlgState s;
    s.Started();
    s.Finished(0);
    ExpectShows(s, L"Scan", true, false);
}

TEST(MainDlgState, TimerBeforeTheWorkerBeganKeepsWaiting)
{
    MainDlgState s;
    s.Started();
    EXPECT_EQ(Step::Wait, s.OnTimer(true, 0, 0));
    EXPECT_TRUE(s.TimerOn());
    ExpectShows(s, L"Stop", false, true);
}

TEST(MainDlgState, TimerLeftFromAnEndedScanStopsOnANewTaskThatNeverStarted)
{
    // Start() failed for the new task while the old scan's timer was still on.
    MainDlgState s;
    s.Started();
    s.CancelRequested(0);
    EXPECT_EQ(Step::Stop, s.OnTimer(true, 0, 0));
    EXPECT_FALSE(s.TimerOn());
    EXPECT_EQ(Step::Stop, s.OnTimer(false, 0, 0));
}

TEST(MainDlgState, FailedTaskReturnsTheDialogToIdleAndIsReportedOnce)
{
    MainDlgState s;
    s.Started();
    EXPECT_EQ(Step::Failed, s.OnTimer(true, 3, 0));
    EXPECT_EQ(Phase::Idle, s.GetPhase());
    ExpectShows(s, L"Scan", true, false);
    // A tick that was already queued reports nothing more.
    EXPECT_EQ(Step::Stop, s.OnTimer(true, 3, 0));
}

TEST(MainDlgState, FailureSeenWhileStoppingIsStillReported)
{
    MainDlgState s;
    s.Started();
    s.CancelRequested(0);
    EXPECT_EQ(Step::Failed, s.OnTimer(true, 3, 0));
    ExpectShows(s, L"Scan", true, false);
}

TEST(MainDlgState, CloseAsksOnlyWhileTheButtonReadsStop)
{
    MainDlgState s;
    EXPECT_FALSE(s.MustAskBeforeClose());
    s.Started();
    EXPECT_TRUE(s.MustAskBeforeClose());
    s.CancelRequested(0);
    EXPECT_FALSE(s.MustAskBeforeClose());
}

TEST(MainDlgState, ADoubleClickStartsOnlyAndTheCountSaysWhenAScanWasStoppedOrLoggedErrors)
{
    MainDlgState s;
    s.Started(10000);
    EXPECT_EQ(Command::Ignore, s.OnScanPressed(0, 2, 10300, 500));  // the second click of a double-click
    EXPECT_EQ(Command::Cancel, s.OnScanPressed(0, 2, 10500, 500));
    EXPECT_EQ(L"37", s.CountText(37));  // while it runs: the rows alone

    s.Finished(11000, 0);
    EXPECT_EQ(L"37", s.CountText(37));
    s.Started(12000);
    s.Finished(13000, 17);
    EXPECT_EQ(L"40 (17 errors: see the log)", s.CountText(40));
    s.Started(14000);
    s.CancelRequested(14600);
    EXPECT_EQ(L"5", s.CountText(5));  // stopping: the worker has not ended yet
    s.Finished(15000, 0);
    EXPECT_EQ(L"5 (stopped)", s.CountText(5));
    s.Started(16000);
    s.CancelRequested(16600);
    s.Finished(17000, 2);
    EXPECT_EQ(L"6 (stopped; 2 errors: see the log)", s.CountText(6));
    s.Started(0xFFFFFF00u);  // the tick count wraps between the two clicks
    EXPECT_EQ(Command::Ignore, s.OnScanPressed(0, 2, 0x10, 500));
    EXPECT_EQ(L"0", s.CountText(0));
}
