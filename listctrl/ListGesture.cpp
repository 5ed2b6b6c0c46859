#include "listctrl/ListGesture.h"

namespace Vorlaq {

void ListGesture::BeginResize(int position, int startWidth, int startX)
{
    End();
    mode_ = Mode::Resizing;
    column_ = position;
    startWidth_ = startWidth;
    startX_ = startX;
}

void ListGesture::PressHeader(int position)
{
    End();
    mode_ = Mode::HeaderPressed;
    column_ = position;
}

bool ListGesture::BeginHeaderDrag()
{
    if (!Is(Mode::HeaderPressed))
        return false;
    mode_ = Mode::HeaderDragging;
    return true;
}

void ListGesture::BeginBand()
{
    End();
    mode_ = Mode::Banding;
}

void ListGesture::DeferClick(int row, int column)
{
    End();
    mode_ = Mode::DeferredClick;
    row_ = row;
    column_ = column;
}

void ListGesture::SetPendingWidth(int width)
{
    if (Is(Mode::Resizing))
        pendingWidth_ = width;
}

void ListGesture::SetDropPosition(int position)
{
    if (Is(Mode::HeaderDragging))
        dropPosition_ = position;
}

void ListGesture::SetBand(const ListRect& band)
{
    if (Is(Mode::Banding))
        band_ = band;
}

}  // namespace Vorlaq
