#pragma once
// A scan's reports posted to a window: each found file travels as the released pointer in
// FileScanFound's wParam (the window re-owns it on receipt), the end as FileScanFinished. A post
// refused while the window exists (its queue is full) is tried again until it is taken, so no
// file is lost; once the window is gone or the task is being destroyed the file is dropped here.
#include <windows.h>

#include <atomic>
#include <memory>

#include "scan/FileScanNotify.h"

namespace Vorlaq {

class WindowScanNotify : public FileScanNotify {
public:
    explicit WindowScanNotify(HWND window) : window_(window) {}

    void Found(std::unique_ptr<DeletedFileInfo> file) override;
    void Finished() override;
    void Abandon() override { abandoned_.store(true, std::memory_order_relaxed); }

private:
    bool Post(UINT message, WPARAM wParam);

    const HWND window_;
    std::atomic<bool> abandoned_{false};
};

// The receiving side: takes the record a FileScanFound message carries.
std::unique_ptr<DeletedFileInfo> TakeFoundFile(WPARAM wParam);

// Removes the scan messages still queued for the window (their files are deleted), so that a new
// scan starts without leftovers of the one before.
void DiscardScanMessages(HWND window);

}  // namespace Vorlaq
