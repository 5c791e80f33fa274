// Loading the directory file into an image and storing an image back over
// it in place.
#pragma once

#include <string>
#include <utility>

#include "directory/directory_entry.h"
#include "directory/file_system.h"
#include "directory/store_journal.h"

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

  // What the load saw: the file's identity and length.
  void Remember(const DescribeResult& loaded) { loaded_ = loaded; }
  const DescribeResult& Loaded() const { return loaded_; }

 private:
  FileSystem& files_;
  std::string name_;
  FileHandle handle_ = kNoFile;
  DescribeResult loaded_;
};

enum class LoadStep { Done, Open, Read };

struct LoadResult {
  LoadStep Failed = LoadStep::Done;
  int Code = 0;
  bool ok() const { return Failed == LoadStep::Done; }
};

enum class StoreStep { Done, Reopen, Journal, Write, Sync, Close };

struct StoreResult {
  StoreStep Failed = StoreStep::Done;
  int Code = 0;
  bool ok() const { return Failed == StoreStep::Done; }
};

// Opens the existing file for reading and writing and, under a shared lock,
// reads its first 19,700 bytes into image in one read and notes its identity
// and length. An open failure and a read failure (including a file shorter
// than the image, code 100, and a lock held past the wait, code 33) are told
// apart.
[[nodiscard]] LoadResult LoadDirectory(DirectoryFile& file, DirectoryImage& image);

// Closes the load's handle and opens the file again. Under an exclusive lock
// it checks that the name still refers to the loaded file (code 2 when the
// name is gone, 32 when it names another file) and that the file still holds
// what was loaded (32), journals the bytes it replaces, writes work over the
// first 19,700 bytes, syncs, removes the journal and closes the file. The
// first failing step stops the store, and a refusal writes nothing. When the
// write or the sync fails after the file was changed, the bytes of loaded are
// put back over the changed part. Signals that would end the process wait
// from the journal to the end.
[[nodiscard]] StoreResult StoreDirectory(DirectoryFile& file, const DirectoryImage& work,
                                         const DirectoryImage& loaded, StoreScratch& scratch);

}  // namespace kovo
