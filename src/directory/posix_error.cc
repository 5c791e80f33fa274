#include "directory/posix_error.h"

#include <cerrno>

#include "directory/file_system.h"

namespace kovo {
namespace {

int TranslateErrno(int posix_errno) {
  switch (posix_errno) {
    case 0: return 0;
    case ENOENT: return kFileNotFound;
    case ENOTDIR: return 3;         // path not found
    case EMFILE:
    case ENFILE: return 4;          // too many open files
    case EACCES:
    case EPERM:
    case EISDIR: return kAccessDenied;
    case EBADF: return 6;           // invalid handle
    case ENOMEM: return kNotEnoughMemory;
    case EROFS: return kWriteProtected;
    case EEXIST: return kFileExists;
    case ETXTBSY: return kSharingViolation;
    case EAGAIN: return kLockViolation;
    case EINVAL: return 87;         // invalid parameter
    case ENOSPC:
    case EDQUOT: return 112;        // disk full
    case EBUSY: return 170;         // resource in use
    case ENAMETOOLONG: return 206;  // file name too long
    case EFBIG: return 223;         // file too large
    case EINTR: return 995;         // operation aborted
    case EIO: return 1117;          // device I/O error
    case ELOOP: return kSymbolicLink;  // a link where none is followed
    default: return kUntranslatedErrorBit | posix_errno;
  }
}

}  // namespace

Status FromErrno(int posix_errno) { return Status{TranslateErrno(posix_errno)}; }

}  // namespace kovo
