// The real file seam with one chosen call made to fail: the nth call of a
// kind reports an error code, optionally after really transferring some bytes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "directory/platform_file_system.h"

namespace kovo::testing {

enum class FileCall { Open, Read, Write, Sync, Close };

const char* FileCallName(FileCall call);

struct Fault {
  FileCall Call = FileCall::Open;
  int Occurrence = 1;           // 1 = the first call of that kind
  int Code = 0;                 // 0 with a short Count: a short transfer
  std::size_t Count = 0;        // bytes really transferred before the fault
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

  // Every call in order, as "open", "read", "write", "sync", "close".
  const std::vector<std::string>& Calls() const { return calls_; }
  int OpenHandles() const { return open_handles_; }

 private:
  // The fault to apply to this call, if it is the chosen one.
  std::optional<Fault> Take(FileCall call);

  PlatformFileSystem real_;
  std::optional<Fault> fault_;
  int seen_[5] = {};
  int open_handles_ = 0;
  std::vector<std::string> calls_;
};

}  // namespace kovo::testing
