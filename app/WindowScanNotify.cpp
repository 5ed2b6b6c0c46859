#include "app/WindowScanNotify.h"

#include "app/ScanMessages.h"
#include "scan/PostRetry.h"

namespace Vorlaq {

bool WindowScanNotify::Post(UINT message, WPARAM wParam)
{
    return PostUntilAccepted([&] { return ::PostMessageW(window_, message, wParam, 0) != FALSE; },
                             [&] { return ::IsWindow(window_) != FALSE; }, abandoned_);
}

void WindowScanNotify::Found(std::unique_ptr<DeletedFileInfo> file)
{
    // The pointer changes hands only once the message is in the queue.
    if (Post(FileScanFound, reinterpret_cast<WPARAM>(file.get())))
        file.release();
}

void WindowScanNotify::Finished()
{
    Post(FileScanFinished, 0);
}

std::unique_ptr<DeletedFileInfo> TakeFoundFile(WPARAM wParam)
{
    return std::unique_ptr<DeletedFileInfo>(reinterpret_cast<DeletedFileInfo*>(wParam));
}

void DiscardScanMessages(HWND window)
{
    MSG msg;
    while (::PeekMessageW(&msg, window, FileScanFound, FileScanFound, PM_REMOVE))
        TakeFoundFile(msg.wParam);
    while (::PeekMessageW(&msg, window, FileScanFinished, FileScanFinished, PM_REMOVE)) {
    }
}

}  // namespace Vorlaq
