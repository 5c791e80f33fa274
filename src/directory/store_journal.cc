#include "directory/store_journal.h"

#include <cstdio>
#include <cstring>

namespace kovo {
namespace {

constexpr char kMagic[8] = {'K', 'O', 'V', 'O', 'J', 'N', 'L', '1'};

// FNV-1a, 64 bits, of the bytes as stored.
std::uint64_t Fnv1a(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}

std::uint64_t ChecksumOf(const JournalRecord& record) { return Fnv1a(&record, offsetof(JournalRecord, Checksum)); }

// True when the magic and the checksum hold: the journal was written whole.
bool JournalIsComplete(const JournalRecord& record) {
  return std::memcmp(record.Magic, kMagic, sizeof kMagic) == 0 &&
         record.Checksum.Value() == ChecksumOf(record);
}

Status Discard(FileSystem& files, const JournalPath& journal_name, Status failure) {
  (void)files.Remove(journal_name.c_str());
  return failure;
}

// Success when the open file still holds the journal's bytes from before
// its store; code 1392 when it does not.
Status CheckFileHoldsBefore(FileSystem& files, FileHandle file, StoreScratch& scratch) {
  std::size_t read = 0;
  if (const Status status = files.ReadAt(file, 0, scratch.Current.Bytes(), kImageSize, read); !status.ok())
    return status;
  const bool holds = read == kImageSize &&
                     std::memcmp(scratch.Current.Bytes(), scratch.Journal.Before.Bytes(), kImageSize) == 0;
  return holds ? Status{} : Status{kFileCorrupt};
}

// Reads the whole journal and judges it. Only what provably does no harm is
// removed: a short one (its store never began, for the file changes only
// once it is written whole), a spent one, and one whose file still holds the
// bytes from before its store. Any other that is not complete is refused.
Status ReadJournal(FileSystem& files, FileHandle journal, FileHandle file, StoreScratch& scratch,
                   JournalVerdict& verdict) {
  JournalRecord& record = scratch.Journal;
  std::size_t read = 0;
  if (const Status status = files.ReadAt(journal, 0, &record, sizeof record, read); !status.ok()) return status;
  unsigned char extra = 0;
  std::size_t more = 0;
  if (const Status status = files.ReadAt(journal, sizeof record, &extra, 1, more); !status.ok()) return status;
  const bool whole = read == sizeof record && more == 0;
  verdict.Read = read == sizeof record;
  if (whole && JournalIsComplete(record)) {
    verdict.Action = JournalAction::RollBack;
    return Status{};
  }
  verdict.Action = JournalAction::Remove;
  const char zeros[sizeof record.Magic] = {};
  if (whole && std::memcmp(record.Magic, zeros, sizeof zeros) == 0) {
    verdict.Kind = Leftover::Spent;
    return Status{};
  }
  verdict.Kind = Leftover::CutOff;
  if (read < sizeof record) return Status{};
  return CheckFileHoldsBefore(files, file, scratch);
}

// Zeroes the whole journal, its header first, and syncs it: a spent journal
// holds none of the file's bytes, whatever becomes of the file's permissions.
Status SpendJournal(FileSystem& files, const JournalPath& journal_name, FileHandle file) {
  static const unsigned char zeros[sizeof(JournalRecord)] = {};
  FileHandle journal = kNoFile;
  if (const Status opened = files.OpenJournal(journal_name.c_str(), Access::ReadWrite, file, journal); !opened.ok())
    return opened;
  const Status spent = WriteAllAndSync(files, journal, zeros, sizeof zeros);
  const Status closed = files.Close(journal);
  return spent.ok() ? closed : spent;
}

// True when every byte of current is what the store found or what it wrote:
// nobody else has written to the file since.
bool OnlyThisStoreWrote(const DirectoryImage& current, const JournalRecord& record) {
  const unsigned char* now = current.Bytes();
  const unsigned char* before = record.Before.Bytes();
  const unsigned char* after = record.After.Bytes();
  for (std::size_t i = 0; i < kImageSize; ++i) {
    if (now[i] != before[i] && now[i] != after[i]) return false;
  }
  return true;
}

// Success when the open file is as long as the journal's was and holds
// nothing but the bytes of the journal's store. The file's identity is not
// asked: it changes when the folder is copied, restored, re-mounted or
// reached from another machine, and its bytes already tell.
Status CheckOnlyThisStoreWrote(FileSystem& files, FileHandle file, const JournalRecord& record,
                               DirectoryImage& current) {
  FileDescription described;
  if (const Status status = files.Describe(file, described); !status.ok()) return status;
  if (described.Length != record.Length.Value()) return Status{kSharingViolation};
  std::size_t read = 0;
  if (const Status status = files.ReadAt(file, 0, current.Bytes(), kImageSize, read); !status.ok()) return status;
  if (read != kImageSize || !OnlyThisStoreWrote(current, record)) return Status{kSharingViolation};
  return Status{};
}

Status PutBackBytesBefore(FileSystem& files, FileHandle file, const StoreScratch& scratch) {
  if (std::memcmp(scratch.Current.Bytes(), scratch.Journal.Before.Bytes(), kImageSize) == 0) return Status{};
  return WriteAllAndSync(files, file, scratch.Journal.Before.Bytes(), kImageSize);
}

// Judges the journal until it and the file have held still over a wait: one
// that is not spent may be a store's still going on elsewhere, on a share
// whose locks do not reach this machine. Code 33 when they never do.
Status JudgeOnceStill(FileSystem& files, FileHandle file, const JournalPath& journal_name, StoreScratch& scratch,
                      JournalVerdict& verdict) {
  constexpr int kLooks = 8;
  std::uint64_t seen = 0;
  for (int look = 0; look < kLooks; ++look) {
    if (const Status judged = JudgeJournal(files, file, journal_name, scratch, verdict); !judged.ok()) return judged;
    const std::uint64_t now = Fnv1a(&scratch, sizeof scratch);
    if (verdict.Action == JournalAction::None || verdict.IsSpent() || (look > 0 && now == seen)) return Status{};
    seen = now;
    files.WaitAWhile();
  }
  return Status{kLockViolation};
}

// With the file locked: judges the journal again (a run that held the lock
// may have finished with it meanwhile), applies a complete one and removes
// it. One that is not complete is never applied, and where it cannot be
// removed, it does no harm.
Status RollBackLocked(FileSystem& files, FileHandle file, const JournalPath& journal_name, StoreScratch& scratch) {
  JournalVerdict verdict;
  if (const Status judged = JudgeOnceStill(files, file, journal_name, scratch, verdict); !judged.ok()) return judged;
  switch (verdict.Action) {
    case JournalAction::None: return Status{};
    case JournalAction::Remove:
      (void)EndJournal(files, journal_name, file);
      return Status{};
    case JournalAction::RollBack: break;
  }
  if (const Status put_back = PutBackBytesBefore(files, file, scratch); !put_back.ok()) return put_back;
  return EndJournal(files, journal_name, file);
}

}  // namespace

std::uint64_t StoredNumber::Value() const {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | Bytes[i];
  return value;
}

void StoredNumber::Set(std::uint64_t value) {
  for (unsigned char& byte : Bytes) {
    byte = static_cast<unsigned char>(value & 0xFF);
    value >>= 8;
  }
}

JournalPath JournalName(std::string_view file_name) {
  JournalPath path{};
  std::snprintf(path.Text, sizeof path.Text, "%.*s-journal", static_cast<int>(file_name.size()),
                file_name.data());
  return path;
}

void FillJournal(JournalRecord& record, const FileIdentity& identity, std::uint64_t length,
                 const DirectoryImage& before, const DirectoryImage& after) {
  std::memcpy(record.Magic, kMagic, sizeof kMagic);
  record.Device.Set(identity.Device);
  record.Index.Set(identity.Index);
  record.Length.Set(length);
  record.Before = before;
  record.After = after;
  record.Checksum.Set(ChecksumOf(record));
}

Status WriteAllAndSync(FileSystem& files, FileHandle file, const void* data, std::size_t size) {
  std::size_t written = 0;
  if (const Status status = files.WriteAt(file, 0, data, size, written); !status.ok()) return status;
  if (written != size) return Status{kShortWrite};
  return files.Sync(file);
}

// At the store, after the run's own roll-back, a journal beside the file
// that is not spent belongs to a store still going on elsewhere, on a share
// whose locks do not reach this machine: it is never taken over.
Status CheckNoStoreElsewhere(FileSystem& files, const JournalPath& journal_name, FileHandle file) {
  FileHandle journal = kNoFile;
  if (!files.OpenJournal(journal_name.c_str(), Access::ReadOnly, file, journal).ok()) return Status{};
  char magic[sizeof kMagic] = {};
  std::size_t read = 0;
  const Status status = files.ReadAt(journal, 0, magic, sizeof magic, read);
  (void)files.Close(journal);
  if (!status.ok()) return status;
  return std::memcmp(magic, kMagic, sizeof magic) == 0 ? Status{kSharingViolation} : Status{};
}

Status BeginJournal(FileSystem& files, const JournalPath& journal_name, const JournalRecord& record,
                    FileHandle file, bool& written) {
  written = false;
  if (const Status status = CheckNoStoreElsewhere(files, journal_name, file); !status.ok()) return status;
  FileHandle journal = kNoFile;
  const Status created = files.CreateJournal(journal_name.c_str(), file, journal);
  // A folder that takes no new file (no write permission, a read-only
  // mount): the store goes on in place without a journal.
  if (created.Code == kAccessDenied || created.Code == kWriteProtected) return Status{};
  if (!created.ok()) return created;

  const Status synced = WriteAllAndSync(files, journal, &record, sizeof record);
  const Status closed = files.Close(journal);
  if (!synced.ok()) return Discard(files, journal_name, synced);
  if (!closed.ok()) return Discard(files, journal_name, closed);
  const Status folder = files.SyncFolder(journal_name.c_str(), file);
  if (!folder.ok()) return Discard(files, journal_name, folder);
  written = true;
  return Status{};
}

Status EndJournal(FileSystem& files, const JournalPath& journal_name, FileHandle file) {
  const Status removed = files.Remove(journal_name.c_str());
  if (removed.ok()) return files.SyncFolder(journal_name.c_str(), file);
  if (removed.Code == kAccessDenied || removed.Code == kSharingViolation)
    return SpendJournal(files, journal_name, file);
  return removed;
}

Status CheckJournalCanGo(FileSystem& files, const JournalPath& journal_name, FileHandle file) {
  if (files.MayRemove(journal_name.c_str())) return Status{};
  FileHandle opened = kNoFile;
  const Status status = files.OpenJournal(journal_name.c_str(), Access::ReadWrite, file, opened);
  if (status.ok()) (void)files.Close(opened);
  return status;
}

Status JudgeJournal(FileSystem& files, FileHandle file, const JournalPath& journal_name, StoreScratch& scratch,
                    JournalVerdict& verdict) {
  verdict = JournalVerdict{};
  FileHandle journal = kNoFile;
  const Status opened = files.OpenJournal(journal_name.c_str(), Access::ReadOnly, file, journal);
  if (opened.Code == kFileNotFound) return Status{};
  if (!opened.ok()) return opened;
  const Status read = ReadJournal(files, journal, file, scratch, verdict);
  (void)files.Close(journal);
  const bool complete = read.ok() && verdict.Action == JournalAction::RollBack;
  const Status judged = complete ? CheckOnlyThisStoreWrote(files, file, scratch.Journal, scratch.Current) : read;
  if (!judged.ok()) verdict = JournalVerdict{JournalAction::None, Leftover::CutOff, verdict.Read};  // refused
  return judged;
}

Status RecoverJournal(FileSystem& files, const char* file_name, const JournalPath& journal_name, FileHandle file,
                      StoreScratch& scratch) {
  FileHandle probe = kNoFile;
  const Status found = files.OpenJournal(journal_name.c_str(), Access::ReadOnly, file, probe);
  if (found.Code == kFileNotFound) return Status{};
  if (!found.ok()) return found;
  (void)files.Close(probe);

  // A store holds the file's exclusive lock from before its journal is made
  // until after it is removed: under that lock a journal is a dead run's.
  FileHandle opened = kNoFile;
  if (const Status status = files.OpenExisting(file_name, Access::ReadWrite, opened); !status.ok()) return status;
  const Status locked = files.Lock(opened, LockMode::Exclusive);
  const Status rolled_back = locked.ok() ? RollBackLocked(files, opened, journal_name, scratch) : locked;
  const Status closed = files.Close(opened);
  return rolled_back.ok() ? closed : rolled_back;
}

}  // namespace kovo
