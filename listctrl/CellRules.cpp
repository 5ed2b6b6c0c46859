#include "listctrl/CellRules.h"

#include <algorithm>

#include "listctrl/ListColumns.h"
#include "ui/DpiScale.h"

namespace Vorlaq {

int CheckValue(const std::wstring& text)
{
    // Like atoi: optional sign and leading digits, anything else stops; bounded so no overflow.
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = std::min(value * 10 + (text[i] - L'0'), 1000000000LL);
    return static_cast<int>(negative ? -value : value);
}

std::wstring ToggledCheckText(int format, const std::wstring& text)
{
    const int value = CheckValue(text);
    if (format == kFormatTriState)
        return value == 0 ? L"1" : (value > 0 ? L"-1" : L"0");
    return value <= 0 ? L"1" : L"0";
}

int CheckImage(int format, const std::wstring& text)
{
    if (format == kFormatCheckBox)
        return text == L"1" ? kImageChecked : kImageUnchecked;
    if (format == kFormatTriState) {
        const int value = CheckValue(text);
        return value == 0 ? kImageUnchecked : (value > 0 ? kImageCheckedGreen : kImageCross);
    }
    return -1;
}

bool FormatAllowsTitleTip(int format)
{
    return format != kFormatCheckBox && format != kFormatTriState && format != kFormatProgress;
}

bool TitleTipRect(const ListRect& textRect, const ListRect& cellRect, int textWidth, int dpi, ListRect* tip)
{
    if (textWidth <= textRect.Width() - 1)
        return false;
    tip->left = textRect.left - ScaleForDpi(4, dpi);
    tip->top = cellRect.top;
    tip->right = tip->left + textWidth + ScaleForDpi(11, dpi);
    tip->bottom = cellRect.bottom;
    return true;
}

ListRect KeepTipOnMonitor(const ListRect& tip, const ListRect& work)
{
    ListRect kept = tip;
    if (kept.right > work.right) {
        const int shift = kept.right - work.right < kept.left - work.left ? kept.right - work.right
                                                                          : kept.left - work.left;
        if (shift > 0) {
            kept.left -= shift;
            kept.right -= shift;
        }
    }
    if (kept.left < work.left)
        kept.left = work.left;
    if (kept.right > work.right)
        kept.right = work.right;
    return kept;
}

DropArrowsShape MakeDropArrowsShape(int headerHeight, int dpi)
{
    DropArrowsShape shape;
    const int h = headerHeight + ScaleForDpi(DropArrowsShape::kExtra, dpi);
    shape.width = ScaleForDpi(DropArrowsShape::kWidth, dpi);
    shape.height = h;
    // At 96 DPI; the up arrow's y from the bottom edge.
    const ListPoint down[7] = {{8, 0}, {8, 4}, {11, 4}, {6, 9}, {1, 4}, {4, 4}, {4, 0}};
    const ListPoint up[7] = {{4, 0}, {4, 4}, {0, 4}, {6, 10}, {12, 4}, {8, 4}, {8, 0}};
    for (int i = 0; i < 7; ++i) {
        shape.down[i] = {ScaleForDpi(down[i].x, dpi), ScaleForDpi(down[i].y, dpi)};
        shape.up[i] = {ScaleForDpi(up[i].x, dpi), h - ScaleForDpi(up[i].y, dpi)};
    }
    return shape;
}

}  // namespace Vorlaq
