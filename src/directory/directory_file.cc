#include "directory/directory_file.h"

#include <cstring>

#include "directory/signal_hold.h"

namespace kovo {
namespace {

int ShortTransferCode(const IoResult& result, int short_code) {
  return result.ok() ? short_code : result.Code;
}

StoreResult CloseAfterFailure(FileSystem& files, FileHandle handle, StoreStep step, int code) {
  (void)files.Close(handle);
  return StoreResult{step, code};
}

// The store is already failing, so a failure here is not reported; it only
// decides whether the journal is still needed. True when the file holds the
// loaded bytes again.
bool PutBackLoadedBytes(FileSystem& files, FileHandle handle, const DirectoryImage& loaded,
                        std::size_t changed) {
  if (changed == 0) return true;
  const IoResult written = files.WriteAt(handle, 0, loaded.Bytes(), changed);
  return written.ok() && written.Count == changed && files.Sync(handle).ok();
}

// 0 when the open file is the loaded one, unchanged, and the name still
// refers to it; otherwise the code of the refusal.
int CheckStillTheLoadedFile(DirectoryFile& file, FileHandle handle, const DirectoryImage& loaded,
                            DirectoryImage& current) {
  FileSystem& files = file.Files();
  const IoResult locked = files.Lock(handle, LockMode::Exclusive);
  if (!locked.ok()) return locked.Code;
  const DescribeResult now = files.Describe(handle);
  if (!now.ok()) return now.Code;
  if (now.Identity != file.Loaded().Identity) return kSharingViolation;
  const DescribeResult named = files.DescribeName(file.Name());
  if (!named.ok()) return named.Code;
  if (named.Identity != now.Identity) return kSharingViolation;

  const IoResult read = files.Read(handle, current.Bytes(), kImageSize);
  if (!read.ok()) return read.Code;
  if (read.Count != kImageSize || now.Length != file.Loaded().Length ||
      std::memcmp(current.Bytes(), loaded.Bytes(), kImageSize) != 0)
    return kSharingViolation;
  return 0;
}

// Undoes what a failing store changed; once the file holds the loaded bytes
// again the journal has nothing left to undo.
StoreResult FailAndRestore(DirectoryFile& file, FileHandle handle, const DirectoryImage& loaded,
                           std::size_t changed, bool journaled, StoreStep step, int code) {
  FileSystem& files = file.Files();
  if (PutBackLoadedBytes(files, handle, loaded, changed) && journaled)
    (void)files.Remove(JournalName(file.Name()).c_str());
  return CloseAfterFailure(files, handle, step, code);
}

}  // namespace

DirectoryFile::~DirectoryFile() {
  if (handle_ != kNoFile) (void)files_.Close(handle_);
}

FileHandle DirectoryFile::Release() {
  const FileHandle handle = handle_;
  handle_ = kNoFile;
  return handle;
}

LoadResult LoadDirectory(DirectoryFile& file, DirectoryImage& image) {
  const OpenResult opened = file.Files().OpenExisting(file.Name());
  if (!opened.ok()) return LoadResult{LoadStep::Open, opened.Code};
  file.Adopt(opened.Handle);

  FileSystem& files = file.Files();
  const IoResult locked = files.Lock(opened.Handle, LockMode::Shared);
  if (!locked.ok()) return LoadResult{LoadStep::Read, locked.Code};
  const IoResult read = files.Read(opened.Handle, image.Bytes(), kImageSize);
  if (!read.ok() || read.Count != kImageSize)
    return LoadResult{LoadStep::Read, ShortTransferCode(read, kShortRead)};
  const DescribeResult described = files.Describe(opened.Handle);
  if (!described.ok()) return LoadResult{LoadStep::Read, described.Code};
  file.Remember(described);
  // Others may edit the file during the passes; the store sees if they did.
  (void)files.Lock(opened.Handle, LockMode::Unlocked);
  return LoadResult{};
}

StoreResult StoreDirectory(DirectoryFile& file, const DirectoryImage& work,
                           const DirectoryImage& loaded, StoreScratch& scratch) {
  FileSystem& files = file.Files();
  if (file.Handle() != kNoFile) {
    const IoResult closed = files.Close(file.Release());
    if (!closed.ok()) return StoreResult{StoreStep::Reopen, closed.Code};
  }
  const OpenResult opened = files.OpenExisting(file.Name());
  if (!opened.ok()) return StoreResult{StoreStep::Reopen, opened.Code};
  const FileHandle handle = opened.Handle;
  if (const int refused = CheckStillTheLoadedFile(file, handle, loaded, scratch.Current);
      refused != 0)
    return CloseAfterFailure(files, handle, StoreStep::Reopen, refused);

  const SignalHold hold;
  const JournalPath journal_name = JournalName(file.Name());
  FillJournal(scratch.Journal, file.Loaded().Identity, file.Loaded().Length, loaded, work);
  const JournalResult journal = BeginJournal(files, journal_name, scratch.Journal);
  if (!journal.ok()) return CloseAfterFailure(files, handle, StoreStep::Journal, journal.Code);

  const IoResult written = files.WriteAt(handle, 0, work.Bytes(), kImageSize);
  if (!written.ok() || written.Count != kImageSize)
    return FailAndRestore(file, handle, loaded, written.Count, journal.Written, StoreStep::Write,
                          ShortTransferCode(written, kShortWrite));
  const IoResult synced = files.Sync(handle);
  if (!synced.ok())
    return FailAndRestore(file, handle, loaded, kImageSize, journal.Written, StoreStep::Sync,
                          synced.Code);
  if (journal.Written) {
    const IoResult removed = files.Remove(journal_name.c_str());
    if (!removed.ok())
      return FailAndRestore(file, handle, loaded, kImageSize, true, StoreStep::Journal,
                            removed.Code);
  }
  const IoResult closed = files.Close(handle);
  if (!closed.ok()) return StoreResult{StoreStep::Close, closed.Code};
  return StoreResult{};
}

}  // namespace kovo
