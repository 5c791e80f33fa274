// The real file seam on Win32: CreateFileA, ReadFile, WriteFile,
// FlushFileBuffers, CloseHandle; error codes are GetLastError's, unchanged.
#pragma once

#include "directory/file_system.h"

namespace kovo {

class Win32FileSystem final : public FileSystem {
 public:
  OpenResult OpenExisting(const char* name) override;
  IoResult Read(FileHandle file, void* buffer, std::size_t size) override;
  IoResult WriteAt(FileHandle file, std::uint64_t offset, const void* data,
                   std::size_t size) override;
  IoResult Sync(FileHandle file) override;
  IoResult Close(FileHandle file) override;
};

}  // namespace kovo
