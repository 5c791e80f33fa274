// The real file seam on Win32: CreateFileA, ReadFile, WriteFile,
// FlushFileBuffers, CloseHandle, GetFileInformationByHandle for identities,
// LockFileEx for locks; error codes are GetLastError's, unchanged.
#pragma once

#include "directory/file_system.h"

namespace kovo {

class Win32FileSystem final : public FileSystem {
 public:
  explicit Win32FileSystem(std::uint32_t lock_wait_ms = kLockWaitMs,
                           std::uint32_t run_wait_ms = kRunQueueWaitMs)
      : lock_wait_ms_(lock_wait_ms), run_wait_ms_(run_wait_ms) {}

  OpenResult OpenExisting(const char* name, Access access) override;
  OpenResult OpenJournal(const char* name, Access access, FileHandle file) override;
  IoResult ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size) override;
  IoResult WriteAt(FileHandle file, std::uint64_t offset, const void* data,
                   std::size_t size) override;
  IoResult Sync(FileHandle file) override;
  IoResult Close(FileHandle file) override;
  DescribeResult Describe(FileHandle file) override;
  DescribeResult DescribeName(const char* name) override;
  IoResult Lock(FileHandle file, LockMode mode) override;
  OpenResult CreateJournal(const char* name, FileHandle like) override;
  IoResult SyncFolder(const char* name) override;
  IoResult Remove(const char* name) override;

  // Whether this user may remove the named file from its folder.
  bool MayRemove(const char* name);

 private:
  std::uint32_t lock_wait_ms_;
  std::uint32_t run_wait_ms_;
};

}  // namespace kovo
