#pragma once
// Where a scan reports: one Found per deleted file, in record order, then one Finished. The
// command line and the tests implement it directly; the main dialog implements it over a
// hand-over box shared with its window and the registered messages "FileScanFound" and
// "FileScanFinished", posting through PostUntilAccepted so that a full message queue delays a
// message but never loses it.
#include <cstddef>
#include <memory>
#include <vector>

#include "scan/DeletedFileInfo.h"

namespace Vorlaq {

class FileScanNotify {
public:
    virtual ~FileScanNotify() = default;
    // On the worker thread. The receiver owns the file from here on.
    virtual void Found(std::unique_ptr<DeletedFileInfo> file) = 0;
    // On the worker thread, once, when the walk ended (completed or stopped). Not called when the
    // volume was refused.
    virtual void Finished() = 0;
    // On the worker thread: up to `most` files the receiver is done with, added to `into` for the
    // walk to fill anew. A receiver that keeps its files has none.
    virtual void TakeUsed(std::vector<std::unique_ptr<DeletedFileInfo>>& /*into*/, size_t /*most*/) {}
    // On the owner's thread, while the task is being destroyed: a Found or Finished that is
    // waiting for its receiver must give up and return.
    virtual void Abandon() {}
};

}  // namespace Vorlaq
