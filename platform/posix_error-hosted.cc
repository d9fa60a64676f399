#include "platform/posix_error.h"

#include <cerrno>

#include "platform/error.h"

namespace nx {

uint32_t WinErrorFromErrno(int err, uint32_t fallback) {
  switch (err) {
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EEXIST: return kErrorFileExists;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EROFS: return kErrorWriteProtect;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EXDEV: return kErrorNotSameDevice;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EINVAL: return kErrorInvalidParameter;
    case ENOEXEC: return kErrorBadExeFormat;
    case ELOOP: return kErrorPathNotFound;
    default: return fallback;
  }
}

void ThrowErrno(int err, const std::string& context, uint32_t fallback) {
  throw OsError(WinErrorFromErrno(err, fallback), context);
}

}  // namespace nx
