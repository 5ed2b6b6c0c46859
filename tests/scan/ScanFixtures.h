#pragma once
// Synthetic volumes and a collecting notify target for the engine's tests.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "scan/DeletedFileInfo.h"
#include "scan/FileScanNotify.h"
#include "ntfs/NTFSVolume.h"
#include "scan/VolumeSource.h"
#include "tests/support/VolumeImage.h"

namespace QuorretTest {

inline Vorlaq::VolumeSource MemorySource(std::shared_ptr<const Bytes> image, const std::wstring& text = L"T:\\") {
    return Vorlaq::VolumeSource::FromDevice([image] { return OpenImage(image); }, text);
}

inline std::unique_ptr<Vorlaq::NTFSVolume> OpenMemoryVolume(std::shared_ptr<const Bytes> image,
                                                             const std::wstring& text = L"T:\\") {
    return std::make_unique<Vorlaq::NTFSVolume>(OpenImage(image), text);
}

inline Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    return bytes;
}

// Records what a scan reports, from the worker thread.
class CollectingNotify : public Vorlaq::FileScanNotify {
public:
    struct Log {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<Vorlaq::DeletedFileInfo> files;
        int finished = 0;
        bool destroyed = false;
        bool reportedAfterDestruction = false;
    };

    explicit CollectingNotify(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    ~CollectingNotify() override {
        std::lock_guard<std::mutex> hold(log_->lock);
        log_->destroyed = true;
    }
    void Found(std::unique_ptr<Vorlaq::DeletedFileInfo> file) override {
        std::lock_guard<std::mutex> hold(log_->lock);
        log_->files.push_back(*file);
        log_->changed.notify_all();
    }
    void Finished() override {
        std::lock_guard<std::mutex> hold(log_->lock);
        ++log_->finished;
        log_->changed.notify_all();
    }

private:
    std::shared_ptr<Log> log_;
};

}  // namespace QuorretTest
