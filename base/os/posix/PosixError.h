#pragma once
#include <cstdint>

namespace Vorlaq {
// errno to the Windows error code that names the same failure.
uint32_t WinErrorFromErrno(int err);
}
