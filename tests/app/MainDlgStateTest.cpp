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
    EXPECT_EQ(Command::InvalidSelection, MainDlgState::OnScanPressed(-1, 2, false));  // CB_ERR: nothing chosen
    EXPECT_EQ(Command::InvalidSelection, MainDlgState::OnScanPressed(2, 2, false));
    EXPECT_EQ(Command::InvalidSelection, MainDlgState::OnScanPressed(0, 0, false));  // no drive qualified
    EXPECT_EQ(Command::StartNew, MainDlgState::OnScanPressed(1, 2, false));
    EXPECT_EQ(Command::Cancel, MainDlgState::OnScanPressed(0, 2, true));
}

TEST(MainDlgState, ScanStopAndFinishFollowTheStateTable)
{
    MainDlgState s;
    ExpectShows(s, L"Scan", true, false);  // idle after initialisation

    s.Started();
    EXPECT_EQ(Phase::Scanning, s.GetPhase());
    ExpectShows(s, L"Stop", false, true);
    EXPECT_EQ(Step::ShowProgress, s.OnTimer(true, 1));

    s.CancelRequested();
    EXPECT_EQ(Phase::Stopping, s.GetPhase());
    ExpectShows(s, L"Scan", true, true);  // the timer runs on until the task leaves "running"
    EXPECT_EQ(Step::ShowProgress, s.OnTimer(true, 1));
    s.CancelRequested();  // a second press while the task still runs: another cancel, same look
    ExpectShows(s, L"Scan", true, true);

    EXPECT_EQ(Step::Stop, s.OnTimer(true, 2));
    ExpectShows(s, L"Scan", true, false);
    s.Finished();
    EXPECT_EQ(Phase::Idle, s.GetPhase());
    ExpectShows(s, L"Scan", true, false);
}

TEST(MainDlgState, FinishedMessageEndsAScanWhoseTimerStillRuns)
{
    MainDlgState s;
    s.Started();
    s.Finished();
    ExpectShows(s, L"Scan", true, false);
}

TEST(MainDlgState, TimerBeforeTheWorkerBeganKeepsWaiting)
{
    MainDlgState s;
    s.Started();
    EXPECT_EQ(Step::Wait, s.OnTimer(true, 0));
    EXPECT_TRUE(s.TimerOn());
    ExpectShows(s, L"Stop", false, true);
}

TEST(MainDlgState, TimerLeftFromAnEndedScanStopsOnANewTaskThatNeverStarted)
{
    // Start() failed for the new task while the old scan's timer was still on.
    MainDlgState s;
    s.Started();
    s.CancelRequested();
    EXPECT_EQ(Step::Stop, s.OnTimer(true, 0));
    EXPECT_FALSE(s.TimerOn());
    EXPECT_EQ(Step::Stop, s.OnTimer(false, 0));
}

TEST(MainDlgState, FailedTaskReturnsTheDialogToIdleAndIsReportedOnce)
{
    MainDlgState s;
    s.Started();
    EXPECT_EQ(Step::Failed, s.OnTimer(true, 3));
    EXPECT_EQ(Phase::Idle, s.GetPhase());
    ExpectShows(s, L"Scan", true, false);
    // A tick that was already queued reports nothing more.
    EXPECT_EQ(Step::Stop, s.OnTimer(true, 3));
}

TEST(MainDlgState, FailureSeenWhileStoppingIsStillReported)
{
    MainDlgState s;
    s.Started();
    s.CancelRequested();
    EXPECT_EQ(Step::Failed, s.OnTimer(true, 3));
    ExpectShows(s, L"Scan", true, false);
}

TEST(MainDlgState, CloseAsksOnlyWhileATaskRuns)
{
    EXPECT_FALSE(MainDlgState::MustAskBeforeClose(false, false));
    EXPECT_FALSE(MainDlgState::MustAskBeforeClose(true, false));
    EXPECT_TRUE(MainDlgState::MustAskBeforeClose(true, true));
}
