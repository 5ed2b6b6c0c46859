#pragma once
// The browser's link colours are stored per user as texts "red,green,blue" of decimal numbers.
#include <cstdint>
#include <string>

namespace Vorlaq {

struct RgbColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Three numbers from 0 to 255 separated by commas, blanks around each allowed; false (and
// `colour` untouched) for anything else.
bool ParseRgbText(const std::wstring& text, RgbColour* colour);

}  // namespace Vorlaq
