#include "scan/OriginalPlace.h"

namespace Vorlaq {

std::optional<OriginalPlace> GetOriginalPlace(const DeletedFileInfo& file) {
    const std::wstring original = file.GetOriginalPath();
    const size_t cut = original.rfind(L'\\');
    if (cut == std::wstring::npos || cut + 1 == original.size()) return std::nullopt;
    return OriginalPlace{original.substr(0, cut + 1), original.substr(cut + 1)};
}

}  // namespace Vorlaq
