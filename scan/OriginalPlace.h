#pragma once
// Where a file from an emptied Recycle Bin was before it was sent there, split from the full
// path its index file gave ("D:\Work\a.docx": the name "a.docx" in the folder "D:\Work\"). The
// command line's table and the window's list show such a file there; its restores take the name.
#include <optional>
#include <string>

#include "scan/DeletedFileInfo.h"

namespace Vorlaq {

struct OriginalPlace {
    std::wstring folder;  // up to and with the last "\"
    std::wstring name;    // what follows it, never empty
};

// Nothing for a file that carries no original path, or one whose path has no "\" or ends in it:
// such a file keeps the name and folder it was found under.
std::optional<OriginalPlace> GetOriginalPlace(const DeletedFileInfo& file);

}  // namespace Vorlaq
