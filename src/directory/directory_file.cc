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

}  // namespace

DirectoryFile::~DirectoryFile() {
  if (handle_ != kNoFile) (void)files_.Close(handle_);
  if (run_lock_ != kNoFile) (void)files_.Close(run_lock_);
}

StoreResult DirectoryFile::BeginRun(StoreScratch& scratch) {
  const OpenResult opened = files_.OpenExisting(name_.c_str(), Access::ReadWrite);
  if (opened.ok()) {
    run_lock_ = opened.Handle;
    const IoResult queued = files_.Lock(run_lock_, LockMode::Run);
    if (!queued.ok()) return StoreResult{StoreStep::Recover, queued.Code};
  }
  const IoResult recovered = RecoverJournal(files_, name_.c_str(), run_lock_, scratch);
  return recovered.ok() ? StoreResult{} : StoreResult{StoreStep::Recover, recovered.Code};
}

LoadResult DirectoryFile::LoadDirectory(DirectoryImage& image) {
  const OpenResult opened = files_.OpenExisting(name_.c_str(), Access::ReadWrite);
  if (!opened.ok()) return LoadResult{LoadStep::Open, opened.Code};
  handle_ = opened.Handle;

  const IoResult locked = files_.Lock(handle_, LockMode::Shared);
  if (!locked.ok()) return LoadResult{LoadStep::Read, locked.Code};
  const IoResult read = files_.ReadAt(handle_, 0, image.Bytes(), kImageSize);
  if (!read.ok() || read.Count != kImageSize)
    return LoadResult{LoadStep::Read, ShortTransferCode(read, kShortRead)};
  loaded_ = files_.Describe(handle_);
  if (!loaded_.ok()) return LoadResult{LoadStep::Read, loaded_.Code};
  // Others may edit the file during the passes; the store sees if they did.
  (void)files_.Lock(handle_, LockMode::Unlocked);
  return LoadResult{};
}

// 0 when the open file is the loaded one, unchanged, and the name still
// refers to it; otherwise the code of the refusal.
int DirectoryFile::CheckStillTheLoadedFile(FileHandle handle, const DirectoryImage& loaded,
                                           DirectoryImage& current) {
  const IoResult locked = files_.Lock(handle, LockMode::Exclusive);
  if (!locked.ok()) return locked.Code;
  const DescribeResult now = files_.Describe(handle);
  if (!now.ok()) return now.Code;
  if (now.Identity != loaded_.Identity) return kSharingViolation;
  const DescribeResult named = files_.DescribeName(name_.c_str());
  if (!named.ok()) return named.Code;
  if (named.Identity != now.Identity) return kSharingViolation;

  const IoResult read = files_.ReadAt(handle, 0, current.Bytes(), kImageSize);
  if (!read.ok()) return read.Code;
  if (read.Count != kImageSize || now.Length != loaded_.Length ||
      std::memcmp(current.Bytes(), loaded.Bytes(), kImageSize) != 0)
    return kSharingViolation;
  return 0;
}

// Undoes what a failing store changed; once the file holds the loaded bytes
// again the journal has nothing left to undo.
StoreResult DirectoryFile::FailAndRestore(FileHandle handle, const DirectoryImage& loaded,
                                          std::size_t changed, bool journaled, StoreStep step,
                                          int code) {
  if (PutBackLoadedBytes(files_, handle, loaded, changed) && journaled)
    (void)EndJournal(files_, JournalName(name_), handle);
  return CloseAfterFailure(files_, handle, step, code);
}

StoreResult DirectoryFile::StoreDirectory(const DirectoryImage& work, const DirectoryImage& loaded,
                                          StoreScratch& scratch) {
  if (handle_ != kNoFile) {
    const IoResult closed = files_.Close(std::exchange(handle_, kNoFile));
    if (!closed.ok()) return StoreResult{StoreStep::Reopen, closed.Code};
  }
  const OpenResult opened = files_.OpenExisting(name_.c_str(), Access::ReadWrite);
  if (!opened.ok()) return StoreResult{StoreStep::Reopen, opened.Code};
  const FileHandle handle = opened.Handle;
  if (const int refused = CheckStillTheLoadedFile(handle, loaded, scratch.Current); refused != 0)
    return CloseAfterFailure(files_, handle, StoreStep::Reopen, refused);

  const SignalHold hold;
  const JournalPath journal_name = JournalName(name_);
  FillJournal(scratch.Journal, loaded_.Identity, loaded_.Length, loaded, work);
  const JournalResult journal = BeginJournal(files_, journal_name, scratch.Journal, handle);
  if (!journal.ok()) return CloseAfterFailure(files_, handle, StoreStep::Journal, journal.Code);

  const IoResult written = files_.WriteAt(handle, 0, work.Bytes(), kImageSize);
  if (!written.ok() || written.Count != kImageSize)
    return FailAndRestore(handle, loaded, written.Count, journal.Written, StoreStep::Write,
                          ShortTransferCode(written, kShortWrite));
  const IoResult synced = files_.Sync(handle);
  if (!synced.ok())
    return FailAndRestore(handle, loaded, kImageSize, journal.Written, StoreStep::Sync, synced.Code);
  if (journal.Written) {
    const IoResult ended = EndJournal(files_, journal_name, handle);
    if (!ended.ok())
      return FailAndRestore(handle, loaded, kImageSize, true, StoreStep::Journal, ended.Code);
  }
  const IoResult closed = files_.Close(handle);
  if (!closed.ok()) return StoreResult{StoreStep::Close, closed.Code};
  return StoreResult{};
}

}  // namespace kovo
