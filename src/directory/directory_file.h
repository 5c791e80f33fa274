// Loading the directory file into an image and storing an image back over
// it in place.
#pragma once

#include <string>
#include <utility>

#include "directory/directory_entry.h"
#include "directory/file_system.h"

namespace kovo {

// The file between the load and the store. The handle opened by the load
// stays open until the store (or the end of the object).
class DirectoryFile {
 public:
  explicit DirectoryFile(FileSystem& files, std::string name = kDirectoryFileName)
      : files_(files), name_(std::move(name)) {}
  ~DirectoryFile();
  DirectoryFile(const DirectoryFile&) = delete;
  DirectoryFile& operator=(const DirectoryFile&) = delete;

  FileSystem& Files() { return files_; }
  const char* Name() const { return name_.c_str(); }
  FileHandle Handle() const { return handle_; }
  void Adopt(FileHandle handle) { handle_ = handle; }
  FileHandle Release();

 private:
  FileSystem& files_;
  std::string name_;
  FileHandle handle_ = kNoFile;
};

enum class LoadStep { Done, Open, Read };

struct LoadResult {
  LoadStep Failed = LoadStep::Done;
  int Code = 0;
  bool ok() const { return Failed == LoadStep::Done; }
};

enum class StoreStep { Done, Reopen, Write, Sync, Close };

struct StoreResult {
  StoreStep Failed = StoreStep::Done;
  int Code = 0;
  bool ok() const { return Failed == StoreStep::Done; }
};

// Opens the existing file for reading and writing and reads its first
// 19,700 bytes into image in one read. An open failure and a read failure
// (including a file shorter than the image, code 100) are told apart.
[[nodiscard]] LoadResult LoadDirectory(DirectoryFile& file, DirectoryImage& image);

// Closes the load's handle, opens the file again, writes work over its first
// 19,700 bytes, syncs and closes it. The first failing step stops the store.
// When the write or the sync fails after the file was changed, the bytes of
// loaded (what the file held at the load) are put back over the changed part.
[[nodiscard]] StoreResult StoreDirectory(DirectoryFile& file, const DirectoryImage& work,
                                         const DirectoryImage& loaded);

}  // namespace kovo
