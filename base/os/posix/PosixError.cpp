#include "base/os/posix/PosixError.h"

#include <cerrno>
#include <cstring>

#include "base/os/Files.h"

namespace Vorlaq {

namespace {
// The errno behind the code this thread reported last, for SystemErrorReason.
thread_local int lastErrno = 0;

uint32_t MapErrno(int err) {
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
    case ELOOP: return kErrorStoppedOnSymlink;
    case ENXIO: return kErrorBadDeviceType;  // a socket, or a device with nothing behind it
    default: return kErrorInvalidParameter;
    }
}
}  // namespace

uint32_t WinErrorFromErrno(int err) {
    lastErrno = err;
    return MapErrno(err);
}

std::wstring SystemErrorReason(uint32_t error) {
    if (lastErrno == 0 || MapErrno(lastErrno) != error) return std::wstring();
    const char* text = std::strerror(lastErrno);
    return std::wstring(text, text + std::strlen(text));  // the C locale's messages are ASCII
}

}  // namespace Vorlaq
