// Painting: background, rows and cells, the rubber band, the header; always into an off-screen
// bitmap first, copied to the window in one step.
#include <algorithm>

#include <vssym32.h>

#include "listctrl/CellRules.h"
#include "listctrl/ListEngine.h"
#include "listctrl/RoundFrame.h"

namespace Vorlaq {

namespace {

// A memory DC with a bitmap selected, put back on destruction.
class MemoryDC {
public:
    MemoryDC(HDC like, HBITMAP bitmap) : dc_(::CreateCompatibleDC(like)), old_(::SelectObject(dc_, bitmap)) {}
    ~MemoryDC()
    {
        ::SelectObject(dc_, old_);
        ::DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    operator HDC() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_;
};

void FillSolid(HDC dc, const RECT& rc, COLORREF colour)
{
    const COLORREF old = ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
}

void VerticalGradient(HDC dc, const RECT& rc, COLORREF top, COLORREF bottom)
{
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    TRIVERTEX v[2] = {
        {rc.left, rc.top, static_cast<COLOR16>(GetRValue(top) << 8), static_cast<COLOR16>(GetGValue(top) << 8),
         static_cast<COLOR16>(GetBValue(top) << 8), 0},
        {rc.right, rc.bottom, static_cast<COLOR16>(GetRValue(bottom) << 8),
         static_cast<COLOR16>(GetGValue(bottom) << 8), static_cast<COLOR16>(GetBValue(bottom) << 8), 0}};
    GRADIENT_RECT r{0, 1};
    ::GradientFill(dc, v, 2, &r, 1, GRADIENT_FILL_RECT_V);
}

void HorizontalGradient(HDC dc, const RECT& rc, COLORREF left, COLORREF right)
{
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    TRIVERTEX v[2] = {
        {rc.left, rc.top, static_cast<COLOR16>(GetRValue(left) << 8), static_cast<COLOR16>(GetGValue(left) << 8),
         static_cast<COLOR16>(GetBValue(left) << 8), 0},
        {rc.right, rc.bottom, static_cast<COLOR16>(GetRValue(right) << 8),
         static_cast<COLOR16>(GetGValue(right) << 8), static_cast<COLOR16>(GetBValue(right) << 8), 0}};
    GRADIENT_RECT r{0, 1};
    ::GradientFill(dc, v, 2, &r, 1, GRADIENT_FILL_RECT_H);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour)
{
    const HPEN p = ::CreatePen(PS_SOLID, 1, colour);
    const HGDIOBJ old = ::SelectObject(dc, p);
    ::MoveToEx(dc, x1, y1, nullptr);
    ::LineTo(dc, x2, y2);
    ::SelectObject(dc, old);
    ::DeleteObject(p);
}

bool Intersects(const RECT& a, const RECT& b)
{
    RECT out;
    return ::IntersectRect(&out, &a, &b) != FALSE;
}

UINT AlignOf(unsigned flags)
{
    if (flags & kFlagRight)
        return DT_RIGHT;
    if (flags & kFlagCentre)
        return DT_CENTER;
    return DT_LEFT;
}

}  // namespace

LRESULT ListEngine::OnPaint(UINT msg, WPARAM wParam, LPARAM, BOOL&)
{
    const RECT client = GetClientRect();
    PAINTSTRUCT ps{};
    HDC target;
    RECT clip;
    if (msg == WM_PRINTCLIENT) {
        target = reinterpret_cast<HDC>(wParam);
        clip = client;
    } else {
        target = ::BeginPaint(m_hWnd, &ps);
        clip = ps.rcPaint;
    }
    const SIZE size{std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)};
    if (buffer_ == nullptr || bufferSize_.cx != size.cx || bufferSize_.cy != size.cy) {
        if (buffer_)
            ::DeleteObject(buffer_);
        buffer_ = ::CreateCompatibleBitmap(target, size.cx, size.cy);
        bufferSize_ = size;
    }
    if (buffer_) {
        MemoryDC mem(target, buffer_);
        Paint(mem, clip);
        ::BitBlt(target, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, mem, clip.left,
                 clip.top, SRCCOPY);
    }
    if (msg != WM_PRINTCLIENT)
        ::EndPaint(m_hWnd, &ps);
    return 0;
}

void ListEngine::Paint(HDC dc, const RECT& clip)
{
    const RECT client = GetClientRect();
    FillSolid(dc, clip, colours_.background);
    PaintBackgroundImage(dc, clip);
    const int header = HeaderHeight();
    const int page = std::max<int>(0, client.bottom - header);
    ::SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = ::SelectObject(dc, font_);
    if (smooth_.Running() && snapshot_) {
        // The pre-drawn rows slide towards their place.
        const int distance = smooth_.Distance();
        const int source = smooth_.Downwards() ? distance - smooth_.Remaining() : smooth_.Remaining();
        MemoryDC snap(dc, snapshot_);
        ::BitBlt(dc, 0, header, client.right, page, snap, 0, source, SRCCOPY);
    } else {
        PaintRows(dc, clip, scroll_.TopRow(), header, page);
    }
    if (gesture_.Is(ListGesture::Mode::Banding))
        PaintSelectionRect(dc);
    if (showHeader_)
        PaintHeader(dc);
    ::SelectObject(dc, oldFont);
}

void ListEngine::PaintBackgroundImage(HDC dc, const RECT& clip)
{
    if (backgroundImage_ == nullptr)
        return;
    BITMAP bm{};
    if (!::GetObjectW(backgroundImage_, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return;
    const RECT client = GetClientRect();
    MemoryDC image(dc, backgroundImage_);
    if (backgroundTile_) {
        for (int y = clip.top - clip.top % bm.bmHeight; y < clip.bottom; y += bm.bmHeight)
            for (int x = clip.left - clip.left % bm.bmWidth; x < clip.right; x += bm.bmWidth)
                ::BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, image, 0, 0, SRCCOPY);
    } else {
        ::BitBlt(dc, (client.right - bm.bmWidth) / 2, (client.bottom - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight,
                 image, 0, 0, SRCCOPY);
    }
}

void ListEngine::PaintRows(HDC dc, const RECT& clip, int firstRow, int yOrigin, int height)
{
    const int count = RowCount();
    const HWND focus = ::GetFocus();
    const bool focused = focus == m_hWnd || (focus && ::GetParent(focus) == m_hWnd && focus != tooltip_);
    for (int row = std::max(firstRow, 0), y = yOrigin; row < count && y < yOrigin + height; ++row, y += rowHeight_) {
        const RECT rowRect{clip.left, y, clip.right, y + rowHeight_};
        if (Intersects(rowRect, clip))
            PaintRow(dc, row, y, focused);
    }
}

void ListEngine::PaintRow(HDC dc, int row, int y, bool focused)
{
    const bool selected = selection_.IsSelected(row);
    const int x0 = -scroll_.HorizontalPos();
    if (selected) {
        const RECT rc{x0, y, x0 + columns_.TotalWidth() + 1, y + rowHeight_};
        if (theme_) {
            RoundFrame(dc, rc, Px(5), focused ? colours_.frameOuterFocus : colours_.frameOuterNoFocus,
                       colours_.background);
            const RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
            RoundFrame(dc, inner, Px(2), focused ? colours_.frameInnerFocus : colours_.frameInnerNoFocus,
                       colours_.background);
            const RECT fill{rc.left + 2, rc.top + 2, rc.right - 2, rc.bottom - 2};
            VerticalGradient(dc, fill, focused ? colours_.gradientTopFocus : colours_.gradientTopNoFocus,
                             focused ? colours_.gradientBottomFocus : colours_.gradientBottomNoFocus);
        } else {
            FillSolid(dc, rc, colours_.selected);
        }
    }
    const RECT client = GetClientRect();
    int left = x0;
    for (int position = 0; position < columns_.Count(); ++position) {
        const int width = columns_.At(position)->width;
        const RECT cell{left, y, left + width, y + rowHeight_};
        left += width;
        if (width <= 0 || cell.right < 0 || cell.left > client.right)
            continue;
        PaintCell(dc, row, position, cell, selected);
    }
}

void ListEngine::PaintCell(HDC dc, int row, int position, const RECT& cell, bool selected)
{
    const ListColumn* column = columns_.At(position);
    const int index = column->index;
    const int format = ItemFormat(row, index);
    const unsigned flags = ItemFlags(row, index);
    const std::wstring text = ItemText(row, index);
    COLORREF textColour = selected && !theme_ ? colours_.selectedText : colours_.rowText;

    const bool focusCell = focusCellMode_ && row == selection_.FocusRow() && index == selection_.FocusColumn();
    if (focusCell) {
        if (theme_)
            VerticalGradient(dc, cell, colours_.focusCellTop, colours_.focusCellBottom);
        else
            FillSolid(dc, cell, colours_.classicTint);
        textColour = colours_.rowText;
    } else {
        COLORREF background = colours_.background, foreground = colours_.rowText;
        rows_.colours(rows_.self, row, index, &background, &foreground);
        if (background != colours_.background)
            RoundFrame(dc, cell, Px(3), background, background);
        if (!(selected && !theme_))
            textColour = foreground;
    }

    RECT textRect = TextRectIn(cell, position);

    // Check boxes show their image only.
    const int checkImage = CheckImage(format, text);
    if (checkImage >= 0) {
        const int x = (flags & kFlagCentre) ? (cell.left + cell.right - imageWidth_) / 2 : textRect.left;
        ImageList_Draw(images_, checkImage, dc, x, cell.top + (rowHeight_ - imageHeight_) / 2, ILD_TRANSPARENT);
        return;
    }

    const int image = itemImages_ ? ItemImage(row, index) : -1;
    if (image >= 0) {
        int w = 0, h = 0;
        ImageList_GetIconSize(itemImages_, &w, &h);
        if (textRect.left + w <= cell.right)
            ImageList_Draw(itemImages_, image, dc, textRect.left, cell.top + (rowHeight_ - h) / 2, ILD_TRANSPARENT);
        textRect.left += w + Px(4);
    }

    COLORREF mark = 0;
    if (ItemMark(row, index, &mark)) {
        const int size = Px(8);
        const int top = cell.top + (rowHeight_ - size) / 2;
        if (textRect.left + size <= cell.right)
            RoundFrame(dc, RECT{textRect.left, top, textRect.left + size, top + size}, size, mark, mark);
        textRect.left += size + Px(4);
    }

    UINT align = AlignOf(flags);
    switch (format) {
    case kFormatProgress: {
        const int value = std::clamp(CheckValue(text), 0, 100);
        RECT bar{cell.left + Px(2), cell.top + Px(2), cell.right - Px(2), cell.bottom - Px(2)};
        if (progressTheme_)
            ::DrawThemeBackground(progressTheme_, dc, PP_BAR, 0, &bar, nullptr);
        else
            ::FrameRect(dc, &bar, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
        RECT fill{bar.left + 1, bar.top + 1, bar.left + 1 + (bar.right - bar.left - 2) * value / 100, bar.bottom - 1};
        HorizontalGradient(dc, fill, colours_.progressFrom, colours_.progressTo);
        textRect = bar;
        align = DT_CENTER;
        textColour = colours_.rowText;
        break;
    }
    case kFormatButton: {
        RECT button{cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1};
        ::DrawFrameControl(dc, &button, DFC_BUTTON, DFCS_BUTTONPUSH);
        textRect = button;
        align = DT_CENTER;
        textColour = ::GetSysColor(COLOR_BTNTEXT);
        break;
    }
    default:
        break;
    }
    const bool link = format == kFormatHyperlink || (format == kFormatHyperlinkIfText && !text.empty());
    HGDIOBJ oldFont = nullptr;
    if (link) {
        oldFont = ::SelectObject(dc, linkFont_);
        textColour = colours_.hyperlink;
    }
    ::SetTextColor(dc, textColour);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (oldFont)
        ::SelectObject(dc, oldFont);
}

void ListEngine::PaintSelectionRect(HDC dc)
{
    const RECT client = GetClientRect();
    const ListRect& band = gesture_.Band();
    const ListPoint a = scroll_.ToClient({band.left, band.top});
    const ListPoint b = scroll_.ToClient({band.right, band.bottom});
    RECT rc{std::max<LONG>(a.x, 0), std::max<LONG>(a.y, HeaderHeight()), std::min<LONG>(b.x, client.right),
            std::min<LONG>(b.y, client.bottom)};
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const COLORREF tint = theme_ ? ::GetSysColor(COLOR_HIGHLIGHT) : colours_.classicTint;
    const HBITMAP bitmap = ::CreateCompatibleBitmap(dc, w, h);
    if (bitmap) {
        MemoryDC temp(dc, bitmap);
        const RECT all{0, 0, w, h};
        FillSolid(temp, all, tint);
        // The picture over the colour at 180 of 255: rows stay readable under the tint.
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 180, 0};
        ::AlphaBlend(temp, 0, 0, w, h, dc, rc.left, rc.top, w, h, blend);
        ::BitBlt(dc, rc.left, rc.top, w, h, temp, 0, 0, SRCCOPY);
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    const HBRUSH frame = ::CreateSolidBrush(theme_ ? ::GetSysColor(COLOR_HIGHLIGHT) : ::GetSysColor(COLOR_WINDOWTEXT));
    ::FrameRect(dc, &rc, frame);
    ::DeleteObject(frame);
}

void ListEngine::PaintHeader(HDC dc)
{
    const RECT client = GetClientRect();
    const int h = HeaderHeight();
    const RECT strip{0, 0, client.right, h};
    if (!theme_)
        FillSolid(dc, strip, colours_.headerBackground);
    int left = -scroll_.HorizontalPos();
    for (int position = 0; position < columns_.Count(); ++position) {
        const int width = columns_.At(position)->width;
        const RECT item{left, 0, left + width, h};
        left += width;
        if (width <= 0 || item.right < 0 || item.left > client.right)
            continue;
        if (theme_) {
            const int state = position == gesture_.PressedColumn() ? HIS_PRESSED
                              : position == hotHeaderColumn_ ? HIS_HOT : HIS_NORMAL;
            ::DrawThemeBackground(theme_, dc, HP_HEADERITEM, state, &item, nullptr);
        } else {
            if (position == gesture_.PressedColumn())
                FillSolid(dc, item, colours_.headerPressed);
            Line(dc, item.right - 1, Px(4), item.right - 1, h - Px(4), colours_.headerShadow);
            Line(dc, item.right, Px(4), item.right, h - Px(4), colours_.headerHighlight);
        }
        PaintHeaderItem(dc, position, item);
    }
    if (theme_) {
        const RECT rest{std::max(left, 0), 0, client.right + 2, h};
        if (rest.right > rest.left)
            ::DrawThemeBackground(theme_, dc, HP_HEADERITEM, HIS_NORMAL, &rest, nullptr);
    } else {
        RECT frame{0, 0, client.right + 2, h};
        ::DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
    }
}

void ListEngine::PaintHeaderItem(HDC dc, int position, const RECT& item)
{
    const ListColumn* column = columns_.At(position);
    RECT rc = item;
    rc.left += Px(position == 0 ? 4 : 3);
    ::OffsetRect(&rc, 0, Px(1));
    rc.left += Px(4);
    rc.right -= Px(5);
    const bool marked = sort_.Enabled() && column->index == sort_.Column() && column->width >= Px(16) && !column->fixed;
    if (marked)
        rc.right -= Px(15);
    if (column->image >= 0 && images_) {
        const int x = (column->flags & kFlagCentre) ? (item.left + item.right - imageWidth_) / 2 : rc.left;
        ImageList_Draw(images_, column->image, dc, x, (item.bottom - imageHeight_) / 2, ILD_TRANSPARENT);
        if (!column->title.empty())
            rc.left += imageWidth_ + Px(4);
    }
    ::SetTextColor(dc, colours_.headerText);
    ::SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ old = ::SelectObject(dc, font_);
    ::DrawTextW(dc, column->title.c_str(), static_cast<int>(column->title.size()), &rc,
                AlignOf(column->flags) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (marked) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, column->title.c_str(), static_cast<int>(column->title.size()), &size);
        const int textRight = rc.left + std::min<int>(size.cx, std::max<int>(rc.right - rc.left, 0));
        ImageList_Draw(images_, sort_.Direction() ? kImageSortDown : kImageSortUp, dc, textRight + Px(4),
                       HeaderHeight() / 2 - Px(3), ILD_TRANSPARENT);
    }
    ::SelectObject(dc, old);
}

bool ListEngine::TakeSmoothSnapshot(int oldTop, int newTop)
{
    DropSmoothSnapshot();
    const RECT client = GetClientRect();
    const int page = client.bottom - HeaderHeight();
    const int distance = (newTop > oldTop ? newTop - oldTop : oldTop - newTop) * rowHeight_;
    if (page <= 0 || client.right <= 0 || distance > 4 * page + 4 * rowHeight_)
        return false;
    const HDC screen = ::GetDC(m_hWnd);
    const int height = page + distance;
    snapshot_ = ::CreateCompatibleBitmap(screen, client.right, height);
    if (snapshot_) {
        MemoryDC mem(screen, snapshot_);
        const RECT all{0, 0, client.right, height};
        FillSolid(mem, all, colours_.background);
        ::SetBkMode(mem, TRANSPARENT);
        const HGDIOBJ old = ::SelectObject(mem, font_);
        PaintRows(mem, all, std::min(oldTop, newTop), 0, height);
        ::SelectObject(mem, old);
    }
    ::ReleaseDC(m_hWnd, screen);
    return snapshot_ != nullptr;
}

void ListEngine::DropSmoothSnapshot()
{
    if (snapshot_)
        ::DeleteObject(snapshot_);
    snapshot_ = nullptr;
}

}  // namespace Vorlaq
