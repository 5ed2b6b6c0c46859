#include "listctrl/CellRules.h"

#include <algorithm>

#include "listctrl/ListColumns.h"

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

bool TitleTipRect(const ListRect& textRect, const ListRect& cellRect, int textWidth, ListRect* tip)
{
    if (textWidth <= textRect.Width() - 1)
        return false;
    tip->left = textRect.left - 4;
    tip->top = cellRect.top;
    tip->right = tip->left + textWidth + 11;
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

DropArrowsShape MakeDropArrowsShape(int headerHeight)
{
    DropArrowsShape shape;
    const int h = headerHeight + DropArrowsShape::kExtra;
    shape.height = h;
    const ListPoint down[7] = {{8, 0}, {8, 4}, {11, 4}, {6, 9}, {1, 4}, {4, 4}, {4, 0}};
    const ListPoint up[7] = {{4, h}, {4, h - 4}, {0, h - 4}, {6, h - 10}, {12, h - 4}, {8, h - 4}, {8, h}};
    for (int i = 0; i < 7; ++i) {
        shape.down[i] = down[i];
        shape.up[i] = up[i];
    }
    return shape;
}

}  // namespace Vorlaq
