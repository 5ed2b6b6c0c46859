#pragma once
// Small rules about cells: check-box values and images, and when a clipped cell gets a title
// tip and where it goes.
#include <string>

#include "listctrl/ListGeometry.h"

namespace Vorlaq {

// Images of the engine's strip.
enum ListImage : int {
    kImageSortUp = 0,
    kImageSortDown = 1,
    kImageUnchecked = 2,
    kImageChecked = 3,
    kImageCheckedGreen = 4,
    kImageCross = 5,
};

// The value of a cell's text as the check boxes read it ("1", "-1", "0"; anything else 0).
int CheckValue(const std::wstring& text);
// The text a click or Space writes into a check-box (format 4) or three-state (format 5) cell.
std::wstring ToggledCheckText(int format, const std::wstring& text);
// The strip image for a check-box or three-state cell, -1 for other formats.
int CheckImage(int format, const std::wstring& text);
// Cells that never get a title tip: check boxes and progress bars.
bool FormatAllowsTitleTip(int format);

// A cell's text wider than its text rectangle gets a tip: returns false when it fits, else the
// tip's window rectangle (client coordinates of the list; its margins grow with the DPI).
bool TitleTipRect(const ListRect& textRect, const ListRect& cellRect, int textWidth, int dpi, ListRect* tip);
// The title tip moved left until it ends on the monitor's work area, and cut at its right edge
// when it is wider than the whole area (its text then ends in an ellipsis).
ListRect KeepTipOnMonitor(const ListRect& tip, const ListRect& work);

// The red drop arrows window: 12 pixels wide, header height + 20 tall at 96 DPI (the arrows grow
// with the DPI), shaped as two arrows.
struct DropArrowsShape {
    static constexpr int kWidth = 12;
    static constexpr int kExtra = 20;
    ListPoint down[7];
    ListPoint up[7];
    int width = 0;
    int height = 0;
};
DropArrowsShape MakeDropArrowsShape(int headerHeight, int dpi);

}  // namespace Vorlaq
