#include "directory/posix_error.h"

#include <cerrno>

namespace kovo {

int TranslateErrno(int posix_errno) {
  switch (posix_errno) {
    case 0: return 0;
    case ENOENT: return 2;          // file not found
    case ENOTDIR: return 3;         // path not found
    case EMFILE:
    case ENFILE: return 4;          // too many open files
    case EACCES:
    case EPERM:
    case EISDIR: return 5;          // access denied
    case EBADF: return 6;           // invalid handle
    case ENOMEM: return 8;          // not enough memory
    case EROFS: return 19;          // media write protected
    case EEXIST: return 80;         // file exists
    case ETXTBSY: return 32;        // sharing violation
    case EAGAIN: return 33;         // lock violation
    case EINVAL: return 87;         // invalid parameter
    case ENOSPC:
    case EDQUOT: return 112;        // disk full
    case EBUSY: return 170;         // resource in use
    case ENAMETOOLONG: return 206;  // file name too long
    case EFBIG: return 223;         // file too large
    case EINTR: return 995;         // operation aborted
    case EIO: return 1117;          // device I/O error
    case ELOOP: return 1921;        // name cannot be resolved
    default: return kUntranslatedErrorBit | posix_errno;
  }
}

}  // namespace kovo
