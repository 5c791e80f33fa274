#include "directory/directory_file.h"

#include <cstring>

#include "directory/signal_hold.h"

namespace kovo {
namespace {

Status CloseAfterFailure(FileSystem& files, FileHandle handle, Status failure) {
  (void)files.Close(handle);
  return failure;
}

// The store is already failing, so a failure here is not reported; it only
// decides whether the journal is still needed. True when the file holds the
// loaded bytes again.
bool PutBackLoadedBytes(FileSystem& files, FileHandle handle, const DirectoryImage& loaded, std::size_t changed) {
  return changed == 0 || WriteAllAndSync(files, handle, loaded.Bytes(), changed).ok();
}

}  // namespace

Status ReadUnderSharedLock(FileSystem& files, FileHandle file, DirectoryImage& image, std::size_t& read,
                           FileDescription& description) {
  read = 0;
  if (const Status locked = files.Lock(file, LockMode::Shared); !locked.ok()) return AtStep(Step::Read, locked);
  const Status status = files.ReadAt(file, 0, image.Bytes(), kImageSize, read);
  if (!status.ok()) return AtStep(Step::Read, status);
  return AtStep(Step::Read, files.Describe(file, description));
}

DirectoryFile::~DirectoryFile() {
  if (handle_ != kNoFile) (void)files_.Close(handle_);
  if (run_lock_ != kNoFile) (void)files_.Close(run_lock_);
}

Status DirectoryFile::BeginRun(StoreScratch& scratch) {
  const Status opened = files_.OpenExisting(name_.c_str(), Access::ReadWrite, run_lock_);
  if (!opened.ok()) return AtStep(Step::Open, opened);
  const Status queued = files_.Lock(run_lock_, LockMode::Run);
  if (!queued.ok()) return AtStep(Step::Recover, queued);
  return AtStep(Step::Recover, RecoverJournal(files_, name_.c_str(), journal_name_, run_lock_, scratch));
}

Status DirectoryFile::LoadDirectory(DirectoryImage& image) {
  const Status opened = files_.OpenExisting(name_.c_str(), Access::ReadWrite, handle_);
  if (!opened.ok()) return AtStep(Step::Open, opened);
  std::size_t read = 0;
  if (const Status status = ReadUnderSharedLock(files_, handle_, image, read, loaded_); !status.ok()) return status;
  if (read != kImageSize) return Status{kShortRead, Step::Read};
  // Others may edit the file during the passes; the store sees if they did.
  (void)files_.Lock(handle_, LockMode::Unlocked);
  return Status{};
}

// Success when the open file is the loaded one, unchanged, and the name
// still refers to it; otherwise the refusal.
Status DirectoryFile::CheckStillTheLoadedFile(FileHandle handle, const DirectoryImage& loaded,
                                              DirectoryImage& current) {
  if (const Status locked = files_.Lock(handle, LockMode::Exclusive); !locked.ok()) return locked;
  FileDescription now;
  if (const Status status = files_.Describe(handle, now); !status.ok()) return status;
  if (now.Identity != loaded_.Identity) return Status{kSharingViolation};
  FileDescription named;
  if (const Status status = files_.DescribeName(name_.c_str(), named); !status.ok()) return status;
  if (named.Identity != now.Identity) return Status{kSharingViolation};

  std::size_t read = 0;
  if (const Status status = files_.ReadAt(handle, 0, current.Bytes(), kImageSize, read); !status.ok()) return status;
  if (read != kImageSize || now.Length != loaded_.Length ||
      std::memcmp(current.Bytes(), loaded.Bytes(), kImageSize) != 0)
    return Status{kSharingViolation};
  return Status{};
}

// Undoes what a failing store changed; once the file holds the loaded bytes
// again the journal has nothing left to undo.
Status DirectoryFile::FailAndRestore(FileHandle handle, const DirectoryImage& loaded, std::size_t changed,
                                     bool journaled, Status failure) {
  if (PutBackLoadedBytes(files_, handle, loaded, changed) && journaled)
    (void)EndJournal(files_, journal_name_, handle);
  return CloseAfterFailure(files_, handle, failure);
}

Status DirectoryFile::StoreDirectory(const DirectoryImage& work, const DirectoryImage& loaded,
                                     StoreScratch& scratch) {
  if (handle_ != kNoFile) {
    const Status closed = files_.Close(std::exchange(handle_, kNoFile));
    if (!closed.ok()) return AtStep(Step::Reopen, closed);
  }
  FileHandle handle = kNoFile;
  if (const Status opened = files_.OpenExisting(name_.c_str(), Access::ReadWrite, handle); !opened.ok())
    return AtStep(Step::Reopen, opened);
  if (const Status refused = CheckStillTheLoadedFile(handle, loaded, scratch.Current); !refused.ok())
    return CloseAfterFailure(files_, handle, AtStep(Step::Reopen, refused));

  const SignalHold hold;
  FillJournal(scratch.Journal, loaded_.Identity, loaded_.Length, loaded, work);
  bool journaled = false;
  const Status journal = BeginJournal(files_, journal_name_, scratch.Journal, handle, journaled);
  if (!journal.ok()) return CloseAfterFailure(files_, handle, AtStep(Step::Journal, journal));

  std::size_t written = 0;
  const Status write = files_.WriteAt(handle, 0, work.Bytes(), kImageSize, written);
  if (!write.ok() || written != kImageSize) {
    const Status failure{write.ok() ? kShortWrite : write.Code, Step::Write};
    return FailAndRestore(handle, loaded, written, journaled, failure);
  }
  if (const Status synced = files_.Sync(handle); !synced.ok())
    return FailAndRestore(handle, loaded, kImageSize, journaled, AtStep(Step::Sync, synced));
  if (journaled) {
    if (const Status ended = EndJournal(files_, journal_name_, handle); !ended.ok())
      return FailAndRestore(handle, loaded, kImageSize, true, AtStep(Step::Journal, ended));
  }
  return AtStep(Step::Close, files_.Close(handle));
}

}  // namespace kovo
