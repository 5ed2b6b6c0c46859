#include "listctrl/SmoothScroll.h"

#include <algorithm>
#include <cstdlib>

namespace Vorlaq {

bool SmoothScroll::Start(int rowsMoved, int rowHeight)
{
    const int rows = std::abs(rowsMoved);
    if (rows == 0 || rowHeight <= 0) {
        Stop();
        return false;
    }
    down_ = rowsMoved > 0;
    distance_ = rows * rowHeight;
    steps_ = std::clamp(rows, 4, 8);
    step_ = (distance_ - steps_) / steps_;
    remaining_ = distance_;
    running_ = true;
    return true;
}

int SmoothScroll::Tick()
{
    if (!running_)
        return 0;
    if (remaining_ > steps_ && step_ > 0) {
        // Large steps until only the step count is left (never below it), then single pixels.
        remaining_ = std::max(remaining_ - step_, steps_);
    } else {
        --remaining_;
    }
    if (remaining_ <= 0) {
        remaining_ = 0;
        running_ = false;
    }
    return remaining_;
}

}  // namespace Vorlaq
