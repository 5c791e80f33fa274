// The directory file between the load and the store: loading it into an
// image, and storing an image back over it in place.
#pragma once

#include <string>
#include <utility>

#include "directory/directory_entry.h"
#include "directory/file_system.h"
#include "directory/store_journal.h"

namespace kovo {

// Under the load's shared lock, which stays held, reads up to the first
// 19,700 bytes of the open file and notes its identity and length; a
// failure is the Read step's.
Status ReadUnderSharedLock(FileSystem& files, FileHandle file, DirectoryImage& image, std::size_t& read,
                           FileDescription& description);

class DirectoryFile {
 public:
  explicit DirectoryFile(FileSystem& files, std::string name = kDirectoryFileName)
      : files_(files), name_(std::move(name)), journal_name_(JournalName(name_)) {}
  ~DirectoryFile();
  DirectoryFile(const DirectoryFile&) = delete;
  DirectoryFile& operator=(const DirectoryFile&) = delete;

  // Waits for any other run on the file to end, then rolls back a journal a
  // cut-off store left; failures are the Recover step's (the open's, Open).
  Status BeginRun(StoreScratch& scratch);

  // Opens the file for reading and writing and reads it whole under the
  // shared lock: the Open step's failures, or the Read step's (100: short).
  Status LoadDirectory(DirectoryImage& image);

  // Opens the file again and, under the exclusive lock, checks that its name
  // still leads to it (2, 32) and that it holds what was loaded (32); then
  // journals, writes work, syncs and removes the journal, with signals held.
  // A refusal writes nothing; a failure after a change puts loaded back.
  Status StoreDirectory(const DirectoryImage& work, const DirectoryImage& loaded, StoreScratch& scratch);

 private:
  Status CheckStillTheLoadedFile(FileHandle handle, const DirectoryImage& loaded, DirectoryImage& current);
  Status FailAndRestore(FileHandle handle, const DirectoryImage& loaded, std::size_t changed, bool journaled,
                        Status failure);

  FileSystem& files_;
  std::string name_;
  JournalPath journal_name_;
  // The load's handle stays open until the store. On Win32 it is shared for
  // reading and writing but not for deleting, so while the passes run no
  // other program can delete, rename or replace the file under the run.
  FileHandle handle_ = kNoFile;
  FileHandle run_lock_ = kNoFile;  // held from BeginRun to the end of the object
  FileDescription loaded_;  // the identity and length the load saw
};

}  // namespace kovo
