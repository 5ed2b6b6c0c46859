#pragma once
// The one-line scan progress quorret-cli rewrites on a terminal, and its time-left estimate.
#include <cstdint>
#include <string>

namespace Vorlaq {

class ProgressLine {
public:
    // `records` is the number of records the walk visits (from 16 to the end of the MFT).
    explicit ProgressLine(uint64_t records) : records_(records) {}

    // The line for `percent` of the walk done after `seconds`, with `found` files so far:
    // "  42.0%   183211 records/s   1520 files found   0:03 left". The rate and the time left are
    // averages over the whole walk so far: a deleted file costs more than a record in use, and
    // such files cluster, so a short window would swing; until a second has passed, or while
    // nothing has been walked, the estimate shows "--:--".
    std::wstring Text(double percent, double seconds, uint64_t found) const;

    // "m:ss", or "h:mm:ss" from an hour on; "--:--" for no meaningful value.
    static std::wstring DurationText(double seconds);

private:
    uint64_t records_;
};

}  // namespace Vorlaq
