// The directory file between the load and the store: loading it into an
// image, and storing an image back over it in place.
#pragma once

#include <string>
#include <utility>

#include "directory/directory_entry.h"
#include "directory/file_system.h"
#include "directory/store_journal.h"

namespace kovo {

// Takes the load's shared lock on the open file, waiting a bounded time
// for a store in progress, then reads up to its first 19,700 bytes into
// image (read tells how many) and notes its identity and length. The lock
// stays held. A failure is the Read step's.
Status ReadUnderSharedLock(FileSystem& files, FileHandle file, DirectoryImage& image, std::size_t& read,
                           FileDescription& description);

class DirectoryFile {
 public:
  explicit DirectoryFile(FileSystem& files, std::string name = kDirectoryFileName)
      : files_(files), name_(std::move(name)), journal_name_(JournalName(name_)) {}
  ~DirectoryFile();
  DirectoryFile(const DirectoryFile&) = delete;
  DirectoryFile& operator=(const DirectoryFile&) = delete;

  // Waits for any other run on the file to end, then rolls back a journal
  // that a store cut off left beside it (see store_journal.h). Either
  // failing is reported as the Recover step, and so is a journal that is not
  // trusted; a run still going after the long wait, with code 33. A file
  // that cannot be opened is the Open step, as for the load; after any
  // failure here the run goes no further.
  Status BeginRun(StoreScratch& scratch);

  // Opens the existing file for reading and writing and, under a shared
  // lock, reads its first 19,700 bytes into image in one read and notes its
  // identity and length. An open failure and a read failure (including a
  // file shorter than the image, code 100, and a lock held past the wait,
  // code 33) are told apart as the Open and Read steps.
  Status LoadDirectory(DirectoryImage& image);

  // Closes the load's handle and opens the file again. Under an exclusive
  // lock it checks that the name still refers to the loaded file (code 2
  // when the name is gone, 32 when it names another file) and that the file
  // still holds what was loaded (32), journals the bytes it replaces, writes
  // work over the first 19,700 bytes, syncs, removes the journal and closes
  // the file. The first failing step stops the store, and a refusal writes
  // nothing. When the write or the sync fails after the file was changed,
  // or the journal cannot be removed durably, the bytes of loaded are put
  // back. Signals that would end the process wait from the journal to the
  // end.
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
