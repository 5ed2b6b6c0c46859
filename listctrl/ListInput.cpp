// Mouse, keyboard, timers and cancel mode: how the user's input changes the selection, the
// columns, the scroll position and the title tip.

#include <algorithm>
#include <cstdlib>

#include "listctrl/CellRules.h"
#include "listctrl/DropArrows.h"
#include "listctrl/ListEngine.h"
#include "listctrl/TitleTip.h"

namespace Vorlaq {

namespace {

POINT PointOf(LPARAM lParam) { return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}; }

constexpr unsigned kKeyBits = MK_SHIFT | MK_CONTROL;  // the same bits as kSelectShift, kSelectCtrl

}  // namespace

LRESULT ListEngine::OnMouseRange(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled)
{
    if (tooltip_) {
        MSG relay{m_hWnd, msg, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {0, 0}};
        ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
    }
    const POINT pt = PointOf(lParam);
    const UINT keys = static_cast<UINT>(wParam);
    switch (msg) {
    case WM_LBUTTONDOWN: OnLeftDown(pt, keys, false); return 0;
    case WM_LBUTTONDBLCLK: OnLeftDown(pt, keys, true); return 0;
    case WM_LBUTTONUP: OnLeftUp(pt, keys); return 0;
    case WM_RBUTTONDOWN: OnRightDown(pt); return 0;
    case WM_RBUTTONUP: OnRightUp(pt); return 0;
    case WM_MOUSEMOVE: OnMove(pt, keys); return 0;
    case WM_MOUSEWHEEL: {
        HideTitleTip();
        StopSmoothScroll();
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        SetVerticalPosition(scroll_.WheelTarget(delta, wheelLines_), false);
        return 0;
    }
    default:
        handled = FALSE;
        return 0;
    }
}

void ListEngine::OnLeftDown(POINT pt, UINT keys, bool doubleClick)
{
    HideTitleTip();
    SetFocus();
    // A gesture still on lost its button-up: it ends before this press begins another.
    if (!gesture_.Is(ListGesture::Mode::None))
        EndInteraction();
    ::SetCapture(m_hWnd);
    StopSmoothScroll();
    buttonDown_ = true;
    downClient_ = pt;
    downContent_ = scroll_.ToContent({pt.x, pt.y});
    beganOutside_ = false;

    if (showHeader_ && pt.y >= 0 && pt.y < HeaderHeight()) {
        const HeaderHit hit = columns_.HitTestHeader(pt.x + scroll_.HorizontalPos());
        const ListColumn* column = columns_.At(hit.column);
        if (hit.divider && column && !column->fixed) {
            ::SetCursor(dividerCursor_);
            if (doubleClick) {
                FitColumn(hit.column);
            } else {
                gesture_.BeginResize(hit.column, column->width, pt.x);
            }
        } else if (column && !hit.divider) {
            gesture_.PressHeader(hit.column);
            const RECT header{0, 0, GetClientRect().right, HeaderHeight()};
            InvalidateRect(header);
        }
        if (doubleClick)
            NotifyParent(-1, column ? column->index : -1, LN_DBLCLK);
        return;
    }

    const int row = scroll_.RowAt(pt.y);
    const int position = columns_.ColumnAt(pt.x + scroll_.HorizontalPos());
    const int index = IndexAt(position);
    if (row < 0) {
        selection_.SetAnchor(-1);
        beganOutside_ = true;
    } else {
        const bool plain = (keys & kKeyBits) == 0;
        if (plain && position != 0) {
            beganOutside_ = true;
            selection_.SetAnchor(row);
        }
        if (plain && selection_.IsSelected(row) && selection_.Count() > 1) {
            // Might be the start of a drag of the whole selection: decide on button up.
            gesture_.DeferClick(row, index);
        } else {
            SelectItem(row, index, keys & kKeyBits);
        }
        if (position >= 0 && !(ItemFlags(row, index) & kFlagReadOnly))
            CellClickAction(row, position, false);
    }
    if (doubleClick)
        NotifyParent(row, index, LN_DBLCLK);
}

void ListEngine::CellClickAction(int row, int position, bool fromKey)
{
    const int index = IndexAt(position);
    const int format = ItemFormat(row, index);
    if (format == kFormatCheckBox || format == kFormatTriState) {
        rows_.setText(rows_.self, row, index, ToggledCheckText(format, ItemText(row, index)));
        NotifyParent(row, index, LN_MODIFIED);
        const RECT client = GetClientRect();
        const RECT line{0, scroll_.RowTop(row), client.right, scroll_.RowTop(row) + rowHeight_};
        InvalidateRect(line);
        return;
    }
    if (fromKey)
        return;
    if (format == kFormatHyperlink || (format == kFormatHyperlinkIfText && !ItemText(row, index).empty())) {
        ::SetCursor(linkCursor_);
        NotifyParent(row, index, LN_HYPERLINK);
    } else if (format == kFormatButton) {
        NotifyParent(row, index, LN_BUTTON);
    }
}

void ListEngine::OnMove(POINT pt, UINT keys)
{
    lastMouse_ = pt;
    if (!tracking_) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, m_hWnd, 0};
        tracking_ = ::TrackMouseEvent(&tme) != FALSE;
    }
    if (!buttonDown_ || !(keys & MK_LBUTTON)) {
        TrackHot(pt);
        return;
    }
    if (gesture_.Is(ListGesture::Mode::Resizing)) {
        ::SetCursor(dividerCursor_);
        const int width = ResizedWidth(pt.x, gesture_.ResizeStartWidth(), gesture_.ResizeStartX());
        const ListColumn* column = columns_.At(gesture_.ResizeColumn());
        const ScrollRange range = scroll_.HorizontalRange();
        const bool atRightEnd = range.InUse() && scroll_.HorizontalPos() >= range.LastPosition();
        if (column && atRightEnd && width < column->width) {
            // Shrinking at the right end pulls the view left; do it on the timer so the view
            // follows smoothly instead of jumping with every mouse move.
            gesture_.SetPendingWidth(width);
            if (!gesture_.TimerSet())
                gesture_.SetTimerSet(::SetTimer(m_hWnd, kTimerShrink, 20, nullptr) != 0);
        } else {
            // This width is newer than one still waiting for the timer.
            gesture_.SetPendingWidth(-1);
            SetColumnWidth(gesture_.ResizeColumn(), width);
            UpdateWindow();
        }
        return;
    }
    if (gesture_.Is(ListGesture::Mode::HeaderDragging)) {
        MoveHeaderDrag(pt);
        return;
    }
    const int dx = std::abs(pt.x - downClient_.x), dy = std::abs(pt.y - downClient_.y);
    if (gesture_.Is(ListGesture::Mode::HeaderPressed)) {
        if (dx > 4 || dy > 4)
            BeginHeaderDrag(pt);
        return;
    }
    if (gesture_.Is(ListGesture::Mode::Banding)) {
        UpdateBand(pt);
        AutoScrollBand();
        return;
    }
    if (dx <= 3 && dy <= 3)
        return;
    if (!rowDrag_ || beganOutside_) {
        if (!selection_.SingleSelection()) {
            gesture_.BeginBand();
            UpdateBand(pt);
        }
    } else {
        const int row = scroll_.RowAt(downClient_.y);
        if (row >= 0 && !selection_.IsSelected(row))
            SelectItem(row, -1, 0);
        gesture_.End();
        buttonDown_ = false;
        ::ReleaseCapture();
        rows_.beginDrag(rows_.self);
    }
}

void ListEngine::UpdateBand(POINT pt)
{
    const ListPoint now = scroll_.ToContent({pt.x, pt.y});
    const ListRect band = ListRect::Spanning(downContent_, now);
    gesture_.SetBand(band);
    int first = 0, last = -1;
    if (band.left < columns_.TotalWidth())
        scroll_.RowsInBand(band, &first, &last);
    selection_.SelectBand(first, last);
    if (!gesture_.TimerSet())
        gesture_.SetTimerSet(::SetTimer(m_hWnd, kTimerAutoScroll, 20, nullptr) != 0);
    Invalidate();
    UpdateWindow();
}

void ListEngine::AutoScrollBand()
{
    const DWORD now = ::GetTickCount();
    if (now - lastAutoScroll_ < 10)
        return;
    lastAutoScroll_ = now;
    const RECT client = GetClientRect();
    int dx = 0, dy = 0;
    AutoScrollDirection({lastMouse_.x, lastMouse_.y}, HeaderHeight(), client.right, client.bottom, &dx, &dy);
    const int oldV = scroll_.VerticalPos(), oldH = scroll_.HorizontalPos();
    if (dy != 0)
        SetVerticalPosition(scroll_.VerticalTarget(dy < 0 ? ScrollCommand::LineUp : ScrollCommand::LineDown), false);
    if (dx != 0)
        SetHorizontalPosition(scroll_.HorizontalTarget(dx < 0 ? ScrollCommand::LineUp : ScrollCommand::LineDown));
    if (scroll_.VerticalPos() != oldV || scroll_.HorizontalPos() != oldH)
        UpdateBand(lastMouse_);
}

void ListEngine::OnLeftUp(POINT pt, UINT)
{
    const bool wasDown = buttonDown_;
    buttonDown_ = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    if (!wasDown)
        return;
    const int row = scroll_.RowAt(pt.y);
    const int index = IndexAt(columns_.ColumnAt(pt.x + scroll_.HorizontalPos()));
    switch (gesture_.Current()) {
    case ListGesture::Mode::Resizing: {
        const int column = gesture_.ResizeColumn();
        const int pending = gesture_.PendingWidth();
        EndGesture();
        if (pending >= 0)
            SetColumnWidth(column, pending);
        break;
    }
    case ListGesture::Mode::HeaderDragging: EndHeaderDrag(showHeader_ && pt.y >= 0 && pt.y < HeaderHeight()); break;
    case ListGesture::Mode::HeaderPressed: {
        const int position = gesture_.PressedColumn();
        EndGesture();
        Invalidate();
        SortColumn(position);
        break;
    }
    case ListGesture::Mode::Banding:
        EndGesture();
        Invalidate();
        return;
    case ListGesture::Mode::DeferredClick: {
        const int deferredRow = gesture_.DeferredRow(), deferredColumn = gesture_.DeferredColumn();
        EndGesture();
        SelectItem(deferredRow, deferredColumn, 0);
        break;
    }
    case ListGesture::Mode::None: break;
    }
    NotifyParent(row, index, LN_CLICK);
}

void ListEngine::OnRightDown(POINT pt)
{
    StopSmoothScroll();
    SetFocus();
    HideTitleTip();
    const int row = scroll_.RowAt(pt.y);
    if (row >= 0 && !selection_.IsSelected(row))
        SelectItem(row, IndexAt(columns_.ColumnAt(pt.x + scroll_.HorizontalPos())), 0);
}

void ListEngine::OnRightUp(POINT pt)
{
    const int row = scroll_.RowAt(pt.y);
    const int index = IndexAt(columns_.ColumnAt(pt.x + scroll_.HorizontalPos()));
    if (row < 0)
        ClearSelection();
    NotifyParent(row, index, LN_RCLICK);
}

void ListEngine::TrackHot(POINT pt)
{
    const int hPos = scroll_.HorizontalPos();
    if (showHeader_ && pt.y >= 0 && pt.y < HeaderHeight()) {
        const HeaderHit hit = columns_.HitTestHeader(pt.x + hPos);
        const ListColumn* column = columns_.At(hit.column);
        const int hot = theme_ && !hit.divider ? hit.column : -1;
        if (hot != hotHeaderColumn_) {
            hotHeaderColumn_ = hot;
            const RECT header{0, 0, GetClientRect().right, HeaderHeight()};
            InvalidateRect(header);
        }
        if (hit.divider && column && !column->fixed)
            ::SetCursor(dividerCursor_);
        hotRow_ = hotColumn_ = -1;
        HideTitleTip();
        return;
    }
    if (hotHeaderColumn_ >= 0) {
        hotHeaderColumn_ = -1;
        const RECT header{0, 0, GetClientRect().right, HeaderHeight()};
        InvalidateRect(header);
    }
    const int row = scroll_.RowAt(pt.y);
    const int position = columns_.ColumnAt(pt.x + hPos);
    if (row < 0 || position < 0) {
        hotRow_ = hotColumn_ = -1;
        HideTitleTip();
        return;
    }
    const int index = IndexAt(position);
    const int format = ItemFormat(row, index);
    if (format == kFormatHyperlink || (format == kFormatHyperlinkIfText && !ItemText(row, index).empty()))
        ::SetCursor(linkCursor_);
    if (row != hotRow_ || position != hotColumn_) {
        hotRow_ = row;
        hotColumn_ = position;
        if (tooltip_) {
            const std::wstring tip = rows_.toolTip(rows_.self, row, index);
            TOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.hwnd = m_hWnd;
            tool.uId = 1;
            tool.lpszText = const_cast<wchar_t*>(tip.c_str());
            ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
            ::SendMessageW(tooltip_, TTM_ACTIVATE, tip.empty() ? FALSE : TRUE, 0);
        }
    }
    OfferTitleTip(row, position);
}

void ListEngine::OfferTitleTip(int row, int position)
{
    if (!titleTip_ || !titleTip_->m_hWnd || IsEditing())
        return;
    if (row == tipRow_ && position == tipColumn_ && titleTip_->IsShown())
        return;
    const int index = IndexAt(position);
    if (!FormatAllowsTitleTip(ItemFormat(row, index))) {
        HideTitleTip();
        return;
    }
    const std::wstring text = ItemText(row, index);
    const RECT cell = CellRect(row, position);
    RECT textRect = TextRect(row, position);
    if (itemImages_ && ItemImage(row, index) >= 0) {
        int w = 0, h = 0;
        ImageList_GetIconSize(itemImages_, &w, &h);
        textRect.left += w + Px(4);
    }
    ListRect tip;
    if (text.empty()
        || !TitleTipRect({textRect.left, textRect.top, textRect.right, textRect.bottom},
                         {cell.left, cell.top, cell.right, cell.bottom}, titleTip_->TextWidth(text), dpi_, &tip)) {
        HideTitleTip();
        return;
    }
    POINT origin{tip.left, tip.top};
    ::ClientToScreen(m_hWnd, &origin);
    const RECT screen{origin.x, origin.y, origin.x + tip.Width(), origin.y + tip.Height()};
    tipRow_ = row;
    tipColumn_ = position;
    titleTip_->Show(screen, text, rows_.toolTip(rows_.self, row, index));
}

void ListEngine::HideTitleTip()
{
    if (titleTip_)
        titleTip_->Hide();
    tipRow_ = tipColumn_ = -1;
}

LRESULT ListEngine::OnSetCursor(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled)
{
    // The divider and hyperlink cursors, instead of the class's arrow.
    if (reinterpret_cast<HWND>(wParam) == m_hWnd && LOWORD(lParam) == HTCLIENT) {
        POINT pt;
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWnd, &pt);
        if (gesture_.Is(ListGesture::Mode::Resizing)) {
            ::SetCursor(dividerCursor_);
            return TRUE;
        }
        if (showHeader_ && pt.y >= 0 && pt.y < HeaderHeight()) {
            const HeaderHit hit = columns_.HitTestHeader(pt.x + scroll_.HorizontalPos());
            const ListColumn* column = columns_.At(hit.column);
            if (hit.divider && column && !column->fixed) {
                ::SetCursor(dividerCursor_);
                return TRUE;
            }
        } else {
            const int row = scroll_.RowAt(pt.y);
            const int index = IndexAt(columns_.ColumnAt(pt.x + scroll_.HorizontalPos()));
            if (row >= 0 && index >= 0) {
                const int format = ItemFormat(row, index);
                if (format == kFormatHyperlink || (format == kFormatHyperlinkIfText && !ItemText(row, index).empty())) {
                    ::SetCursor(linkCursor_);
                    return TRUE;
                }
            }
        }
    }
    handled = FALSE;
    return 0;
}

LRESULT ListEngine::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&)
{
    tracking_ = false;
    if (hotHeaderColumn_ >= 0) {
        hotHeaderColumn_ = -1;
        const RECT header{0, 0, GetClientRect().right, HeaderHeight()};
        InvalidateRect(header);
    }
    hotRow_ = hotColumn_ = -1;
    return 0;
}

void ListEngine::EndGesture()
{
    if (gesture_.TimerSet())
        ::KillTimer(m_hWnd, gesture_.Is(ListGesture::Mode::Resizing) ? kTimerShrink : kTimerAutoScroll);
    gesture_.End();
}

void ListEngine::EndInteraction()
{
    buttonDown_ = false;
    if (gesture_.Is(ListGesture::Mode::HeaderDragging))
        EndHeaderDrag(false);
    EndGesture();
    if (dropArrows_)
        dropArrows_->Hide();
    Invalidate();
}

LRESULT ListEngine::OnCancelMode(UINT, WPARAM, LPARAM, BOOL& handled)
{
    const bool held = buttonDown_;
    buttonDown_ = false;
    if (held && ::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    HideTitleTip();
    EndInteraction();
    handled = FALSE;
    return 0;
}

LRESULT ListEngine::OnCaptureChanged(UINT, WPARAM, LPARAM lParam, BOOL& handled)
{
    // Someone else took the mouse while a button was held: same as cancel mode.
    if (buttonDown_ && reinterpret_cast<HWND>(lParam) != m_hWnd) {
        buttonDown_ = false;
        EndInteraction();
    }
    handled = FALSE;
    return 0;
}

void ListEngine::StopSmoothScroll()
{
    if (!smooth_.Running() && !snapshot_)
        return;
    smooth_.Stop();
    ::KillTimer(m_hWnd, kTimerSmooth);
    DropSmoothSnapshot();
    Invalidate();
}

LRESULT ListEngine::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    switch (wParam) {
    case kTimerShrink:
        ::KillTimer(m_hWnd, kTimerShrink);
        gesture_.SetTimerSet(false);
        if (gesture_.PendingWidth() >= 0) {
            SetColumnWidth(gesture_.ResizeColumn(), gesture_.PendingWidth());
            gesture_.SetPendingWidth(-1);
        }
        return 0;
    case kTimerEdit:
        ::KillTimer(m_hWnd, kTimerEdit);
        if (editRow_ >= 0 && editRow_ < RowCount()) {
            EnsureVisible(editRow_, IndexAt(editColumn_));
            if (editColumn_ >= 0 && ::GetFocus() == m_hWnd)
                StartEdit(editRow_, editColumn_);
        }
        return 0;
    case kTimerAutoScroll:
        if (gesture_.Is(ListGesture::Mode::Banding))
            AutoScrollBand();
        else
            ::KillTimer(m_hWnd, kTimerAutoScroll);
        return 0;
    case kTimerSmooth:
        if (smooth_.Tick() == 0) {
            StopSmoothScroll();
        } else {
            const RECT client = GetClientRect();
            const RECT rows{0, HeaderHeight(), client.right, client.bottom};
            InvalidateRect(rows);
            UpdateWindow();
        }
        return 0;
    default:
        handled = FALSE;
        return 0;
    }
}

void ListEngine::MoveFocusByKey(UINT key, bool shift, bool ctrl)
{
    NavKey nav;
    switch (key) {
    case VK_UP: nav = NavKey::Up; break;
    case VK_DOWN: nav = NavKey::Down; break;
    case VK_PRIOR: nav = NavKey::PageUp; break;
    case VK_NEXT: nav = NavKey::PageDown; break;
    case VK_HOME: nav = NavKey::Home; break;
    default: nav = NavKey::End; break;
    }
    const int row = scroll_.NavigateTarget(nav, selection_.FocusRow());
    if (row < 0)
        return;
    const int column = selection_.FocusColumn();
    EnsureVisible(row, column);
    if (ctrl) {
        selection_.SetFocus(row, column);
        Invalidate();
    } else {
        SelectItem(row, column, shift ? unsigned{kSelectShift} : 0u);
    }
}

void ListEngine::TypeAheadKey(wchar_t letter)
{
    const int index = sort_.Column() >= 0 ? sort_.Column() : 0;
    const int row = typeAhead_.OnLetter(letter, ::GetTickCount64(), selection_.FocusRow(), RowCount(),
                                        [this, index](int r) { return ItemText(r, index); });
    if (row < 0)
        return;
    EnsureVisible(row, -1);
    SelectItem(row, selection_.FocusColumn(), kSelectPlain);
}

LRESULT ListEngine::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    const UINT key = static_cast<UINT>(wParam);
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    if (gesture_.Is(ListGesture::Mode::HeaderDragging)) {
        if (key == VK_ESCAPE)
            EndHeaderDrag(false);
        return 0;
    }
    switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
        MoveFocusByKey(key, shift, ctrl);
        return 0;
    case VK_TAB:
    case VK_LEFT:
    case VK_RIGHT: {
        if (!focusCellMode_) {
            if (key == VK_TAB) {
                handled = FALSE;
                return 0;
            }
            const int step = ctrl ? 50 : 5;
            SetHorizontalPosition(scroll_.HorizontalPos() + (key == VK_LEFT ? -step : step));
            return 0;
        }
        const bool back = key == VK_LEFT || (key == VK_TAB && shift);
        int position = columns_.PositionOf(selection_.FocusColumn());
        do {
            position += back ? -1 : 1;
        } while (position >= 0 && position < columns_.Count() && columns_.At(position)->width == 0);
        if (position < 0 || position >= columns_.Count() || selection_.FocusRow() < 0)
            return 0;
        const int row = selection_.FocusRow();
        const int column = IndexAt(position);
        EnsureVisible(row, column);
        if (ctrl) {
            selection_.SetFocus(row, column);
            Invalidate();
        } else {
            SelectItem(row, column, (shift && key != VK_TAB) ? unsigned{kSelectShift} : 0u);
        }
        return 0;
    }
    case VK_SPACE: {
        const int row = selection_.FocusRow();
        if (row < 0 || row >= RowCount())
            return 0;
        int position = columns_.PositionOf(selection_.FocusColumn());
        if (position < 0) {
            for (int p = 0; p < columns_.Count() && position < 0; ++p) {
                const int f = ItemFormat(row, IndexAt(p));
                if (f == kFormatCheckBox || f == kFormatTriState)
                    position = p;
            }
        }
        if (position >= 0 && !(ItemFlags(row, IndexAt(position)) & kFlagReadOnly))
            CellClickAction(row, position, true);
        return 0;
    }
    default:
        break;
    }
    if (key >= 'A' && key <= 'Z') {
        if (ctrl) {
            if (key == 'A' && selection_.SelectAll(RowCount()))
                Invalidate();
            else if (key == 'C')
                rows_.copy(rows_.self);
            return 0;
        }
        TypeAheadKey(static_cast<wchar_t>(key));
        return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT ListEngine::OnSysKeyDown(UINT, WPARAM, LPARAM, BOOL& handled)
{
    HideTitleTip();
    handled = FALSE;
    return 0;
}

}  // namespace Vorlaq
