#include "app/ScanMessages.h"

namespace Vorlaq {

const UINT FileScanFound = ::RegisterWindowMessageW(L"FileScanFound");
const UINT FileScanFinished = ::RegisterWindowMessageW(L"FileScanFinished");
const UINT FileRestoreFinished = ::RegisterWindowMessageW(L"FileRestoreFinished");

}  // namespace Vorlaq
