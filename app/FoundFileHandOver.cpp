#include "app/FoundFileHandOver.h"

#include <chrono>

namespace Vorlaq {

bool FoundFileHandOver::Put(std::unique_ptr<DeletedFileInfo>& file, const std::function<bool()>& keepWaiting,
                            bool* wasEmpty)
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (held_ || files_.size() >= limit_) {
        // The window's end or the task's cannot notify: look at them now and then.
        if (!keepWaiting())
            return false;
        room_.wait_for(lock, std::chrono::milliseconds(20));
    }
    *wasEmpty = files_.empty();
    files_.push_back(std::move(file));
    return true;
}

FoundFileHandOver::Files FoundFileHandOver::TakeAll()
{
    Files taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(files_);
    }
    room_.notify_one();
    return taken;
}

bool FoundFileHandOver::Empty() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.empty();
}

void FoundFileHandOver::Hold(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = on;
    }
    room_.notify_one();
}

}  // namespace Vorlaq
