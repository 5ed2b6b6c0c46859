#pragma once
// The list engine's window: owner-drawn header and rows, scrolling, selection, keyboard,
// title tips, column resizing and header drag and drop, in-place editors, notifications. It
// keeps no rows: every row question goes to the derived class through ListRowSource, which
// CListImpl<T> fills with T's own functions. The arithmetic lives in the portable classes
// (ListColumns, ListSelection, ListScroll, SmoothScroll, TypeAhead, SortState); this class turns
// messages into calls on them and paints what they say.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <memory>
#include <string>
#include <vector>

#include "listctrl/ListColumns.h"
#include "listctrl/ListGesture.h"
#include "listctrl/ListNotify.h"
#include "listctrl/ListScroll.h"
#include "listctrl/ListSelection.h"
#include "listctrl/SmoothScroll.h"
#include "listctrl/SortState.h"
#include "listctrl/TypeAhead.h"
#include "ui/DpiScale.h"
#include "ui/WindowImpl.h"

namespace Vorlaq {

class CTitleTip;
class CDropArrows;
class CListEdit;
class CListCombo;
class CListDate;

// Resources the engine loads from the module: the image strip at 16, 24 and 32 pixels, and cursors.
constexpr int kListImagesBitmap = 204;
constexpr int kListImagesBitmap24 = 205;
constexpr int kListImagesBitmap32 = 206;
constexpr int kDividerCursor = 202;
constexpr int kHyperlinkCursor = 203;

// The derived class's row functions, reached without virtual calls (see CListImpl).
struct ListRowSource {
    void* self = nullptr;
    int (*count)(void* self) = nullptr;
    std::wstring (*text)(void* self, int row, int column) = nullptr;
    int (*image)(void* self, int row, int column) = nullptr;
    int (*format)(void* self, int row, int column) = nullptr;
    unsigned (*flags)(void* self, int row, int column) = nullptr;
    bool (*colours)(void* self, int row, int column, COLORREF* background, COLORREF* text) = nullptr;
    // A small round mark in `colour` before the cell's text; false for none.
    bool (*mark)(void* self, int row, int column, COLORREF* colour) = nullptr;
    std::wstring (*toolTip)(void* self, int row, int column) = nullptr;
    void (*sort)(void* self, int column, bool ascending) = nullptr;
    void (*reverse)(void* self) = nullptr;
    bool (*setText)(void* self, int row, int column, const std::wstring& text) = nullptr;
    bool (*setDate)(void* self, int row, int column, const SYSTEMTIME& date) = nullptr;
    std::vector<std::wstring> (*comboItems)(void* self, int row, int column) = nullptr;
    void (*beginDrag)(void* self) = nullptr;
    // Ctrl+C: the selected rows to the clipboard.
    void (*copy)(void* self) = nullptr;
    bool (*setUp)(void* self) = nullptr;
};

struct ListColours {
    COLORREF background, headerBackground, headerHighlight, headerShadow, headerText;
    COLORREF headerPressed, selected, selectedText, rowText;
    COLORREF frameOuterFocus, frameInnerFocus, gradientTopFocus, gradientBottomFocus;
    COLORREF gradientTopNoFocus, gradientBottomNoFocus, frameOuterNoFocus, frameInnerNoFocus;
    COLORREF focusCellTop, focusCellBottom, progressFrom, progressTo, classicTint, hyperlink;
};

class ListEngine : public WindowImplRoot {
public:
    explicit ListEngine(const ListRowSource& rows);
    ~ListEngine() override;

    // Loads images, cursors and settings, adjusts the window's styles, creates the title tip,
    // drop arrows and tooltip control. False when one of them cannot be made.
    bool Initialise();

    int AddColumn(const std::wstring& title, int width, int image = -1, bool fixed = false,
                  int format = kFormatText, unsigned flags = 0);
    bool SetColumnWidth(int position, int width);
    // Recomputes the bars in `bars` (SB_HORZ, SB_VERT or SB_BOTH); a position >= 0 is set too.
    void ResetScrollBars(int bars = SB_BOTH, int position = -1, bool recalc = true);
    void EnableSort(bool on);
    // The derived class's image list for row images (the list does not own it).
    void SetItemImageList(HIMAGELIST images) { itemImages_ = images; }
    // The image strip drawn for this DPI (the largest whose images are no wider than 16 pixels
    // grown by the DPI), magenta transparent; null when it cannot be loaded.
    static HIMAGELIST LoadImageStrip(int dpi);

    // The DPI the list draws at. Before Initialise it is taken from the window; a new DPI (the
    // window moved to another monitor) scales the column widths and reloads the fonts and images.
    int Dpi() const { return dpi_; }
    void SetDpi(int dpi);

    bool SelectItem(int row, int column, unsigned keys);
    bool GetSelectedRows(std::vector<int>& rows) const;
    void ClearSelection();
    // Empties the selected set only; anchor, focus and sort stay (the rows were replaced).
    void ClearSelectedRows();
    // The owner moved its rows: row r is now row moved[r]; the selection follows its rows.
    void MoveSelectedRows(const std::vector<int>& moved);
    // The rows were replaced: the header shows no sort marker, and the next click sorts afresh.
    void ForgetSort();
    void SortColumn(int position);
    bool NotifyParent(int row, int column, int code, int exitKey = 0, const wchar_t* text = nullptr,
                      const SYSTEMTIME* date = nullptr);
    // Scrolls so the row (and in focus-cell mode the column) is fully visible.
    void EnsureVisible(int row, int column);
    // Widest text of the column (title and all rows) plus 20 and the image width.
    bool FitColumn(int position);

    // Settings.
    void ShowHeader(bool on);
    void SetThemed(bool on);
    void SetSingleSelection(bool on) { selection_.SetSingleSelection(on); }
    void SetFocusCellMode(bool on) { focusCellMode_ = on; }
    void EnableHorizontalScroll(bool on);
    void EnableVerticalScroll(bool on);
    void SetRowDrag(bool on) { rowDrag_ = on; }
    void SetSmoothScroll(bool on) { smoothOn_ = on; }
    void SetBackgroundImage(HBITMAP bitmap, bool tile);

    // State, for the derived class and tests.
    const ListColumns& Columns() const { return columns_; }
    const ListSelection& Selection() const { return selection_; }
    const ListScroll& Scroll() const { return scroll_; }
    const SortState& Sort() const { return sort_; }
    int RowHeight() const { return rowHeight_; }
    int ImageWidth() const { return imageWidth_; }
    int HeaderHeight() const { return showHeader_ ? rowHeight_ : 0; }
    bool IsThemed() const { return theme_ != nullptr; }
    bool IsSmoothScrolling() const { return smooth_.Running(); }
    int PressedColumn() const { return gesture_.PressedColumn(); }
    int DraggedColumn() const { return gesture_.DraggedColumn(); }
    int DropPosition() const { return gesture_.DropPosition(); }
    const CTitleTip* TitleTip() const { return titleTip_.get(); }
    const CDropArrows* DropArrows() const { return dropArrows_.get(); }
    HWND EditorWindow() const;
    const ListColours& Colours() const { return colours_; }
    // Text and cell rectangles in client coordinates.
    RECT CellRect(int row, int position) const;
    RECT TextRect(int row, int position) const;

    QR_BEGIN_MSG_MAP(ListEngine)
        QR_MESSAGE_HANDLER(WM_CREATE, OnCreate)
        QR_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        QR_MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        QR_MESSAGE_HANDLER(WM_PAINT, OnPaint)
        QR_MESSAGE_HANDLER(WM_PRINTCLIENT, OnPaint)
        QR_MESSAGE_HANDLER(WM_SETFOCUS, OnFocusChange)
        QR_MESSAGE_HANDLER(WM_KILLFOCUS, OnFocusChange)
        QR_MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        QR_MESSAGE_HANDLER(WM_SIZE, OnSize)
        QR_MESSAGE_HANDLER(WM_HSCROLL, OnHScroll)
        QR_MESSAGE_HANDLER(WM_VSCROLL, OnVScroll)
        QR_MESSAGE_HANDLER(WM_CANCELMODE, OnCancelMode)
        QR_MESSAGE_RANGE_HANDLER(WM_MOUSEFIRST, WM_MOUSELAST, OnMouseRange)
        QR_MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
        QR_MESSAGE_HANDLER(WM_TIMER, OnTimer)
        QR_MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        QR_MESSAGE_HANDLER(WM_SYSKEYDOWN, OnSysKeyDown)
        QR_MESSAGE_HANDLER(WM_SETTINGCHANGE, OnSettingsChange)
        QR_MESSAGE_HANDLER(WM_SYSCOLORCHANGE, OnSettingsChange)
        QR_MESSAGE_HANDLER(WM_FONTCHANGE, OnSettingsChange)
        QR_MESSAGE_HANDLER(WM_THEMECHANGED, OnSettingsChange)
        QR_MESSAGE_HANDLER(WM_CAPTURECHANGED, OnCaptureChanged)
        QR_MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        QR_NOTIFY_CODE_HANDLER(LN_ENDEDIT, OnEndEdit)
        QR_MESSAGE_HANDLER(WM_CTLCOLOREDIT, OnColourRequest)
        QR_MESSAGE_HANDLER(WM_CTLCOLORLISTBOX, OnColourRequest)
        QR_REFLECT_NOTIFICATIONS()
    QR_END_MSG_MAP()

protected:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFocusChange(UINT, WPARAM, LPARAM, BOOL&);
    // Tab moves between cells only in focus-cell mode; otherwise it leaves the list, as in any dialog.
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&)
    {
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (focusCellMode_ ? DLGC_WANTTAB : 0);
    }
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnHScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnVScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCancelMode(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseRange(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSysKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSettingsChange(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEndEdit(int, NMHDR*, BOOL&);
    // The editors keep the system's colours: these are not reflected.
    LRESULT OnColourRequest(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) { return DefWindowProc(msg, wParam, lParam); }

private:
    enum Timer : UINT_PTR { kTimerShrink = 1001, kTimerEdit = 1002, kTimerAutoScroll = 1003, kTimerSmooth = 1004 };

    // Row questions, by column identity.
    int RowCount() const { return rows_.count(rows_.self); }
    std::wstring ItemText(int row, int index) const { return rows_.text(rows_.self, row, index); }
    int ItemImage(int row, int index) const { return rows_.image(rows_.self, row, index); }
    bool ItemMark(int row, int index, COLORREF* colour) const { return rows_.mark(rows_.self, row, index, colour); }
    int ItemFormat(int row, int index) const { return rows_.format(rows_.self, row, index); }
    unsigned ItemFlags(int row, int index) const { return rows_.flags(rows_.self, row, index); }

    bool LoadSettings();
    // Pixels at 96 DPI, at the list's DPI.
    int Px(int pixels) const { return ScaleForDpi(pixels, dpi_); }
    // A cell's text rectangle: 4 pixels in (the first column 4 more, the others 3), grown by the DPI.
    RECT TextRectIn(const RECT& cell, int position) const;
    void LoadColours();
    bool LoadFonts();
    void OpenThemes();
    void CloseThemes();
    void SyncScrollMetrics();
    // What the window's scroll bar was last given; true when that showed or hid the bar.
    struct AppliedBar {
        int maximum = 0;
        int page = 0;
        int pos = 0;
        bool valid = false;
    };
    bool ApplyScrollBar(int bar, const ScrollRange& range, int pos, AppliedBar* applied);
    void SetVerticalPosition(int pos, bool animate);
    void SetHorizontalPosition(int pos);
    void ScrollVertical(ScrollCommand command, int trackPos);
    int IndexAt(int position) const;

    // Painting (ListPaint.cpp).
    void Paint(HDC dc, const RECT& clip);
    void PaintRows(HDC dc, const RECT& clip, int firstRow, int yOrigin, int height);
    void PaintRow(HDC dc, int row, int y, bool focused);
    void PaintCell(HDC dc, int row, int position, const RECT& cell, bool selected);
    void PaintHeader(HDC dc);
    void PaintHeaderItem(HDC dc, int position, const RECT& rect);
    void PaintSelectionRect(HDC dc);
    void PaintBackgroundImage(HDC dc, const RECT& clip);
    bool TakeSmoothSnapshot(int oldTop, int newTop);
    void DropSmoothSnapshot();

    // Mouse and keys (ListInput.cpp).
    void OnLeftDown(POINT pt, UINT keys, bool doubleClick);
    void OnLeftUp(POINT pt, UINT keys);
    void OnRightDown(POINT pt);
    void OnRightUp(POINT pt);
    void OnMove(POINT pt, UINT keys);
    void UpdateBand(POINT pt);
    void AutoScrollBand();
    void TrackHot(POINT pt);
    void OfferTitleTip(int row, int position);
    void HideTitleTip();
    void CellClickAction(int row, int position, bool fromKey);
    void TypeAheadKey(wchar_t letter);
    void MoveFocusByKey(UINT key, bool shift, bool ctrl);
    void StopSmoothScroll();
    // Kills the gesture's timer, if it set one, and ends it.
    void EndGesture();
    void EndInteraction();

    // Header drag (HeaderDrag.cpp).
    void BeginHeaderDrag(POINT pt);
    void MoveHeaderDrag(POINT pt);
    void EndHeaderDrag(bool drop);
    HBITMAP MakeDragBitmap(int position, int* width, int* height);

    // Editors (ListEditors.cpp).
    void StartEdit(int row, int position);
    void CloseEditors();
    bool IsEditing() const;

    ListRowSource rows_;
    ListColumns columns_;
    ListSelection selection_;
    ListScroll scroll_;
    SmoothScroll smooth_;
    SortState sort_;
    TypeAhead typeAhead_;
    ListColours colours_{};

    // Settings.
    bool showHeader_ = true;
    bool themedWanted_ = true;
    bool focusCellMode_ = false;
    bool hScrollOn_ = true;
    bool vScrollOn_ = true;
    bool rowDrag_ = false;
    bool smoothOn_ = true;
    HBITMAP backgroundImage_ = nullptr;
    bool backgroundTile_ = true;
    int wheelLines_ = 3;

    // Resources.
    HIMAGELIST images_ = nullptr;       // the engine's strip (bitmap 204)
    HIMAGELIST itemImages_ = nullptr;   // the derived class's
    int imageWidth_ = 16;
    int imageHeight_ = 16;
    HCURSOR dividerCursor_ = nullptr;
    HCURSOR linkCursor_ = nullptr;
    HFONT font_ = nullptr;
    HFONT linkFont_ = nullptr;
    int rowHeight_ = 19;
    int dpi_ = kBaseDpi;
    bool dpiSet_ = false;
    HTHEME theme_ = nullptr;
    HTHEME progressTheme_ = nullptr;
    HWND tooltip_ = nullptr;
    std::unique_ptr<CTitleTip> titleTip_;
    std::unique_ptr<CDropArrows> dropArrows_;
    std::unique_ptr<CListEdit> edit_;
    std::unique_ptr<CListCombo> combo_;
    std::unique_ptr<CListDate> date_;
    bool initialised_ = false;

    AppliedBar vBar_;
    AppliedBar hBar_;

    // Double buffer and smooth-scroll snapshot.
    HBITMAP buffer_ = nullptr;
    SIZE bufferSize_{0, 0};
    HBITMAP snapshot_ = nullptr;

    // Interaction state.
    int hotRow_ = -1;
    int hotColumn_ = -1;         // display position
    int tipRow_ = -1;
    int tipColumn_ = -1;
    int hotHeaderColumn_ = -1;   // display position
    // What the held button is doing (header columns by display position).
    ListGesture gesture_;
    POINT downClient_{0, 0};
    ListPoint downContent_{};
    bool buttonDown_ = false;
    bool tracking_ = false;      // asked to be told when the mouse leaves
    bool beganOutside_ = false;
    DWORD lastAutoScroll_ = 0;
    POINT lastMouse_{0, 0};
    int editRow_ = -1;
    int editColumn_ = -1;        // display position
    HIMAGELIST dragImage_ = nullptr;

    friend class CTitleTip;
    friend class CListEdit;
    friend class CListCombo;
    friend class CListDate;
};

}  // namespace Vorlaq
