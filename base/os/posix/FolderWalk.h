#pragma once
// Opens a folder path one component at a time, making what is missing, with the kernel's
// protected_symlinks rule applied to every link on the way whatever the machine's setting.
#include <sys/types.h>

#include <string>

namespace Vorlaq {

struct WalkRefusal {
    std::string path;  // the link as reached from the path given
    uid_t owner = 0;
};

// An open descriptor of the folder `path` (O_DIRECTORY), or -1 with *err set (an errno value).
// A component that is missing is made and opened without following anything, so no link can
// take its place in between. An existing link is followed (its target walked the same way) only
// when it is not in a sticky folder that anyone may write to, or when its owner is the caller or
// that folder's owner; otherwise *refused names it and *err is EACCES.
int OpenFolderMaking(const std::string& path, int* err, WalkRefusal* refused);

}  // namespace Vorlaq
