#include "directory/posix_file_system.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "directory/platform_error.h"

namespace kovo {
namespace {

int Descriptor(FileHandle file) { return static_cast<int>(file); }

IoResult Failure(std::size_t count) { return IoResult{TranslateErrno(errno), count}; }

// A write that ran out of room part-way is a short write, not an error: the
// bytes before the limit went out, and the caller reports the short count.
bool RanOutOfRoom(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

int OpenWithoutBlocking(const char* name) {
  // O_NONBLOCK keeps a FIFO or a device from blocking the open; it is
  // cleared again once the file is known to be a regular file.
  const int flags = O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
  int fd;
  do {
    fd = ::open(name, flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// 0 when fd is a regular file, else the error code to report.
int CheckRegularFile(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return TranslateErrno(errno);
  if (!S_ISREG(info.st_mode)) return TranslateErrno(EACCES);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return TranslateErrno(errno);
  return 0;
}

}  // namespace

OpenResult PosixFileSystem::OpenExisting(const char* name) {
  const int fd = OpenWithoutBlocking(name);
  if (fd < 0) return OpenResult{TranslateErrno(errno), kNoFile};
  if (const int code = CheckRegularFile(fd); code != 0) {
    ::close(fd);
    return OpenResult{code, kNoFile};
  }
  return OpenResult{0, fd};
}

IoResult PosixFileSystem::Read(FileHandle file, void* buffer, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(Descriptor(file), bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure(done);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return IoResult{0, done};
}

IoResult PosixFileSystem::WriteAt(FileHandle file, std::uint64_t offset, const void* data,
                                  std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(Descriptor(file), bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && done > 0 && RanOutOfRoom(errno)) break;
    if (n < 0) return Failure(done);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return IoResult{0, done};
}

IoResult PosixFileSystem::Sync(FileHandle file) {
  int rc;
  do {
    rc = ::fsync(Descriptor(file));
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? IoResult{} : Failure(0);
}

IoResult PosixFileSystem::Close(FileHandle file) {
  // On Linux the descriptor is released even when close reports EINTR, so
  // retrying would close somebody else's descriptor; the data was synced.
  if (::close(Descriptor(file)) != 0 && errno != EINTR) return Failure(0);
  return IoResult{};
}

}  // namespace kovo
