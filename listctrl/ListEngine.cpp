// Set-up, settings, columns, scroll bars, selection operations, the sort step and notifications.
#include "listctrl/ListEngine.h"

#include <algorithm>

#include "listctrl/DropArrows.h"
#include "listctrl/ListEditors.h"
#include "listctrl/TitleTip.h"
#include "ui/AppModule.h"
#include "ui/Dpi.h"

namespace Vorlaq {

ListEngine::ListEngine(const ListRowSource& rows) : rows_(rows)
{
    LoadColours();
}

ListEngine::~ListEngine()
{
    // Child windows go with the list window; what is left here are GDI objects and the strip.
    DropSmoothSnapshot();
    CloseThemes();
    if (buffer_)
        ::DeleteObject(buffer_);
    if (font_)
        ::DeleteObject(font_);
    if (linkFont_)
        ::DeleteObject(linkFont_);
    if (images_)
        ImageList_Destroy(images_);
    if (dragImage_)
        ImageList_Destroy(dragImage_);
    // Cursors loaded from resources are shared and need no release.
}

bool ListEngine::Initialise()
{
    if (m_hWnd == nullptr)
        return false;
    const HINSTANCE instance = AppModule::instance().GetResourceInstance();
    if (!dpiSet_) {
        dpi_ = WindowDpi(m_hWnd);
        dpiSet_ = true;
    }
    if (images_ == nullptr) {
        images_ = LoadImageStrip(dpi_);
        if (images_ == nullptr)
            return false;
        ImageList_GetIconSize(images_, &imageWidth_, &imageHeight_);
    }
    dividerCursor_ = ::LoadCursorW(instance, MAKEINTRESOURCEW(kDividerCursor));
    linkCursor_ = ::LoadCursorW(instance, MAKEINTRESOURCEW(kHyperlinkCursor));
    if (dividerCursor_ == nullptr || linkCursor_ == nullptr)
        return false;
    if (!LoadSettings())
        return false;

    ModifyStyle(WS_BORDER | 0x0001, WS_CLIPCHILDREN);
    if (GetExStyle() & WS_EX_CLIENTEDGE)
        ModifyStyleEx(WS_EX_CLIENTEDGE, WS_EX_STATICEDGE, SWP_FRAMECHANGED);

    if (tooltip_ == nullptr) {
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                     instance, nullptr);
        if (tooltip_ == nullptr)
            return false;
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = 0;  // the list relays its mouse messages itself
        tool.hwnd = m_hWnd;
        tool.uId = 1;
        tool.lpszText = const_cast<wchar_t*>(L"");
        tool.rect = GetClientRect();
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 32767);
        ::SendMessageW(tooltip_, TTM_ACTIVATE, FALSE, 0);
    }
    initialised_ = true;
    ResetScrollBars(SB_BOTH, -1, true);
    Invalidate();
    return true;
}

HIMAGELIST ListEngine::LoadImageStrip(int dpi)
{
    const int fits = ScaleForDpi(16, dpi);
    const int size = fits >= 32 ? 32 : fits >= 24 ? 24 : 16;
    const int bitmap = size == 32 ? kListImagesBitmap32 : size == 24 ? kListImagesBitmap24 : kListImagesBitmap;
    return ImageList_LoadImageW(AppModule::instance().GetResourceInstance(), MAKEINTRESOURCEW(bitmap), size, 0,
                                RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
}

void ListEngine::SetDpi(int dpi)
{
    if (dpi <= 0 || (dpiSet_ && dpi == dpi_))
        return;
    const int old = dpi_;
    dpi_ = dpi;
    dpiSet_ = true;
    for (int position = 0; position < columns_.Count(); ++position)
        columns_.SetWidth(position, ::MulDiv(columns_.At(position)->width, dpi, old));
    if (!initialised_ || m_hWnd == nullptr)
        return;
    HideTitleTip();
    if (const HIMAGELIST images = LoadImageStrip(dpi_)) {
        ImageList_Destroy(images_);
        images_ = images;
        ImageList_GetIconSize(images_, &imageWidth_, &imageHeight_);
    }
    LoadSettings();
    ResetScrollBars(SB_BOTH, -1, true);
    Invalidate();
}

void ListEngine::LoadColours()
{
    ListColours& c = colours_;
    c.background = ::GetSysColor(COLOR_WINDOW);
    c.headerBackground = ::GetSysColor(COLOR_BTNFACE);
    c.headerHighlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    c.headerShadow = ::GetSysColor(COLOR_BTNSHADOW);
    c.headerText = ::GetSysColor(COLOR_WINDOWTEXT);
    c.headerPressed = RGB(130, 140, 180);
    c.selected = ::GetSysColor(COLOR_HIGHLIGHT);
    c.selectedText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    c.rowText = ::GetSysColor(COLOR_WINDOWTEXT);
    c.frameOuterFocus = RGB(170, 200, 245);
    c.frameInnerFocus = RGB(230, 250, 250);
    c.gradientTopFocus = RGB(210, 240, 250);
    c.gradientBottomFocus = RGB(185, 215, 250);
    c.gradientTopNoFocus = RGB(250, 250, 250);
    c.gradientBottomNoFocus = RGB(235, 235, 235);
    c.frameOuterNoFocus = RGB(220, 220, 220);
    c.frameInnerNoFocus = RGB(245, 245, 245);
    c.focusCellTop = RGB(235, 245, 245);
    c.focusCellBottom = RGB(225, 235, 245);
    c.progressFrom = RGB(170, 240, 170);
    c.progressTo = RGB(45, 210, 50);
    c.classicTint = RGB(180, 190, 210);
    c.hyperlink = RGB(0, 0, 200);
}

bool ListEngine::LoadFonts()
{
    LOGFONTW messageFont{};
    if (!MessageFontForDpi(dpi_, &messageFont))
        return false;
    const HFONT font = ::CreateFontIndirectW(&messageFont);
    messageFont.lfUnderline = TRUE;
    const HFONT linkFont = ::CreateFontIndirectW(&messageFont);
    if (font == nullptr || linkFont == nullptr) {
        if (font)
            ::DeleteObject(font);
        if (linkFont)
            ::DeleteObject(linkFont);
        return false;
    }
    if (font_)
        ::DeleteObject(font_);
    if (linkFont_)
        ::DeleteObject(linkFont_);
    font_ = font;
    linkFont_ = linkFont;

    const HDC dc = ::GetDC(m_hWnd);
    if (dc == nullptr)
        return false;
    const HGDIOBJ old = ::SelectObject(dc, font_);
    SIZE size{};
    const bool measured = ::GetTextExtentPoint32W(dc, L"Height", 6, &size) != FALSE;
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    if (!measured)
        return false;
    const int height = size.cy + Px(6);
    const bool changed = height != rowHeight_;
    rowHeight_ = height;
    // The arrows' shape follows the DPI even where the row height happens to stay.
    if (dropArrows_ && (changed || dropArrows_->Dpi() != dpi_))
        dropArrows_->Create(m_hWnd, HeaderHeight(), dpi_);
    return true;
}

void ListEngine::OpenThemes()
{
    CloseThemes();
    if (!themedWanted_)
        return;
    theme_ = ::OpenThemeData(m_hWnd, L"HEADER");
    if (theme_)
        progressTheme_ = ::OpenThemeData(m_hWnd, L"PROGRESS");
}

void ListEngine::CloseThemes()
{
    if (theme_)
        ::CloseThemeData(theme_);
    if (progressTheme_)
        ::CloseThemeData(progressTheme_);
    theme_ = progressTheme_ = nullptr;
}

bool ListEngine::LoadSettings()
{
    LoadColours();
    if (!LoadFonts())
        return false;
    UINT lines = 0;
    if (::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        wheelLines_ = static_cast<int>(lines);
    OpenThemes();
    if (!titleTip_) {
        titleTip_ = std::make_unique<CTitleTip>();
        if (!titleTip_->Create(this))
            return false;
    }
    titleTip_->LoadSettings(theme_ != nullptr, dpi_);
    if (!dropArrows_) {
        dropArrows_ = std::make_unique<CDropArrows>();
        if (!dropArrows_->Create(m_hWnd, HeaderHeight(), dpi_))
            return false;
    }
    return true;
}

int ListEngine::AddColumn(const std::wstring& title, int width, int image, bool fixed, int format, unsigned flags)
{
    const int position = columns_.Add(title, width, image, fixed, format, flags, imageWidth_);
    if (m_hWnd) {
        ResetScrollBars(SB_BOTH, -1, true);
        Invalidate();
    }
    return position;
}

bool ListEngine::SetColumnWidth(int position, int width)
{
    if (!columns_.SetWidth(position, width))
        return false;
    ResetScrollBars(SB_BOTH, -1, true);
    Invalidate();
    return true;
}

int ListEngine::IndexAt(int position) const
{
    const ListColumn* column = columns_.At(position);
    return column ? column->index : -1;
}

void ListEngine::SyncScrollMetrics()
{
    const RECT rc = GetClientRect();
    scroll_.SetMetrics(rowHeight_, HeaderHeight(), rc.right - rc.left, rc.bottom - rc.top);
    scroll_.SetContent(RowCount(), columns_.TotalWidth());
}

bool ListEngine::ApplyScrollBar(int bar, const ScrollRange& range, int pos, AppliedBar* applied)
{
    const AppliedBar now{range.maximum, range.page, range.InUse() ? pos : 0, true};
    if (applied->valid && applied->maximum == now.maximum && applied->page == now.page && applied->pos == now.pos)
        return false;
    const bool shownBefore = applied->valid && applied->maximum > 0;
    SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, now.maximum, static_cast<UINT>(now.page), now.pos, 0};
    // No drawing here: rows arrive faster than a screen can show them, so the bar is drawn
    // with the next paint of the window.
    ::SetScrollInfo(m_hWnd, bar, &si, FALSE);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
    *applied = now;
    return shownBefore != (now.maximum > 0);
}

void ListEngine::ResetScrollBars(int bars, int position, bool recalc)
{
    if (m_hWnd == nullptr)
        return;
    if (recalc)
        columns_.RecalculateTotalWidth();
    // Showing or hiding one bar changes the other's page: one more round settles that.
    for (int round = 0; round < 2; ++round) {
        SyncScrollMetrics();
        bool shownOrHidden = false;
        if (bars == SB_VERT || bars == SB_BOTH) {
            const ScrollRange range = vScrollOn_ ? scroll_.VerticalRange() : ScrollRange{};
            if (position >= 0)
                scroll_.SetVerticalPos(position);
            if (!range.InUse())
                scroll_.SetVerticalPos(0);
            shownOrHidden |= ApplyScrollBar(SB_VERT, range, scroll_.VerticalPos(), &vBar_);
        }
        if (bars == SB_HORZ || bars == SB_BOTH) {
            const ScrollRange range = hScrollOn_ ? scroll_.HorizontalRange() : ScrollRange{};
            if (position >= 0 && bars == SB_HORZ)
                scroll_.SetHorizontalPos(position);
            if (!range.InUse())
                scroll_.SetHorizontalPos(0);
            shownOrHidden |= ApplyScrollBar(SB_HORZ, range, scroll_.HorizontalPos(), &hBar_);
        }
        if (!shownOrHidden)
            break;
    }
}

void ListEngine::SetVerticalPosition(int pos, bool animate)
{
    const int oldTop = scroll_.TopRow();
    const int oldPos = scroll_.VerticalPos();
    scroll_.SetVerticalPos(pos);
    if (scroll_.VerticalPos() == oldPos)
        return;
    ::SetScrollPos(m_hWnd, SB_VERT, scroll_.VerticalPos(), TRUE);
    vBar_.pos = scroll_.VerticalPos();
    HideTitleTip();
    const int newTop = scroll_.TopRow();
    if (animate && smoothOn_ && newTop != oldTop && TakeSmoothSnapshot(oldTop, newTop)) {
        smooth_.Start(newTop - oldTop, rowHeight_);
        ::SetTimer(m_hWnd, kTimerSmooth, 20, nullptr);
    }
    Invalidate();
}

void ListEngine::SetHorizontalPosition(int pos)
{
    const int old = scroll_.HorizontalPos();
    scroll_.SetHorizontalPos(pos);
    if (scroll_.HorizontalPos() == old)
        return;
    ::SetScrollPos(m_hWnd, SB_HORZ, scroll_.HorizontalPos(), TRUE);
    hBar_.pos = scroll_.HorizontalPos();
    HideTitleTip();
    Invalidate();
}

void ListEngine::ScrollVertical(ScrollCommand command, int trackPos)
{
    const bool wasAnimating = smooth_.Running();
    StopSmoothScroll();
    const bool animate = !wasAnimating && command != ScrollCommand::Thumb && command != ScrollCommand::Top
                         && command != ScrollCommand::Bottom;
    SetVerticalPosition(scroll_.VerticalTarget(command, trackPos), animate);
}

void ListEngine::EnsureVisible(int row, int column)
{
    if (row >= 0)
        SetVerticalPosition(scroll_.EnsureVisibleTarget(row), false);
    if (focusCellMode_ && column >= 0) {
        const int position = columns_.PositionOf(column);
        if (position >= 0)
            SetHorizontalPosition(scroll_.EnsureColumnVisibleTarget(columns_.Left(position), columns_.Right(position)));
    }
}

void ListEngine::EnableSort(bool on)
{
    sort_.Enable(on);
    Invalidate();
}

void ListEngine::ShowHeader(bool on)
{
    showHeader_ = on;
    if (m_hWnd) {
        ResetScrollBars();
        Invalidate();
    }
}

void ListEngine::SetThemed(bool on)
{
    themedWanted_ = on;
    if (m_hWnd && initialised_) {
        OpenThemes();
        titleTip_->LoadSettings(theme_ != nullptr, dpi_);
        Invalidate();
    }
}

void ListEngine::EnableHorizontalScroll(bool on)
{
    hScrollOn_ = on;
    if (m_hWnd)
        ResetScrollBars();
}

void ListEngine::EnableVerticalScroll(bool on)
{
    vScrollOn_ = on;
    if (m_hWnd)
        ResetScrollBars();
}

void ListEngine::SetBackgroundImage(HBITMAP bitmap, bool tile)
{
    backgroundImage_ = bitmap;
    backgroundTile_ = tile;
    if (m_hWnd)
        Invalidate();
}

bool ListEngine::SelectItem(int row, int column, unsigned keys)
{
    const ListSelection::Outcome outcome = selection_.SelectItem(row, column, keys, RowCount());
    if (outcome == ListSelection::Outcome::Ignored)
        return false;
    // A removal changes the selection as much as an addition: the parent hears of both.
    if (outcome == ListSelection::Outcome::Selected || outcome == ListSelection::Outcome::Removed)
        NotifyParent(selection_.FocusRow(), selection_.FocusColumn(), LN_SELCHANGED);

    const int focusColumn = selection_.FocusColumn();
    const int position = focusColumn >= 0 ? columns_.PositionOf(focusColumn) : -1;
    bool visible = scroll_.IsRowFullyVisible(row);
    if (visible && focusCellMode_ && position >= 0) {
        const int left = columns_.Left(position) - scroll_.HorizontalPos();
        visible = left >= 0 && left + columns_.At(position)->width <= scroll_.ClientWidth();
    }
    if (!visible) {
        // A partly shown row comes into view a moment later, so a click does not jump at once.
        editRow_ = row;
        editColumn_ = position;
        ::SetTimer(m_hWnd, kTimerEdit, 250, nullptr);
    } else if (position >= 0 && ::GetFocus() == m_hWnd) {
        StartEdit(row, position);
    }
    Invalidate();
    return true;
}

bool ListEngine::GetSelectedRows(std::vector<int>& rows) const
{
    rows = selection_.Rows();
    return !rows.empty();
}

void ListEngine::ClearSelection()
{
    selection_.Clear();
    if (m_hWnd)
        Invalidate();
}

void ListEngine::ClearSelectedRows()
{
    selection_.ClearRows();
    if (m_hWnd)
        Invalidate();
}

void ListEngine::MoveSelectedRows(const std::vector<int>& moved)
{
    selection_.MoveRows(moved);
}

void ListEngine::ForgetSort()
{
    sort_.Forget();
    if (m_hWnd)
        Invalidate();
}

void ListEngine::SortColumn(int position)
{
    const int index = IndexAt(position);
    if (index < 0 || !showHeader_ || !sort_.Enabled())
        return;
    const HCURSOR old = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    switch (sort_.Click(index, showHeader_)) {
    case SortState::Action::Sort:
        rows_.sort(rows_.self, index, true);
        break;
    case SortState::Action::Reverse:
        rows_.reverse(rows_.self);
        break;
    case SortState::Action::None:
        break;
    }
    ::SetCursor(old);
    ClearSelection();
}

bool ListEngine::NotifyParent(int row, int column, int code, int exitKey, const wchar_t* text, const SYSTEMTIME* date)
{
    const HWND parent = GetParent();
    if (parent == nullptr)
        return false;
    SendListNotify(parent, m_hWnd, code, row, column, exitKey, text, date);
    return true;
}

RECT ListEngine::CellRect(int row, int position) const
{
    const int left = columns_.Left(position) - scroll_.HorizontalPos();
    const int top = scroll_.RowTop(row);
    const ListColumn* column = columns_.At(position);
    return RECT{left, top, left + (column ? column->width : 0), top + rowHeight_};
}

RECT ListEngine::TextRect(int row, int position) const
{
    return TextRectIn(CellRect(row, position), position);
}

RECT ListEngine::TextRectIn(const RECT& cell, int position) const
{
    RECT rc = cell;
    rc.left += Px(position == 0 ? 4 : 3) + Px(4);
    rc.right -= Px(4);
    return rc;
}

bool ListEngine::FitColumn(int position)
{
    ListColumn* column = columns_.At(position);
    if (column == nullptr || column->fixed)
        return false;
    const HDC dc = ::GetDC(m_hWnd);
    const HGDIOBJ old = ::SelectObject(dc, font_);
    auto widthOf = [dc](const std::wstring& text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    int widest = widthOf(column->title);
    const int count = RowCount();
    for (int row = 0; row < count; ++row) {
        int width = widthOf(ItemText(row, column->index));
        if (itemImages_ && ItemImage(row, column->index) >= 0) {
            int w = 0, h = 0;
            ImageList_GetIconSize(itemImages_, &w, &h);
            width += w;
        }
        widest = std::max(widest, width);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    return SetColumnWidth(position, widest + Px(20));
}

LRESULT ListEngine::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    // Our own window (not a subclassed control): the derived class sets itself up now.
    return rows_.setUp(rows_.self) ? 0 : -1;
}

LRESULT ListEngine::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled)
{
    StopSmoothScroll();
    CloseEditors();
    if (titleTip_)
        titleTip_->DestroyWindow();
    if (dropArrows_)
        dropArrows_->DestroyWindow();
    if (tooltip_)
        ::DestroyWindow(tooltip_);
    tooltip_ = nullptr;
    handled = FALSE;
    return 0;
}

LRESULT ListEngine::OnFocusChange(UINT, WPARAM, LPARAM, BOOL& handled)
{
    Invalidate();
    handled = FALSE;
    return 0;
}

LRESULT ListEngine::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    StopSmoothScroll();
    ResetScrollBars(SB_BOTH, -1, false);
    if (tooltip_) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = m_hWnd;
        tool.uId = 1;
        tool.rect = GetClientRect();
        ::SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    Invalidate();
    return 0;
}

namespace {

bool CommandOf(WPARAM wParam, ScrollCommand* command)
{
    switch (LOWORD(wParam)) {
    case SB_LINEUP: *command = ScrollCommand::LineUp; return true;
    case SB_LINEDOWN: *command = ScrollCommand::LineDown; return true;
    case SB_PAGEUP: *command = ScrollCommand::PageUp; return true;
    case SB_PAGEDOWN: *command = ScrollCommand::PageDown; return true;
    case SB_TOP: *command = ScrollCommand::Top; return true;
    case SB_BOTTOM: *command = ScrollCommand::Bottom; return true;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: *command = ScrollCommand::Thumb; return true;
    default: return false;
    }
}

int TrackPos(HWND hwnd, int bar)
{
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_TRACKPOS;
    ::GetScrollInfo(hwnd, bar, &si);
    return si.nTrackPos;
}

}  // namespace

LRESULT ListEngine::OnHScroll(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    ScrollCommand command;
    if (!CommandOf(wParam, &command))
        return 0;
    StopSmoothScroll();
    const int track = command == ScrollCommand::Thumb ? TrackPos(m_hWnd, SB_HORZ) : 0;
    SetHorizontalPosition(scroll_.HorizontalTarget(command, track));
    return 0;
}

LRESULT ListEngine::OnVScroll(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    ScrollCommand command;
    if (!CommandOf(wParam, &command))
        return 0;
    ScrollVertical(command, command == ScrollCommand::Thumb ? TrackPos(m_hWnd, SB_VERT) : 0);
    return 0;
}

LRESULT ListEngine::OnSettingsChange(UINT, WPARAM, LPARAM, BOOL& handled)
{
    if (initialised_) {
        LoadSettings();
        ResetScrollBars(SB_BOTH, -1, true);
        Invalidate();
    }
    handled = FALSE;
    return 0;
}

}  // namespace Vorlaq
