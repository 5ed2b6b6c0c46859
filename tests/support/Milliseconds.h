#pragma once
// The benchmarks' clock: the performance counter in milliseconds (Windows programs only).
#include <windows.h>

namespace QuorretTest {

inline double Now()
{
    static LARGE_INTEGER frequency{};
    if (frequency.QuadPart == 0)
        ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace QuorretTest
