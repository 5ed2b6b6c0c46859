#include "app/WindowScanNotify.h"

#include "app/ScanMessages.h"
#include "listctrl/FileListText.h"
#include "scan/PostRetry.h"

namespace Vorlaq {

bool WindowScanNotify::Post(UINT message)
{
    return PostUntilAccepted([&] { return ::PostMessageW(window_, message, 0, 0) != FALSE; },
                             [&] { return ::IsWindow(window_) != FALSE; }, abandoned_);
}

bool WindowScanNotify::WindowWaits() const
{
    return !abandoned_.load(std::memory_order_relaxed) && ::IsWindow(window_);
}

void WindowScanNotify::Found(std::unique_ptr<DeletedFileInfo> file)
{
    // Made into the row the list holds here, off the window's thread.
    FileListShowOriginalPlace(*file);
    bool wasEmpty = false;
    if (!box_->Put(file, [this] { return WindowWaits(); }, &wasEmpty))
        return;
    // Files put into a box that was not empty are taken with the ones the window was told of.
    if (wasEmpty)
        Post(FileScanFound);
}

void WindowScanNotify::Finished()
{
    Post(FileScanFinished);
}

void DiscardScanMessages(HWND window)
{
    MSG msg;
    while (::PeekMessageW(&msg, window, FileScanFound, FileScanFound, PM_REMOVE)) {
    }
    while (::PeekMessageW(&msg, window, FileScanFinished, FileScanFinished, PM_REMOVE)) {
    }
}

}  // namespace Vorlaq
