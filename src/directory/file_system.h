// The narrow interface through which the directory layer reaches files.
// The real one wraps POSIX calls; tests substitute one that fails on demand.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kovo {

using FileHandle = std::intptr_t;  // a descriptor, or a Win32 handle
inline constexpr FileHandle kNoFile = -1;

// Error codes are the numbers of the platform the file format comes from
// (2 not found, 5 access denied, 112 disk full, ...), plus the system's own
// short-transfer codes.
inline constexpr int kShortRead = 100;
inline constexpr int kShortWrite = 101;

struct IoResult {
  int Code = 0;            // 0 on success
  std::size_t Count = 0;   // bytes transferred, also when Code is set
  bool ok() const { return Code == 0; }
};

struct OpenResult {
  int Code = 0;
  FileHandle Handle = kNoFile;
  bool ok() const { return Code == 0; }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing regular file for reading and writing, never creating
  // or truncating it, and never blocking.
  [[nodiscard]] virtual OpenResult OpenExisting(const char* name) = 0;
  // Reads up to size bytes from the current position; Count < size with
  // Code 0 means end of file.
  [[nodiscard]] virtual IoResult Read(FileHandle file, void* buffer, std::size_t size) = 0;
  // Writes size bytes at offset; Count tells how many went out before a failure.
  [[nodiscard]] virtual IoResult WriteAt(FileHandle file, std::uint64_t offset, const void* data,
                                         std::size_t size) = 0;
  [[nodiscard]] virtual IoResult Sync(FileHandle file) = 0;
  [[nodiscard]] virtual IoResult Close(FileHandle file) = 0;
};

}  // namespace kovo
