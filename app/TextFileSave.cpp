#include "app/TextFileSave.h"

#include <algorithm>
#include <memory>

#include "base/Utf16.h"
#include "base/os/Files.h"

namespace Vorlaq {

bool SaveTextAsUtf8(const std::wstring& path, const std::wstring& text, uint32_t* error)
{
    std::unique_ptr<WritableFile> file = WritableFile::CreateAlways(path, error);
    if (!file)
        return false;
    const std::string bytes = WideToUtf8(text);
    constexpr size_t kPiece = 1u << 20;
    for (size_t at = 0; at < bytes.size();) {
        const uint32_t length = static_cast<uint32_t>(std::min(kPiece, bytes.size() - at));
        uint32_t written = 0;
        const bool wrote = file->Write(bytes.data() + at, length, &written, error);
        if (!wrote || written == 0) {
            if (wrote && error)
                *error = kErrorDiskFull;  // a full disk takes nothing more without saying why
            file->Close(nullptr);
            return false;
        }
        at += written;
    }
    return file->Close(error);
}

}  // namespace Vorlaq
