#pragma once
// The process's run sequence on its main (and only user-interface) thread: message loop, folders,
// single-instance guard, log file and sinks, the main dialog, and the loop until it quits.
namespace Vorlaq {

constexpr const wchar_t* kAppTitle = L"Vorlaq Quorret";
constexpr const wchar_t* kInstanceMutexName = L"VorlaqQuorret";
constexpr int kExitAnotherInstance = -1;
constexpr int kExitNoWindow = 0;

// Returns the exit code: the dialog's quit code (2), -1 when another copy runs, 0 when the window
// could not be made. An exception of the standard family may escape to the caller.
int RunApplication(int showCommand);

}  // namespace Vorlaq
