#include "tests/robust/RobustSupport.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "fuzz/harness/Destination.h"
#include "scan/FileScanNotify.h"
#include "scan/FileScanTask.h"
#include "scan/RestoreFile.h"

namespace QuorretTest {

namespace fs = std::filesystem;

std::vector<FixtureImage> LoadFixtureImages() {
    const fs::path sources = fs::path(QUORRET_SOURCE_DIR) / "tests" / "fixtures";
    const fs::path unpacked = fs::path(QUORRET_BINARY_DIR) / "robust-images";
    fs::create_directories(unpacked);
    std::vector<fs::path> packed;
    for (const auto& entry : fs::directory_iterator(sources)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 7 && name.ends_with(".img.xz")) packed.push_back(entry.path());
    }
    std::sort(packed.begin(), packed.end());
    std::vector<FixtureImage> images;
    for (const fs::path& source : packed) {
        const std::string name = source.filename().string().substr(0, source.filename().string().size() - 7);
        const fs::path image = unpacked / (name + ".img");
        if (!fs::exists(image) || fs::last_write_time(image) < fs::last_write_time(source)) {
            const fs::path part = unpacked / (name + ".img.part");
            const std::string command = "xz -dc '" + source.string() + "' > '" + part.string() + "'";
            if (std::system(command.c_str()) != 0) continue;
            fs::rename(part, image);
        }
        auto bytes = std::make_shared<Bytes>(static_cast<size_t>(fs::file_size(image)));
        std::ifstream in(image, std::ios::binary);
        in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        if (!in) continue;
        images.push_back({name, std::move(bytes)});
    }
    return images;
}

bool PatchedDevice::ReadAt(uint64_t offset, void* buffer, uint32_t length, uint32_t* delivered) {
    *delivered = 0;
    const uint64_t end = std::min<uint64_t>(view_->base->size(), view_->size);
    if (offset >= end) return true;
    const uint64_t n = std::min<uint64_t>(length, end - offset);
    auto* out = static_cast<uint8_t*>(buffer);
    std::memcpy(out, view_->base->data() + offset, static_cast<size_t>(n));
    for (const Patch& patch : view_->patches) {
        const uint64_t from = std::max(offset, patch.offset);
        const uint64_t to = std::min(offset + n, patch.offset + patch.bytes.size());
        if (from < to)
            std::memcpy(out + (from - offset), patch.bytes.data() + (from - patch.offset), static_cast<size_t>(to - from));
    }
    *delivered = static_cast<uint32_t>(n);
    return true;
}

Vorlaq::VolumeSource SourceOf(std::function<std::unique_ptr<Vorlaq::Device>()> make) {
    return Vorlaq::VolumeSource::FromDevice(std::move(make), L"T:\\");
}

namespace {

class Collect : public Vorlaq::FileScanNotify {
public:
    explicit Collect(std::vector<Vorlaq::DeletedFileInfo>* files) : files_(files) {}
    void Found(std::unique_ptr<Vorlaq::DeletedFileInfo> file) override { files_->push_back(*file); }
    void Finished() override {}

private:
    std::vector<Vorlaq::DeletedFileInfo>* files_;
};

}  // namespace

ScanResult Scan(const Vorlaq::VolumeSource& source) {
    ScanResult result;
    const auto start = std::chrono::steady_clock::now();
    Vorlaq::FileScanTask task;
    task.SetNotify(std::make_unique<Collect>(&result.files));
    task.SetVolume(source);
    task.SetFilters(L"");
    Vorlaq::FileScanTask::ScanThreadProc(&task);
    result.state = task.GetState();
    result.elapsed = std::chrono::steady_clock::now() - start;
    return result;
}

std::vector<RestoreResult> RestoreAll(const Vorlaq::VolumeSource& source, const std::vector<Vorlaq::DeletedFileInfo>& files,
                                      const fs::path& folder, uint64_t maxSize) {
    std::vector<RestoreResult> results;
    const std::wstring engineFolder = QuorretFuzz::EnginePath(folder);
    for (const Vorlaq::DeletedFileInfo& file : files) {
        if (file.GetSize() > maxSize) continue;
        RestoreResult r;
        r.record = file.GetRecordNumber();
        r.size = file.GetSize();
        r.dest = QuorretFuzz::DestinationFor(engineFolder, file.GetName());
        if (!r.dest.empty()) r.ok = Vorlaq::RestoreFile(source, file.GetRecordNumber(), r.dest);
        results.push_back(r);
    }
    return results;
}

struct Watchdog::State {
    std::mutex lock;
    std::condition_variable disarmed;
    bool done = false;
};

Watchdog::Watchdog(std::string what, std::chrono::seconds limit) : state_(std::make_shared<State>()) {
    std::thread([state = state_, what = std::move(what), limit] {
        std::unique_lock<std::mutex> hold(state->lock);
        if (!state->disarmed.wait_for(hold, limit, [&] { return state->done; })) {
            std::fprintf(stderr, "watchdog: %s did not end within %lld s\n", what.c_str(),
                         static_cast<long long>(limit.count()));
            std::abort();
        }
    }).detach();
}

Watchdog::~Watchdog() {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->done = true;
    state_->disarmed.notify_all();
}

std::vector<std::string> ListTree(const fs::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_directory()) relative += "/";
        entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace QuorretTest
