// The narrow interface through which the directory layer reaches files.
// The real one wraps POSIX calls; tests substitute one that fails on demand.
#pragma once

#include <cstddef>
#include <cstdint>

#include "directory/status.h"

namespace kovo {

using FileHandle = std::intptr_t;  // a descriptor, or a Win32 handle
inline constexpr FileHandle kNoFile = -1;

// The codes of a transfer that stopped short.
inline constexpr int kShortRead = 100;
inline constexpr int kShortWrite = 101;

// What names a file on its volume: device and inode on POSIX, volume
// serial number and file index on Win32.
struct FileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Index = 0;
  bool operator==(const FileIdentity& other) const {
    return Device == other.Device && Index == other.Index;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

struct FileDescription {
  FileIdentity Identity;
  std::uint64_t Length = 0;
};

// Shared and Exclusive lock the data, every offset below kRunLockOffset,
// against cooperating programs; Unlocked releases them. Run is the lock that
// only runs of this program take, on one byte at kRunLockOffset, far beyond
// any data: it queues runs without hindering anybody's reads, writes or data
// locks, and is held until its handle is closed.
enum class LockMode { Shared, Exclusive, Unlocked, Run };
inline constexpr std::uint64_t kRunLockOffset = std::uint64_t{1} << 62;
// How long another program's data lock is waited for, and the run before
// this one: long enough for a queue of a few runs, each a second or two.
inline constexpr std::uint32_t kLockWaitMs = 2000;
inline constexpr std::uint32_t kRunQueueWaitMs = 30000;

enum class Access { ReadWrite, ReadOnly };

// The entries of the working folder whose names equal a name without regard
// to ASCII case, kept without taking memory. A name of seven letters, such
// as kovo.fon, has 2^7 spellings.
struct NameMatches {
  static constexpr int kCapacity = 128;
  static constexpr std::size_t kNameCapacity = 16;
  char Names[kCapacity][kNameCapacity] = {};
  int Count = 0;
};

inline constexpr int kFileNotFound = 2;
inline constexpr int kAccessDenied = 5;
inline constexpr int kNotEnoughMemory = 8;
inline constexpr int kWriteProtected = 19;
// The code of a file that is no longer the one the run loaded.
inline constexpr int kSharingViolation = 32;
// The code a lock that stayed held by another program past the wait reports.
inline constexpr int kLockViolation = 33;
inline constexpr int kFileExists = 80;
// Why a journal, or a link at the directory file's name, is not trusted: it
// is not a regular file, has more than one link, is a symbolic link, or
// belongs to somebody who may not write the directory file.
inline constexpr int kNotARegularFile = 222;
inline constexpr int kMoreThanOneLink = 1142;
inline constexpr int kUntrustedOwner = 1307;
inline constexpr int kSymbolicLink = 1921;
// A journal whose check fails beside a file that no longer holds its bytes
// from before: it cannot be judged, so it is kept.
inline constexpr int kFileCorrupt = 1392;

// A whole transfer of size bytes made of partial ones, as each platform's
// ReadAt and WriteAt make it: part(moved) moves some of what is left after
// done, setting moved (0 where it stops short, at the end of the file or
// out of room), or fails.
template <typename Part>
Status TransferAll(std::size_t size, std::size_t& done, Part part) {
  done = 0;
  for (std::size_t moved = 1; done < size && moved > 0; done += moved) {
    moved = 0;
    if (const Status status = part(moved); !status.ok()) return status;
  }
  return Status{};
}

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing regular file, never creating or truncating it, and
  // never blocking. A symbolic link at the name is followed only when it
  // belongs to root, to this user or to the owner of the file it leads to
  // (code 1307 otherwise), so that nobody can point a run at a file they
  // could not write themselves.
  virtual Status OpenExisting(const char* name, Access access, FileHandle& opened) = 0;
  // Opens the journal of the open file without following a link (code
  // 1921), and only when it is a regular file (222) with one link (1142)
  // whose owner may write that file (1307): root, the file's owner, this
  // user, or one whom the file's permissions let write it. Code 2 when there
  // is none.
  virtual Status OpenJournal(const char* name, Access access, FileHandle file, FileHandle& opened) = 0;
  // Reads up to size bytes at offset; done < size on success means end of
  // file.
  virtual Status ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                        std::size_t& done) = 0;
  // Writes size bytes at offset; done tells how many went out, also before a
  // failure.
  virtual Status WriteAt(FileHandle file, std::uint64_t offset, const void* data, std::size_t size,
                         std::size_t& done) = 0;
  virtual Status Sync(FileHandle file) = 0;
  virtual Status Close(FileHandle file) = 0;

  // The identity and length of an open file, or of what a name refers to now
  // (following symbolic links; code 2 when nothing does).
  virtual Status Describe(FileHandle file, FileDescription& description) = 0;
  virtual Status DescribeName(const char* name, FileDescription& description) = 0;
  // Takes or releases a lock, waiting a bounded time for others' locks to
  // go, code 33 when they do not: kLockWaitMs for another program's lock,
  // wherever it lies, and kRunQueueWaitMs for the run lock of another run,
  // which covers the run byte alone.
  virtual Status Lock(FileHandle file, LockMode mode) = 0;
  // Creates the journal of the open file like, empty, for reading and
  // writing, or takes over one left at the name that OpenJournal trusts.
  // Whoever may write like may read and write it too (removing it is up to
  // the folder's rights), and nobody who may not read like may read it: it takes like's permissions and, where the
  // system allows, its owner, group and access list; where it cannot take
  // the group, only what like lets both its group and others do, and where
  // it cannot take the access list, its owner alone.
  virtual Status CreateJournal(const char* name, FileHandle like, FileHandle& created) = 0;
  // Makes the folder entry of a file just created or removed durable; beside
  // is a file open in the same folder.
  virtual Status SyncFolder(const char* name, FileHandle beside) = 0;
  // Removes a journal, which depends on the rights to its folder. The
  // removal is durable once SyncFolder has followed it; where the platform
  // cannot sync a folder, Remove itself makes sure that what a lost removal
  // brings back is never taken for a complete journal.
  virtual Status Remove(const char* name) = 0;
  // Whether this user may make a new file beside the named one (Win32: true;
  // only an attempt tells there).
  virtual bool MayCreateBeside(const char* name) = 0;
  // Whether this user may remove the named file from its folder, which
  // only an attempt tells where access lists decide (Win32: true).
  virtual bool MayRemove(const char* name) = 0;
  // Lists the entries of the working folder whose names equal name without
  // regard to ASCII case, name itself included; where the file system
  // already matches names so (Win32), name alone. Takes no memory.
  virtual Status MatchNames(const char* name, NameMatches& matches) = 0;
};

}  // namespace kovo
