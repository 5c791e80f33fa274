#include "directory/posix_file_system.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "directory/platform_error.h"

namespace kovo {
namespace {

int Descriptor(FileHandle file) { return static_cast<int>(file); }

// Makes the call again for as long as a signal interrupts it.
template <typename Call>
int RetryOnInterrupt(Call call) {
  int result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

IoResult Failure(std::size_t count) { return IoResult{TranslateErrno(errno), count}; }

// A write that ran out of room part-way is a short write, not an error: the
// bytes before the limit went out, and the caller reports the short count.
bool RanOutOfRoom(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

int OpenWithoutBlocking(const char* name, Access access) {
  // O_NONBLOCK keeps a FIFO or a device from blocking the open; it is
  // cleared again once the file is known to be a regular file.
  const int flags = (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
  return RetryOnInterrupt([=] { return ::open(name, flags); });
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

DescribeResult DescribeStat(int rc, const struct stat& info) {
  if (rc != 0) return DescribeResult{TranslateErrno(errno), {}, 0};
  return DescribeResult{0,
                        FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                                     static_cast<std::uint64_t>(info.st_ino)},
                        static_cast<std::uint64_t>(info.st_size)};
}

#ifdef F_OFD_SETLK
constexpr int kRecordLockCommand = F_OFD_SETLK;  // owned by this open, not the process
#else
constexpr int kRecordLockCommand = F_SETLK;
#endif

// The data's range is every offset below the run lock's byte.
int RecordLock(int fd, short type, bool run_lock = false) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = run_lock ? static_cast<off_t>(kRunLockOffset) : 0;
  range.l_len = run_lock ? 1 : static_cast<off_t>(kRunLockOffset);
  return ::fcntl(fd, kRecordLockCommand, &range) == 0 ? 0 : errno;
}

int WholeFileLock(int fd, int operation) {
  return RetryOnInterrupt([=] { return ::flock(fd, operation); }) == 0 ? 0 : errno;
}

bool HeldByAnother(int error) { return error == EWOULDBLOCK || error == EAGAIN || error == EACCES; }

// A file system without locks cannot be locked by anybody else either.
bool LocksUnsupported(int error) {
  return error == ENOLCK || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP;
}

int IgnoreUnsupported(int error) { return LocksUnsupported(error) ? 0 : error; }

// One attempt at both kinds of lock (the run lock is a record lock alone):
// 0, or the errno of the one refused.
int TryLock(int fd, LockMode mode) {
  if (mode == LockMode::Run) return IgnoreUnsupported(RecordLock(fd, F_WRLCK, true));
  const bool shared = mode == LockMode::Shared;
  const int whole = IgnoreUnsupported(WholeFileLock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB));
  if (whole != 0) return whole;
  const int record = IgnoreUnsupported(RecordLock(fd, shared ? F_RDLCK : F_WRLCK));
  if (record != 0) (void)WholeFileLock(fd, LOCK_UN);
  return record;
}

}  // namespace

OpenResult PosixFileSystem::OpenExisting(const char* name, Access access) {
  const int fd = OpenWithoutBlocking(name, access);
  if (fd < 0) return OpenResult{TranslateErrno(errno), kNoFile};
  if (const int code = CheckRegularFile(fd); code != 0) {
    ::close(fd);
    return OpenResult{code, kNoFile};
  }
  return OpenResult{0, fd};
}

IoResult PosixFileSystem::ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(Descriptor(file), bytes + done, size - done, static_cast<off_t>(offset + done));
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
  return RetryOnInterrupt([file] { return ::fsync(Descriptor(file)); }) == 0 ? IoResult{} : Failure(0);
}

IoResult PosixFileSystem::Close(FileHandle file) {
  // On Linux the descriptor is released even when close reports EINTR, so
  // retrying would close somebody else's descriptor; the data was synced.
  if (::close(Descriptor(file)) != 0 && errno != EINTR) return Failure(0);
  return IoResult{};
}

DescribeResult PosixFileSystem::Describe(FileHandle file) {
  struct stat info {};
  return DescribeStat(::fstat(Descriptor(file), &info), info);
}

DescribeResult PosixFileSystem::DescribeName(const char* name) {
  struct stat info {};
  return DescribeStat(::stat(name, &info), info);
}

IoResult PosixFileSystem::Lock(FileHandle file, LockMode mode) {
  const int fd = Descriptor(file);
  if (mode == LockMode::Unlocked) {
    const int record = IgnoreUnsupported(RecordLock(fd, F_UNLCK));
    const int whole = IgnoreUnsupported(WholeFileLock(fd, LOCK_UN));
    const int error = record != 0 ? record : whole;
    return error == 0 ? IoResult{} : IoResult{TranslateErrno(error), 0};
  }
  const std::uint32_t wait_ms = mode == LockMode::Run ? run_wait_ms_ : lock_wait_ms_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    const int error = TryLock(fd, mode);
    if (error == 0) return IoResult{};
    if (!HeldByAnother(error)) return IoResult{TranslateErrno(error), 0};
    if (std::chrono::steady_clock::now() >= deadline) return IoResult{kLockViolation, 0};
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

OpenResult PosixFileSystem::CreateNew(const char* name, FileHandle like) {
  struct stat model {};
  if (::fstat(Descriptor(like), &model) != 0) return OpenResult{TranslateErrno(errno), kNoFile};
  const int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  const int fd = RetryOnInterrupt([=] { return ::open(name, flags, 0600); });
  if (fd < 0) return OpenResult{TranslateErrno(errno), kNoFile};
  // The model's group where this user may give it (a member of it), and as
  // root its owner too, as SQLite does with its journals; then its
  // permission bits. Where that is refused the file stays this user's own.
  (void)::fchown(fd, ::geteuid() == 0 ? model.st_uid : static_cast<uid_t>(-1), model.st_gid);
  (void)::fchmod(fd, model.st_mode & 0777);
  return OpenResult{0, fd};
}

IoResult PosixFileSystem::SyncFolder(const char* name) {
  // The folder's path, cut from the name without taking memory.
  char folder[PATH_MAX] = ".";
  if (const char* slash = std::strrchr(name, '/'); slash != nullptr) {
    const int length = slash == name ? 1 : static_cast<int>(slash - name);
    std::snprintf(folder, sizeof folder, "%.*s", length, name);
  }
  const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Failure(0);
  const int rc = RetryOnInterrupt([fd] { return ::fsync(fd); });
  // Some file systems cannot sync a folder; their entries are as durable as
  // they get.
  const int error = rc != 0 && errno != EINVAL ? errno : 0;
  ::close(fd);
  return error == 0 ? IoResult{} : IoResult{TranslateErrno(error), 0};
}

IoResult PosixFileSystem::Remove(const char* name) {
  return ::unlink(name) == 0 ? IoResult{} : Failure(0);
}

}  // namespace kovo
