#pragma once
// The two messages a scan posts to the main dialog, registered by name at static
// initialisation: FileScanFound (wParam: a DeletedFileInfo* whose ownership passes to the
// window, lParam 0) and FileScanFinished (both parameters 0).
#include <windows.h>

namespace Vorlaq {

extern const UINT FileScanFound;
extern const UINT FileScanFinished;

}  // namespace Vorlaq
