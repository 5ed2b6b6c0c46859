#pragma once
// The messages a scan and a restore post to the main dialog, registered by name at static
// initialisation: FileScanFound (found files wait in the scan's hand-over box; both parameters
// 0), FileScanFinished and FileRestoreFinished (both parameters 0).
#include <windows.h>

namespace Vorlaq {

extern const UINT FileScanFound;
extern const UINT FileScanFinished;
extern const UINT FileRestoreFinished;

}  // namespace Vorlaq
