#pragma once
// A scan's reports to a window: each found file, made into the list's row (a Recycle Bin file
// under its original name: FileListText.h), goes into the hand-over box shared with the window,
// and FileScanFound is posted when the box was empty (the window takes all it holds on each
// message); the end is posted as FileScanFinished. A post refused while the window exists
// (its queue is full) is tried again until it is taken; once the window is gone or the task is
// being destroyed the file is dropped here.
#include <windows.h>

#include <atomic>
#include <memory>
#include <utility>

#include "scan/FoundFileChannel.h"
#include "scan/FileScanNotify.h"

namespace Vorlaq {

class WindowScanNotify : public FileScanNotify {
public:
    WindowScanNotify(HWND window, std::shared_ptr<FoundFileChannel> box)
        : window_(window), box_(std::move(box)) {}

    void Found(std::unique_ptr<DeletedFileInfo> file) override;
    void Finished() override;
    void Abandon() override { abandoned_.store(true, std::memory_order_relaxed); }

private:
    bool Post(UINT message);
    bool WindowWaits() const;

    const HWND window_;
    const std::shared_ptr<FoundFileChannel> box_;
    std::atomic<bool> abandoned_{false};
};

// Removes the scan messages still queued for the window, so that a new scan starts without
// leftovers of the one before.
void DiscardScanMessages(HWND window);

}  // namespace Vorlaq
