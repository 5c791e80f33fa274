#include "directory/platform_file_system.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "directory/directory_name.h"
#include "directory/posix_error.h"
#include "directory/posix_journal_trust.h"

namespace kovo {
namespace {

int Descriptor(FileHandle file) { return static_cast<int>(file); }

// Makes the call again for as long as a signal interrupts it.
template <typename Call>
auto RetryOnInterrupt(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

Status Failure() { return FromErrno(errno); }

off_t At(std::uint64_t offset) { return static_cast<off_t>(offset); }

int OpenWithoutBlocking(const char* name, Access access, int more_flags = 0) {
  // O_NONBLOCK keeps a FIFO or a device from blocking the open; it is
  // cleared again once the file is known to be a regular file.
  const int flags =
      (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | more_flags;
  return RetryOnInterrupt([=] { return ::open(name, flags); });
}

Status ClearNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return Failure();
  return Status{};
}

// The folder's path, cut from a name without taking memory.
struct FolderPath {
  char Text[PATH_MAX] = ".";
};

FolderPath FolderOf(const char* name) {
  FolderPath folder;
  if (const char* slash = std::strrchr(name, '/'); slash != nullptr) {
    const int length = slash == name ? 1 : static_cast<int>(slash - name);
    std::snprintf(folder.Text, sizeof folder.Text, "%.*s", length, name);
  }
  return folder;
}

// A link at the name must be root's, this user's or the file's owner's;
// without one, the name must still lead to the file opened.
Status CheckNameLeadsToOpenFile(const char* name, const struct stat& opened) {
  struct stat named {};
  if (::lstat(name, &named) != 0) return Failure();
  if (S_ISLNK(named.st_mode)) {
    const uid_t owner = named.st_uid;
    return owner == 0 || owner == ::geteuid() || owner == opened.st_uid ? Status{} : Status{kUntrustedOwner};
  }
  return named.st_dev == opened.st_dev && named.st_ino == opened.st_ino ? Status{} : Status{kSharingViolation};
}

// Success when fd, opened through name, is a regular file the name may
// lead to.
Status CheckOpenedFile(const char* name, int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Failure();
  if (!S_ISREG(info.st_mode)) return Status{kAccessDenied};
  if (const Status status = CheckNameLeadsToOpenFile(name, info); !status.ok()) return status;
  return ClearNonBlocking(fd);
}

constexpr const char kAccessList[] = "system.posix_acl_access";

// The access list of an open file: none where it has none or the file
// system keeps none, and unreadable where reading it failed otherwise.
AccessList AccessListOf(int fd) {
  AccessList list;
  const ssize_t size = ::fgetxattr(fd, kAccessList, list.Bytes, sizeof list.Bytes);
  list.Size = size > 0 ? static_cast<std::size_t>(size) : 0;
  list.Readable = size >= 0 || errno == ENODATA || errno == ENOTSUP;
  return list;
}

bool DescribeAccess(int fd, struct stat& info, FileAccess& access) {
  if (::fstat(fd, &info) != 0) return false;
  access.Owner = info.st_uid;
  access.Group = info.st_gid;
  access.Mode = info.st_mode & 0777;
  access.List = AccessListOf(fd);
  return true;
}

Status CheckTrustedJournal(int fd, int file_fd) {
  struct stat journal_info {};
  struct stat file_info {};
  FileAccess journal;
  FileAccess file;
  if (!DescribeAccess(fd, journal_info, journal) || !DescribeAccess(file_fd, file_info, file)) return Failure();
  if (!S_ISREG(journal_info.st_mode)) return Status{kNotARegularFile};
  if (journal_info.st_nlink != 1) return Status{kMoreThanOneLink};
  if (const int code = JudgeJournalAccess(journal, file, ::geteuid()); code != 0) return Status{code};
  return ClearNonBlocking(fd);
}

// Gives the journal its file's owner, group, bits and access list as far as
// this user may, then checks that it is no wider than the file (else 5).
Status GiveAccessOfFile(int fd, int file_fd) {
  struct stat info {};
  FileAccess file;
  if (!DescribeAccess(file_fd, info, file)) return Failure();
  const uid_t owner = ::geteuid() == 0 ? file.Owner : static_cast<uid_t>(-1);
  const bool given = ::fchown(fd, owner, file.Group) == 0;  // where refused, the mode is narrowed instead
  FileAccess journal;
  if (!DescribeAccess(fd, info, journal)) return Failure();
  const bool has_the_files_group = given || journal.Group == file.Group;
  bool list_copied = false;
  if (file.List.Size > 0 && has_the_files_group)
    list_copied = ::fsetxattr(fd, kAccessList, file.List.Bytes, file.List.Size, 0) == 0;
  if (!list_copied) (void)::fremovexattr(fd, kAccessList);  // one the folder's default list gave it
  const std::uint32_t mode = JournalMode(file, has_the_files_group, list_copied);
  (void)::fchmod(fd, static_cast<mode_t>(mode));
  if (!DescribeAccess(fd, info, journal)) return Failure();
  return NoWiderThanWanted(journal, mode, file, list_copied) ? Status{} : Status{kAccessDenied};
}

Status DescribeStat(int rc, const struct stat& info, FileDescription& description) {
  if (rc != 0) return Failure();
  description.Identity.Device = static_cast<std::uint64_t>(info.st_dev);
  description.Identity.Index = static_cast<std::uint64_t>(info.st_ino);
  description.Length = static_cast<std::uint64_t>(info.st_size);
  return Status{};
}

// The data's range is every offset below the run lock's byte.
struct flock LockRange(short type, bool run_lock) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = run_lock ? static_cast<off_t>(kRunLockOffset) : 0;
  range.l_len = run_lock ? 1 : static_cast<off_t>(kRunLockOffset);
  return range;
}

// A record lock command: the open's own kind, or, from the first time the
// kernel refuses that kind as unknown (before Linux 3.15), the process's.
int RecordCommand(int fd, int own, int classic, struct flock& range, bool& classic_locks) {
  if (!classic_locks && ::fcntl(fd, own, &range) == 0) return 0;
  if (!classic_locks && errno != EINVAL) return errno;
  classic_locks = true;
  return ::fcntl(fd, classic, &range) == 0 ? 0 : errno;
}

int RecordLock(int fd, short type, bool& classic_locks, bool run_lock = false) {
  struct flock range = LockRange(type, run_lock);
  return RecordCommand(fd, F_OFD_SETLK, F_SETLK, range, classic_locks);
}

// Whether what keeps the run lock from this run is another run's lock, which
// ends with the run byte, rather than another program's over a wider range.
bool RunLockHeldByAnotherRun(int fd, bool& classic_locks) {
  struct flock range = LockRange(F_WRLCK, true);
  if (RecordCommand(fd, F_OFD_GETLK, F_GETLK, range, classic_locks) != 0) return true;
  return range.l_type == F_UNLCK ||
         (range.l_len != 0 && range.l_start + range.l_len == static_cast<off_t>(kRunLockOffset) + 1);
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

// Whether flock is a lock of its own kind here: on NFS, SMB and CIFS shares
// Linux makes it a whole-file record lock, which would meet the run lock.
bool WholeFileLocksApart(int fd) {
  struct statfs system {};
  if (::fstatfs(fd, &system) != 0) return true;
  const auto type = static_cast<std::uint32_t>(system.f_type);
  return type != NFS_SUPER_MAGIC && type != SMB_SUPER_MAGIC && type != CIFS_SUPER_MAGIC && type != SMB2_SUPER_MAGIC;
}

// One attempt at both kinds of lock (the run lock is a record lock alone,
// and so is every lock where flock is not apart): 0, or the errno of the
// one refused.
int TryLock(int fd, LockMode mode, bool apart, bool& classic_locks) {
  if (mode == LockMode::Run) return IgnoreUnsupported(RecordLock(fd, F_WRLCK, classic_locks, true));
  const bool shared = mode == LockMode::Shared;
  const int whole = apart ? IgnoreUnsupported(WholeFileLock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB)) : 0;
  if (whole != 0) return whole;
  const int record = IgnoreUnsupported(RecordLock(fd, shared ? F_RDLCK : F_WRLCK, classic_locks));
  if (record != 0 && apart) (void)WholeFileLock(fd, LOCK_UN);
  return record;
}

void NoteIfMatching(const char* entry, const char* name, NameMatches& matches) {
  const std::size_t length = std::strlen(name);
  if (length >= NameMatches::kNameCapacity || matches.Count == NameMatches::kCapacity ||
      !EqualIgnoringAsciiCase(entry, name))
    return;
  std::memcpy(matches.Names[matches.Count++], entry, length + 1);  // as long as name
}

Status SyncFileSystemOf(int fd) { return ::syncfs(fd) == 0 ? Status{} : Failure(); }

// Reads the folder's entries a buffer at a time: unlike opendir, this takes
// no memory.
Status ReadFolderMatching(int folder, const char* name, NameMatches& matches) {
  alignas(dirent64) char buffer[4096];
  for (;;) {
    const ssize_t got = ::getdents64(folder, buffer, sizeof buffer);
    if (got <= 0) return got == 0 ? Status{} : Failure();
    for (ssize_t at = 0; at < got; at += reinterpret_cast<const dirent64*>(buffer + at)->d_reclen) {
      NoteIfMatching(reinterpret_cast<const dirent64*>(buffer + at)->d_name, name, matches);
    }
  }
}

// A whole transfer of pread or pwrite calls. A write that ran out of room
// part-way is a short write, not an error: the bytes before the limit went
// out, and the caller reports the short count.
template <typename Call>
Status TransferAt(std::size_t size, std::size_t& done, Call call) {
  return TransferAll(size, done, [&](std::size_t& moved) {
    const ssize_t n = RetryOnInterrupt(call);
    if (n < 0 && done > 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) return Status{};
    if (n < 0) return Failure();
    moved = static_cast<std::size_t>(n);
    return Status{};
  });
}

// The descriptor where its check passed; otherwise it is closed again.
Status KeepIfChecked(int fd, Status checked, FileHandle& opened) {
  if (checked.ok()) opened = fd;
  if (!checked.ok()) ::close(fd);
  return checked;
}

}  // namespace

Status PlatformFileSystem::OpenExisting(const char* name, Access access, FileHandle& opened) {
  const int fd = OpenWithoutBlocking(name, access);
  return fd < 0 ? Failure() : KeepIfChecked(fd, CheckOpenedFile(name, fd), opened);
}

Status PlatformFileSystem::OpenJournal(const char* name, Access access, FileHandle file, FileHandle& opened) {
  const int fd = OpenWithoutBlocking(name, access, O_NOFOLLOW);  // a link: ELOOP, code 1921
  return fd < 0 ? Failure() : KeepIfChecked(fd, CheckTrustedJournal(fd, Descriptor(file)), opened);
}

Status PlatformFileSystem::ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                                  std::size_t& done) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  const int fd = Descriptor(file);
  return TransferAt(size, done, [&] { return ::pread(fd, bytes + done, size - done, At(offset + done)); });
}

Status PlatformFileSystem::WriteAt(FileHandle file, std::uint64_t offset, const void* data, std::size_t size,
                                   std::size_t& done) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  const int fd = Descriptor(file);
  return TransferAt(size, done, [&] { return ::pwrite(fd, bytes + done, size - done, At(offset + done)); });
}

Status PlatformFileSystem::Sync(FileHandle file) {
  return RetryOnInterrupt([file] { return ::fsync(Descriptor(file)); }) == 0 ? Status{} : Failure();
}

Status PlatformFileSystem::Close(FileHandle file) {
  // On Linux the descriptor is released even when close reports EINTR, so
  // retrying would close somebody else's descriptor; the data was synced.
  if (file != run_lock_holder_ && DeferredClose(Descriptor(file))) return Status{};
  if (file == run_lock_holder_) {
    run_lock_holder_ = kNoFile;
    for (; deferred_count_ > 0; --deferred_count_) (void)::close(deferred_[deferred_count_ - 1]);
  }
  if (::close(Descriptor(file)) != 0 && errno != EINTR) return Failure();
  return Status{};
}

// Any close of the file drops all of the process's classic locks, the run
// lock too: with those, the file's other descriptors wait for its close.
bool PlatformFileSystem::DeferredClose(int fd) {
  if (!classic_locks_ || run_lock_holder_ == kNoFile || deferred_count_ == kMaxDeferred) return false;
  struct stat file {};
  struct stat run {};
  if (::fstat(fd, &file) != 0 || ::fstat(Descriptor(run_lock_holder_), &run) != 0 ||
      file.st_dev != run.st_dev || file.st_ino != run.st_ino)
    return false;
  deferred_[deferred_count_++] = fd;
  return true;
}

Status PlatformFileSystem::Describe(FileHandle file, FileDescription& description) {
  struct stat info {};
  return DescribeStat(::fstat(Descriptor(file), &info), info, description);
}

Status PlatformFileSystem::DescribeName(const char* name, FileDescription& description) {
  struct stat info {};
  return DescribeStat(::stat(name, &info), info, description);
}

Status PlatformFileSystem::Lock(FileHandle file, LockMode mode) {
  const int fd = Descriptor(file);
  const bool apart = WholeFileLocksApart(fd);
  if (mode == LockMode::Unlocked) {
    const int record = IgnoreUnsupported(RecordLock(fd, F_UNLCK, classic_locks_));
    const int whole = apart ? IgnoreUnsupported(WholeFileLock(fd, LOCK_UN)) : 0;
    const int error = record != 0 ? record : whole;
    return FromErrno(error);
  }
  const auto start = std::chrono::steady_clock::now();
  const auto program_deadline = start + std::chrono::milliseconds(lock_wait_ms_);
  const auto run_deadline = start + std::chrono::milliseconds(kRunQueueWaitMs);
  for (;;) {
    const int error = TryLock(fd, mode, apart, classic_locks_);
    if (error == 0 && mode == LockMode::Run) run_lock_holder_ = file;
    if (error == 0) return Status{};
    if (!HeldByAnother(error)) return FromErrno(error);
    const bool another_run = mode == LockMode::Run && RunLockHeldByAnotherRun(fd, classic_locks_);
    if (std::chrono::steady_clock::now() >= (another_run ? run_deadline : program_deadline))
      return Status{kLockViolation};
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void PlatformFileSystem::WaitAWhile() { std::this_thread::sleep_for(std::chrono::milliseconds(lock_wait_ms_)); }

Status PlatformFileSystem::CreateJournal(const char* name, FileHandle like, FileHandle& created) {
  const int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  int fd = RetryOnInterrupt([=] { return ::open(name, flags, 0600); });
  const bool made = fd >= 0;
  if (!made && errno != EEXIST) return Failure();
  if (!made) {
    // One left at the name (spent, or cut off before its file changed) is
    // taken over where this user may write it.
    FileHandle left = kNoFile;
    const Status opened = OpenJournal(name, Access::ReadWrite, like, left);
    if (!opened.ok()) return Status{opened.Code == kAccessDenied ? kFileExists : opened.Code};
    fd = Descriptor(left);
  }
  Status given = GiveAccessOfFile(fd, Descriptor(like));
  if (given.ok() && !made && ::ftruncate(fd, 0) != 0) given = Failure();
  if (given.ok()) {
    created = fd;
    return Status{};
  }
  ::close(fd);
  if (made) ::unlink(name);
  return made ? given : Status{kFileExists};
}

Status PlatformFileSystem::SyncFolder(const char* name, FileHandle beside) {
  const FolderPath folder = FolderOf(name);
  const int fd = ::open(folder.Text, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder this user may write but not read cannot be opened: syncing the
  // whole file system that holds it makes its entries durable all the same.
  if (fd < 0 && errno == EACCES) return SyncFileSystemOf(Descriptor(beside));
  if (fd < 0) return Failure();
  const int rc = RetryOnInterrupt([fd] { return ::fsync(fd); });
  // Some file systems cannot sync a folder; their entries are as durable as
  // they get.
  const int error = rc != 0 && errno != EINVAL ? errno : 0;
  ::close(fd);
  return FromErrno(error);
}

Status PlatformFileSystem::Remove(const char* name) { return ::unlink(name) == 0 ? Status{} : Failure(); }

Status PlatformFileSystem::MatchNames(const char* name, NameMatches& matches) {
  matches.Count = 0;
  const int folder = RetryOnInterrupt([] { return ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (folder < 0) return Failure();
  const Status status = ReadFolderMatching(folder, name, matches);
  ::close(folder);
  return status;
}

bool PlatformFileSystem::MayCreateBeside(const char* name) {
  return ::faccessat(AT_FDCWD, FolderOf(name).Text, W_OK | X_OK, AT_EACCESS) == 0;
}

bool PlatformFileSystem::MayRemove(const char* name) {
  const FolderPath folder = FolderOf(name);
  struct stat folder_info {};
  struct stat entry {};
  if (::faccessat(AT_FDCWD, folder.Text, W_OK | X_OK, AT_EACCESS) != 0 || ::stat(folder.Text, &folder_info) != 0 ||
      ::lstat(name, &entry) != 0)
    return false;
  // In a sticky folder only root and the owners of the folder or the entry may.
  const uid_t user = ::geteuid();
  return (folder_info.st_mode & S_ISVTX) == 0 || user == 0 || user == folder_info.st_uid || user == entry.st_uid;
}

}  // namespace kovo
