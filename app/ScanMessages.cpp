#include "app/ScanMessages.h"

namespace Vorlaq {

const UINT FileScanFound = ::RegisterWindowMessageW(L"FileScanFound");
const UINT FileScanFinished = ::RegisterWindowMessageW(L"FileScanFinished");

}  // namespace Vorlaq
