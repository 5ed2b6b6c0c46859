#include "listctrl/ListColumns.h"

namespace Vorlaq {

namespace {

// How far from a column's right edge a point still grabs the divider.
constexpr int kDividerLeft = 5;
constexpr int kDividerRight = 4;

}  // namespace

int ListColumns::Add(const std::wstring& title, int width, int image, bool fixed, int format,
                     unsigned flags, int imageWidth)
{
    ListColumn column;
    column.title = title;
    column.width = width < 0 ? 0 : width;
    column.fixed = fixed;
    column.format = format;
    column.flags = flags;
    column.image = image;
    column.index = Count();
    if (title.empty() && image >= 0) {
        column.width = imageWidth + 5;
        column.flags |= kFlagCentre;
    }
    columns_.push_back(column);
    totalValid_ = false;
    return Count() - 1;
}

const ListColumn* ListColumns::At(int position) const
{
    return position >= 0 && position < Count() ? &columns_[static_cast<size_t>(position)] : nullptr;
}

ListColumn* ListColumns::At(int position)
{
    return position >= 0 && position < Count() ? &columns_[static_cast<size_t>(position)] : nullptr;
}

int ListColumns::PositionOf(int index) const
{
    for (int i = 0; i < Count(); ++i) {
        if (columns_[static_cast<size_t>(i)].index == index)
            return i;
    }
    return -1;
}

bool ListColumns::SetWidth(int position, int width)
{
    ListColumn* column = At(position);
    if (column == nullptr)
        return false;
    column->width = width < 0 ? 0 : width;
    totalValid_ = false;
    return true;
}

int ListColumns::Left(int position) const
{
    int x = 0;
    for (int i = 0; i < position && i < Count(); ++i)
        x += columns_[static_cast<size_t>(i)].width;
    return x;
}

int ListColumns::TotalWidth() const
{
    if (!totalValid_) {
        int sum = 0;
        for (const ListColumn& column : columns_)
            sum += column.width;
        totalWidth_ = sum - 1;
        totalValid_ = true;
    }
    return totalWidth_;
}

HeaderHit ListColumns::HitTestHeader(int x) const
{
    int left = 0;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        const int right = left + columns_[static_cast<size_t>(i)].width;
        if (x >= right - kDividerLeft && x <= right + kDividerRight) {
            if (x < right || i >= count - 2)
                return {i, true};
            // Right of the edge: hidden columns that follow share this edge, and the last of
            // them takes the divider so that it can be dragged open again.
            int owner = i;
            while (owner + 1 < count && columns_[static_cast<size_t>(owner) + 1].width == 0)
                ++owner;
            return {owner, true};
        }
        if (x > left && x < right)
            return {i, false};
        left = right;
    }
    return {};
}

int ListColumns::ColumnAt(int x) const
{
    int left = 0;
    for (int i = 0; i < Count(); ++i) {
        const int right = left + columns_[static_cast<size_t>(i)].width;
        if (x > left && x < right)
            return i;
        left = right;
    }
    return -1;
}

int ListColumns::DropPosition(int x, int dragged) const
{
    if (dragged < 0 || dragged >= Count())
        return -1;
    int position = Count();  // past the last column: after it
    int left = 0;
    for (int i = 0; i < Count(); ++i) {
        const int right = left + columns_[static_cast<size_t>(i)].width;
        if (x >= left && x < right) {
            position = x < left + (right - left) / 2 ? i : i + 1;
            break;
        }
        left = right;
    }
    if (position == dragged || position == dragged + 1)
        return -1;
    return position;
}

bool ListColumns::Move(int from, int dropPosition)
{
    if (from < 0 || from >= Count() || dropPosition < 0 || dropPosition > Count()
        || dropPosition == from || dropPosition == from + 1)
        return false;
    const ListColumn moving = columns_[static_cast<size_t>(from)];
    columns_.erase(columns_.begin() + from);
    const int target = dropPosition > from ? dropPosition - 1 : dropPosition;
    columns_.insert(columns_.begin() + target, moving);
    return true;
}

}  // namespace Vorlaq
