// The real file seam of the platform the program is built for:
// posix_file_system.cc (Linux) or win32_file_system.cc (codes are
// GetLastError's, unchanged).
#pragma once

#include "directory/file_system.h"

namespace kovo {

class PlatformFileSystem final : public FileSystem {
 public:
  // How long another program's data lock is waited for.
  explicit PlatformFileSystem(std::uint32_t lock_wait_ms = kLockWaitMs) : lock_wait_ms_(lock_wait_ms) {}

  Status OpenExisting(const char* name, Access access, FileHandle& opened) override;
  Status OpenJournal(const char* name, Access access, FileHandle file, FileHandle& opened) override;
  Status ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                std::size_t& done) override;
  Status WriteAt(FileHandle file, std::uint64_t offset, const void* data, std::size_t size,
                 std::size_t& done) override;
  Status Sync(FileHandle file) override;
  Status Close(FileHandle file) override;
  Status Describe(FileHandle file, FileDescription& description) override;
  Status DescribeName(const char* name, FileDescription& description) override;
  Status Lock(FileHandle file, LockMode mode) override;
  void WaitAWhile() override;
  Status CreateJournal(const char* name, FileHandle like, FileHandle& created) override;
  Status SyncFolder(const char* name, FileHandle beside) override;
  Status Remove(const char* name) override;
  bool MayRemove(const char* name) override;
  bool MayCreateBeside(const char* name) override;
  Status MatchNames(const char* name, NameMatches& matches) override;

 private:
  std::uint32_t lock_wait_ms_;
  bool DeferredClose(int fd);

  // Where the kernel has only the process's own record locks, which any
  // close of the file drops: the handle that holds the run lock, and the
  // file's other descriptors, closed with it.
  static constexpr int kMaxDeferred = 4;
  bool classic_locks_ = false;
  FileHandle run_lock_holder_ = kNoFile;
  int deferred_[kMaxDeferred] = {};
  int deferred_count_ = 0;
};

}  // namespace kovo
