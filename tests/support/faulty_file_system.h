// The real file seam with one chosen call made to fail: the nth call of a
// kind reports an error code, optionally after really transferring some bytes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "directory/platform_file_system.h"

namespace kovo::testing {

enum class FileCall { Open, Read, Write, Sync, Close, Describe, Lock, Create, SyncFolder, Remove };
inline constexpr int kFileCallKinds = 10;

const char* FileCallName(FileCall call);

struct Fault {
  FileCall Call = FileCall::Open;
  int Occurrence = 1;           // 1 = the first call of that kind
  int Code = 0;                 // 0 with a short Count: a short transfer
  std::size_t Count = 0;        // bytes really transferred before the fault
  std::function<void()> Then;   // runs at the fault, after the transfer
};

class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(std::optional<Fault> fault = std::nullopt) : fault_(fault) {}

  OpenResult OpenExisting(const char* name) override;
  IoResult Read(FileHandle file, void* buffer, std::size_t size) override;
  IoResult WriteAt(FileHandle file, std::uint64_t offset, const void* data,
                   std::size_t size) override;
  IoResult Sync(FileHandle file) override;
  IoResult Close(FileHandle file) override;
  DescribeResult Describe(FileHandle file) override;
  DescribeResult DescribeName(const char* name) override;
  IoResult Lock(FileHandle file, LockMode mode) override;
  OpenResult CreateNew(const char* name) override;
  IoResult SyncFolder(const char* name) override;
  IoResult Remove(const char* name) override;

  // Every call in order, by FileCallName.
  const std::vector<std::string>& Calls() const { return calls_; }
  int OpenHandles() const { return open_handles_; }

 private:
  // The fault to apply to this call, if it is the chosen one.
  std::optional<Fault> Take(FileCall call);

  PlatformFileSystem real_{50};  // a held lock is given up on quickly
  std::optional<Fault> fault_;
  int seen_[kFileCallKinds] = {};
  int open_handles_ = 0;
  std::vector<std::string> calls_;
};

}  // namespace kovo::testing
