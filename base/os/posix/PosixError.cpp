#include "base/os/posix/PosixError.h"

#include <cerrno>

#include "base/os/Files.h"

namespace Vorlaq {

uint32_t WinErrorFromErrno(int err) {
    switch (err) {
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return kErrorAccessDenied;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EEXIST: return kErrorFileExists;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EIO: return kErrorReadFault;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    default: return kErrorInvalidParameter;
    }
}

}  // namespace Vorlaq
