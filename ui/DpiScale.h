#pragma once
// Pixel sizes given for 96 dots per inch, at another DPI (plain arithmetic, for portable code too).

namespace Vorlaq {

constexpr int kBaseDpi = 96;

// Rounded to the nearest pixel.
constexpr int ScaleForDpi(int pixels, int dpi)
{
    return (pixels * dpi + (pixels >= 0 ? kBaseDpi / 2 : -kBaseDpi / 2)) / kBaseDpi;
}

}  // namespace Vorlaq
