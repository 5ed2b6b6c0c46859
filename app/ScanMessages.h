#pragma once
// The two messages a scan posts to the main dialog, registered by name at static
// initialisation: FileScanFound (found files wait in the scan's hand-over box; both parameters
// 0) and FileScanFinished (both parameters 0).
#include <windows.h>

namespace Vorlaq {

extern const UINT FileScanFound;
extern const UINT FileScanFinished;

}  // namespace Vorlaq
