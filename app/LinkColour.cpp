#include "app/LinkColour.h"

#include "scan/TextUtils.h"

namespace Vorlaq {

namespace {

bool ParseComponent(std::wstring text, uint8_t* value)
{
    TrimLeft(text, WhitespaceChars());
    TrimRight(text, WhitespaceChars());
    if (text.empty() || text.size() > 3)
        return false;
    unsigned number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        number = number * 10 + static_cast<unsigned>(c - L'0');
    }
    if (number > 255)
        return false;
    *value = static_cast<uint8_t>(number);
    return true;
}

}  // namespace

bool ParseRgbText(const std::wstring& text, RgbColour* colour)
{
    const std::vector<std::wstring> parts = SplitString(text, L",", true);
    RgbColour parsed;
    if (parts.size() != 3 || !ParseComponent(parts[0], &parsed.red) || !ParseComponent(parts[1], &parsed.green)
        || !ParseComponent(parts[2], &parsed.blue))
        return false;
    *colour = parsed;
    return true;
}

}  // namespace Vorlaq
