#include "listctrl/ListScroll.h"

#include <algorithm>

namespace Vorlaq {

namespace {

constexpr int kHorizontalLine = 5;

}  // namespace

int ScrollRange::LastPosition() const
{
    if (maximum <= 0)
        return 0;
    return std::max(0, maximum - std::max(page - 1, 0));
}

void ListScroll::SetMetrics(int rowHeight, int headerHeight, int clientWidth, int clientHeight)
{
    rowHeight_ = std::max(1, rowHeight);
    headerHeight_ = std::max(0, headerHeight);
    clientWidth_ = std::max(0, clientWidth);
    clientHeight_ = std::max(0, clientHeight);
    vPos_ = ClampV(vPos_);
    hPos_ = ClampH(hPos_);
}

void ListScroll::SetContent(int rowCount, int totalWidth)
{
    rowCount_ = std::max(0, rowCount);
    totalWidth_ = std::max(0, totalWidth);
    vPos_ = ClampV(vPos_);
    hPos_ = ClampH(hPos_);
}

void ListScroll::SetVerticalPos(int pos) { vPos_ = ClampV(pos); }
void ListScroll::SetHorizontalPos(int pos) { hPos_ = ClampH(pos); }

ScrollRange ListScroll::VerticalRange() const
{
    ScrollRange range;
    range.maximum = static_cast<int>(std::min<long long>(
        static_cast<long long>(rowCount_) * rowHeight_ + headerHeight_, 0x7FFFFFFF));
    range.page = std::max(0, clientHeight_ - headerHeight_);
    if (range.page + headerHeight_ >= range.maximum)
        range.maximum = 0;
    return range;
}

ScrollRange ListScroll::HorizontalRange() const
{
    ScrollRange range;
    range.maximum = totalWidth_;
    range.page = clientWidth_;
    if (range.page >= range.maximum)
        range.maximum = 0;
    return range;
}

int ListScroll::ClampV(int pos) const
{
    return std::clamp(pos, 0, VerticalRange().LastPosition());
}

int ListScroll::ClampH(int pos) const
{
    return std::clamp(pos, 0, HorizontalRange().LastPosition());
}

int ListScroll::RowsPerPage(bool partial) const
{
    const int space = std::max(0, clientHeight_ - headerHeight_);
    int rows = space / rowHeight_;
    if (partial && space % rowHeight_ != 0)
        ++rows;
    return std::max(1, rows);
}

int ListScroll::RowAt(int y) const
{
    if (y < headerHeight_)
        return -1;
    const int row = TopRow() + (y - headerHeight_) / rowHeight_;
    return row >= 0 && row < rowCount_ ? row : -1;
}

bool ListScroll::IsRowFullyVisible(int row) const
{
    const int top = TopRow();
    return row >= top && row < top + std::max(0, clientHeight_ - headerHeight_) / rowHeight_;
}

int ListScroll::VerticalTarget(ScrollCommand command, int trackPos) const
{
    const int page = std::max(0, clientHeight_ - headerHeight_);
    switch (command) {
    case ScrollCommand::LineUp: return ClampV(vPos_ - rowHeight_);
    case ScrollCommand::LineDown: return ClampV(vPos_ + rowHeight_);
    case ScrollCommand::PageUp: return ClampV(vPos_ - page);
    case ScrollCommand::PageDown: return ClampV(vPos_ + page);
    case ScrollCommand::Top: return 0;
    case ScrollCommand::Bottom: return ClampV(rowCount_ * rowHeight_);
    case ScrollCommand::Thumb: return ClampV(trackPos);
    }
    return vPos_;
}

int ListScroll::HorizontalTarget(ScrollCommand command, int trackPos) const
{
    switch (command) {
    case ScrollCommand::LineUp: return ClampH(hPos_ - kHorizontalLine);
    case ScrollCommand::LineDown: return ClampH(hPos_ + kHorizontalLine);
    case ScrollCommand::PageUp: return ClampH(hPos_ - clientWidth_);
    case ScrollCommand::PageDown: return ClampH(hPos_ + clientWidth_);
    case ScrollCommand::Top: return 0;
    case ScrollCommand::Bottom: return ClampH(totalWidth_);
    case ScrollCommand::Thumb: return ClampH(trackPos);
    }
    return hPos_;
}

int ListScroll::WheelTarget(int delta, int wheelLines) const
{
    const int rows = delta * wheelLines / 120;
    return ClampV(vPos_ - rows * rowHeight_);
}

int ListScroll::EnsureVisibleTarget(int row) const
{
    if (row < 0 || row >= rowCount_)
        return vPos_;
    const int top = TopRow();
    if (row < top)
        return ClampV(row * rowHeight_);
    const int whole = std::max(1, std::max(0, clientHeight_ - headerHeight_) / rowHeight_);
    if (row >= top + whole)
        return ClampV((row - whole + 1) * rowHeight_);
    return vPos_;
}

int ListScroll::EnsureColumnVisibleTarget(int left, int right) const
{
    if (left < hPos_)
        return ClampH(left);
    if (right > hPos_ + clientWidth_)
        return ClampH(std::min(left, right - clientWidth_));
    return hPos_;
}

int ListScroll::NavigateTarget(NavKey key, int focusRow) const
{
    if (rowCount_ <= 0)
        return -1;
    const int step = std::max(1, RowsPerPage() - 1);
    int row = focusRow;
    switch (key) {
    case NavKey::Up: row = focusRow - 1; break;
    case NavKey::Down: row = focusRow + 1; break;
    case NavKey::PageUp: row = focusRow - step; break;
    case NavKey::PageDown: row = focusRow + step; break;
    case NavKey::Home: row = 0; break;
    case NavKey::End: row = rowCount_ - 1; break;
    }
    return std::clamp(row, 0, rowCount_ - 1);
}

ListPoint ListScroll::ToContent(ListPoint client) const
{
    return {client.x + hPos_, client.y - headerHeight_ + TopRow() * rowHeight_};
}

ListPoint ListScroll::ToClient(ListPoint content) const
{
    return {content.x - hPos_, content.y + headerHeight_ - TopRow() * rowHeight_};
}

void ListScroll::RowsInBand(const ListRect& band, int* first, int* last) const
{
    *first = std::max(0, band.top / rowHeight_);
    *last = std::min(rowCount_ - 1, band.bottom / rowHeight_);
    if (band.bottom < 0)
        *last = -1;
}

void AutoScrollDirection(ListPoint mouse, int headerHeight, int clientWidth, int clientHeight, int* dx, int* dy)
{
    *dy = mouse.y < headerHeight ? -1 : (mouse.y >= clientHeight ? 1 : 0);
    *dx = mouse.x < 0 ? -1 : (mouse.x >= clientWidth ? 1 : 0);
}

}  // namespace Vorlaq
