#pragma once
// A dialog's layout at another DPI: the controls' rectangles and the dialog font are taken as the
// template made them, and laid out again in proportion when the dialog moves to a monitor of
// another DPI. Static labels that their text outgrows (text does not widen exactly with the DPI)
// are widened up to the next control on their line.
#include <windows.h>

#include <vector>

namespace Vorlaq {

class DialogDpiLayout {
public:
    ~DialogDpiLayout();

    // Takes the controls' places and the font of the dialog as made at `dpi`.
    void Capture(HWND dialog, int dpi);
    // Moves and resizes the controls, and gives them the font, for `dpi`.
    void Apply(int dpi);
    // Widens every left-aligned label whose text is wider than the label, as far as the next
    // control to its right on the same line (or the dialog's edge) allows.
    static void FitLabels(HWND dialog);

private:
    struct Placed {
        HWND control;
        RECT rect;  // client coordinates of the dialog
    };
    HWND dialog_ = nullptr;
    int dpi_ = 96;
    HFONT templateFont_ = nullptr;  // the dialog's, not ours
    HFONT scaledFont_ = nullptr;    // ours, for a DPI other than the template's
    std::vector<Placed> controls_;
};

}  // namespace Vorlaq
