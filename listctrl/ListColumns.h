#pragma once
// The list's columns in display order: their records, x positions, header hit testing with the
// divider rule, and moving a column by header drag and drop.
#include <string>
#include <vector>

namespace Vorlaq {

// Cell formats of a column (the derived class may refine them per cell).
enum ListCellFormat : int {
    kFormatText = 0,
    kFormatEdit = 1,
    kFormatDate = 2,
    kFormatCombo = 3,
    kFormatCheckBox = 4,
    kFormatTriState = 5,
    kFormatHyperlink = 6,
    kFormatProgress = 7,
    kFormatButton = 8,
    kFormatHyperlinkIfText = 9,
    kFormatCustom = 10,
};

enum ListColumnFlags : unsigned {
    kFlagRight = 2,
    kFlagCentre = 4,
    kFlagReadOnly = 8,
    kFlagDateOnly = 0x400,
    kFlagTimeOnly = 0x800,
};

struct ListColumn {
    std::wstring title;
    int width = 0;       // pixels; 0 hides the column
    bool fixed = false;  // no resizing, fitting or sort marker
    int format = kFormatText;
    unsigned flags = 0;
    int image = -1;      // header image in the engine's strip, -1 none
    int index = 0;       // identity: cells are asked for by this, whatever the display order
};

// Where a header point lies: on a column, or on the divider that resizes a column.
struct HeaderHit {
    int column = -1;    // display position
    bool divider = false;
};

class ListColumns {
public:
    // Appends a column and returns its display position. An untitled column with an image is
    // made as wide as the image plus 5 and centred.
    int Add(const std::wstring& title, int width, int image, bool fixed, int format, unsigned flags,
            int imageWidth);

    int Count() const { return static_cast<int>(columns_.size()); }
    const ListColumn* At(int position) const;
    ListColumn* At(int position);
    // The display position of the column with this identity, -1 if none.
    int PositionOf(int index) const;
    bool SetWidth(int position, int width);

    // Left and right edge of a column in unscrolled pixels (right = left + width).
    int Left(int position) const;
    int Right(int position) const { return Left(position) + (At(position) ? At(position)->width : 0); }
    // Sum of the widths minus 1, cached until a width or the set of columns changes.
    int TotalWidth() const;
    void RecalculateTotalWidth() { totalValid_ = false; }

    // x in unscrolled pixels.
    HeaderHit HitTestHeader(int x) const;
    // The column whose edges strictly enclose x, -1 if none.
    int ColumnAt(int x) const;
    // Where a dragged column would go for a drop at x: the position before which it is put,
    // -1 when dropping there moves nothing (its own place or just right of it).
    int DropPosition(int x, int dragged) const;
    // Moves the column at `from` before `dropPosition` (as DropPosition gives it). False when
    // nothing moves.
    bool Move(int from, int dropPosition);

private:
    std::vector<ListColumn> columns_;
    mutable int totalWidth_ = 0;
    mutable bool totalValid_ = false;
};

}  // namespace Vorlaq
