// The narrow interface through which the directory layer reaches files.
// The real one wraps POSIX calls; tests substitute one that fails on demand.
#pragma once

#include <cstddef>
#include <cstdint>

#include "directory/status.h"

namespace kovo {

using FileHandle = std::intptr_t;  // a descriptor, or a Win32 handle
inline constexpr FileHandle kNoFile = -1;

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

// Shared and Exclusive lock the data, every offset below kRunLockOffset;
// Run, taken only by runs, the one byte there, until its handle closes.
// Another program's lock is waited for kLockWaitMs, another run's
// kRunQueueWaitMs: long enough for a queue of a few runs.
enum class LockMode { Shared, Exclusive, Unlocked, Run };
inline constexpr std::uint64_t kRunLockOffset = std::uint64_t{1} << 62;
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

// A whole transfer made of partial ones: part(moved) moves some of what is
// left after done, setting moved (0: it stops short), or fails.
template <typename Part>
Status TransferAll(std::size_t size, std::size_t& done, Part part) {
  done = 0;
  for (std::size_t moved = 1; done < size && moved > 0; done += moved) {
    moved = 0;
    if (const Status status = part(moved); !status.ok()) return status;
  }
  return Status{};
}

// The trust rules behind the opens' refusals (codes 222, 1142, 1307 and
// 1921, in status.h) are told once, in DESIGN.md ("Whom a run trusts").
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // An existing regular file, never created, truncated or blocked on; a link
  // is followed only where its owner could have written what it leads to.
  virtual Status OpenExisting(const char* name, Access access, FileHandle& opened) = 0;
  // The journal of the open file, where a user who may write that file could
  // have made it; code 2 when there is none.
  virtual Status OpenJournal(const char* name, Access access, FileHandle file, FileHandle& opened) = 0;
  // Up to size bytes at offset; done < size on success means end of file.
  virtual Status ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                        std::size_t& done) = 0;
  // Size bytes at offset; done tells how many went out, also before a failure.
  virtual Status WriteAt(FileHandle file, std::uint64_t offset, const void* data, std::size_t size,
                         std::size_t& done) = 0;
  virtual Status Sync(FileHandle file) = 0;
  virtual Status Close(FileHandle file) = 0;
  // The identity and length of an open file, or of what a name leads to now.
  virtual Status Describe(FileHandle file, FileDescription& description) = 0;
  virtual Status DescribeName(const char* name, FileDescription& description) = 0;
  // Takes or releases a lock, waiting as LockMode says; code 33 past the wait.
  virtual Status Lock(FileHandle file, LockMode mode) = 0;
  // Waits as long as another program's lock is waited for.
  virtual void WaitAWhile() = 0;
  // The empty journal of the open file like, no wider than like (or one left
  // at the name that OpenJournal trusts, taken over).
  virtual Status CreateJournal(const char* name, FileHandle like, FileHandle& created) = 0;
  // Makes the folder entry of a file just created or removed durable; beside
  // is a file open in the same folder.
  virtual Status SyncFolder(const char* name, FileHandle beside) = 0;
  // Removes a journal; where the folder cannot be synced, a removal lost to
  // a power cut never brings back a complete journal.
  virtual Status Remove(const char* name) = 0;
  // Whether this user may make a new file beside the named one, or remove it
  // (true where only an attempt tells, as on Win32).
  virtual bool MayCreateBeside(const char* name) = 0;
  virtual bool MayRemove(const char* name) = 0;
  // The entries of the working folder whose names equal name without regard
  // to ASCII case; name alone where the file system matches so. No memory.
  virtual Status MatchNames(const char* name, NameMatches& matches) = 0;
};

}  // namespace kovo
