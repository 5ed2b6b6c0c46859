#include "scan/RecycleBinJoin.h"

#include <algorithm>

#include "base/LogManager.h"
#include "base/Utf16.h"

namespace Vorlaq {

namespace {

// "$I" or "$R" (`kind`, either case), six characters without a dot, then nothing or an
// extension: the name after its first two characters, folded; nothing for any other name.
std::optional<std::wstring> BinSuffix(const std::wstring& name, wchar_t kind) {
    if (name.size() < 8 || name[0] != L'$' || (name[1] | 0x20) != (kind | 0x20)) return std::nullopt;
    if (std::find(name.begin() + 2, name.begin() + 8, L'.') != name.begin() + 8) return std::nullopt;
    if (name.size() > 8 && name[8] != L'.') return std::nullopt;
    return FoldAsciiLower(name.substr(2));
}

}  // namespace

RecycleBinJoin::RecycleBinJoin(std::wstring volumeRoot) : prefix_(FoldAsciiLower(volumeRoot + L"$Recycle.Bin\\")) {}

bool RecycleBinJoin::IsIndexName(const std::wstring& name) { return BinSuffix(name, L'I').has_value(); }

bool RecycleBinJoin::Holds(const DeletedFileInfo& file) const {
    // Asked of every found file: compared in place, A-Z folded as the prefix was.
    const std::wstring& path = file.GetPath();
    if (path.size() <= prefix_.size()) return false;
    for (size_t i = 0; i < prefix_.size(); ++i) {
        const wchar_t c = path[i] >= L'A' && path[i] <= L'Z' ? static_cast<wchar_t>(path[i] - L'A' + L'a') : path[i];
        if (c != prefix_[i]) return false;
    }
    return true;
}

std::vector<uint8_t> RecycleBinJoin::ReadIndexContent(NTFSAttributeBase* data) {
    std::vector<uint8_t> bytes;
    if (data) {
        bytes.resize(static_cast<size_t>(std::min<uint64_t>(data->GetDataSize(), kRecycleBinIndexMaxBytes)));
        uint32_t delivered = 0;
        if (bytes.empty() || !data->ReadData(0, bytes.data(), static_cast<uint32_t>(bytes.size()), &delivered))
            delivered = 0;
        bytes.resize(std::min<size_t>(delivered, bytes.size()));
    }
    return bytes;
}

void RecycleBinJoin::Add(std::unique_ptr<DeletedFileInfo> file, const std::function<std::vector<uint8_t>()>& content,
                         bool listed) {
    Held held{std::move(file), {}, {}};
    // "<SID>\" for a file of the SID folder itself, "<SID>\$R......\sub\" for one beneath an item.
    const std::wstring rest = held.file->GetPath().substr(prefix_.size());
    const std::wstring name = held.file->GetName();
    size_t sidEnd = rest.find(L'\\');
    if (sidEnd != std::wstring::npos && sidEnd > 0) {
        const std::wstring folder = FoldAsciiLower(rest.substr(0, sidEnd)) + L'\\';
        const std::wstring below = rest.substr(sidEnd + 1);
        if (below.empty()) {
            if (std::optional<std::wstring> index = BinSuffix(name, L'I')) ReadIndex(folder + *index, *held.file, content());
            else if (std::optional<std::wstring> item = BinSuffix(name, L'R')) held.key = folder + *item;
        } else {
            size_t itemEnd = std::min(below.find(L'\\'), below.size());
            if (std::optional<std::wstring> item = BinSuffix(below.substr(0, itemEnd), L'R')) {
                held.key = folder + *item;
                held.tail = L'\\' + below.substr(std::min(itemEnd + 1, below.size())) + name;
            }
        }
    }
    if (listed) held_.push_back(std::move(held));
}

void RecycleBinJoin::ReadIndex(const std::wstring& key, const DeletedFileInfo& file,
                               const std::vector<uint8_t>& content) {
    std::optional<RecycleBinIndex> index = ParseRecycleBinIndex(ByteReader(content.data(), content.size()));
    if (!index) {
        ++damaged_;
        LogManager::instance().print(LogLevel::Warning, L"Recycle Bin index %s%s holds no usable original path.",
                                     file.GetPath(), file.GetName());
        return;
    }
    auto [at, added] = indexes_.emplace(key, std::move(index));
    if (!added) at->second.reset();
}

std::vector<std::unique_ptr<DeletedFileInfo>> RecycleBinJoin::Release() {
    std::vector<std::unique_ptr<DeletedFileInfo>> files;
    files.reserve(held_.size());
    for (Held& held : held_) {
        auto index = held.key.empty() ? indexes_.end() : indexes_.find(held.key);
        if (index != indexes_.end() && index->second) {
            std::wstring path = index->second->originalPath;
            if (path.ends_with(L'\\') && !held.tail.empty()) path.pop_back();
            held.file->SetOriginalPath(path + held.tail);
            held.file->SetDeletionTime(index->second->deletionTime);
            ++joined_;
        }
        files.push_back(std::move(held.file));
    }
    held_.clear();
    return files;
}

}  // namespace Vorlaq
