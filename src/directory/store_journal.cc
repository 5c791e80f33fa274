#include "directory/store_journal.h"

#include <cstdio>
#include <cstring>

namespace kovo {
namespace {

constexpr char kMagic[8] = {'K', 'O', 'V', 'O', 'J', 'N', 'L', '1'};

// FNV-1a, 64 bits.
std::uint64_t ChecksumOf(const JournalRecord& record) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < offsetof(JournalRecord, Checksum); ++i) {
    hash = (hash ^ bytes[i]) * 1099511628211ull;
  }
  return hash;
}

// True when the magic and the checksum hold: the journal was written whole.
bool JournalIsComplete(const JournalRecord& record) {
  return std::memcmp(record.Magic, kMagic, sizeof kMagic) == 0 &&
         record.Checksum == ChecksumOf(record);
}

JournalResult Discard(FileSystem& files, const JournalPath& journal_name, int code) {
  (void)files.Remove(journal_name.c_str());
  return JournalResult{code, false};
}

constexpr std::size_t kHeaderSize = offsetof(JournalRecord, Before);

// Reads the whole journal and judges one that is not complete, whose
// length or checksum is wrong, by the file open on file.
IoResult ReadJournal(FileSystem& files, FileHandle journal, FileHandle file, StoreScratch& scratch,
                     JournalVerdict& verdict) {
  JournalRecord& record = scratch.Journal;
  const IoResult read = files.ReadAt(journal, 0, &record, sizeof record);
  if (!read.ok()) return read;
  unsigned char extra = 0;
  const IoResult more = files.ReadAt(journal, sizeof record, &extra, 1);
  if (!more.ok()) return more;
  const bool whole = read.Count == sizeof record && more.Count == 0;
  if (whole && JournalIsComplete(record)) {
    verdict.Action = JournalAction::RollBack;
    return IoResult{};
  }
  verdict.Action = JournalAction::Remove;
  const char zeros[sizeof record.Magic] = {};
  if (whole && std::memcmp(record.Magic, zeros, sizeof zeros) == 0) {
    verdict.Kind = Leftover::Spent;
    return IoResult{};
  }
  verdict.Kind = Leftover::Damaged;
  if (read.Count < kHeaderSize + kImageSize || std::memcmp(record.Magic, kMagic, sizeof kMagic) != 0)
    return IoResult{};
  const IoResult current = files.ReadAt(file, 0, scratch.Current.Bytes(), kImageSize);
  if (!current.ok()) return current;
  if (current.Count == kImageSize && std::memcmp(scratch.Current.Bytes(), record.Before.Bytes(), kImageSize) == 0)
    verdict.Kind = Leftover::CutOff;
  return IoResult{};
}

// Zeroes the whole journal, its header first, and syncs it: a spent journal
// holds none of the file's bytes, whatever becomes of the file's permissions.
IoResult SpendJournal(FileSystem& files, const JournalPath& journal_name, FileHandle file) {
  static const unsigned char zeros[sizeof(JournalRecord)] = {};
  const OpenResult opened = files.OpenJournal(journal_name.c_str(), Access::ReadWrite, file);
  if (!opened.ok()) return IoResult{opened.Code, 0};
  const IoResult written = files.WriteAt(opened.Handle, 0, zeros, sizeof zeros);
  const IoResult synced = written.ok() && written.Count == sizeof zeros
                              ? files.Sync(opened.Handle)
                              : IoResult{written.ok() ? kShortWrite : written.Code, 0};
  const IoResult closed = files.Close(opened.Handle);
  return synced.ok() ? closed : synced;
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

// 0 when the open file is the one the journal names, as long as it was,
// and holds nothing but the bytes of the journal's store.
int CheckOnlyThisStoreWrote(FileSystem& files, FileHandle file, const JournalRecord& record,
                            DirectoryImage& current) {
  const DescribeResult described = files.Describe(file);
  if (!described.ok()) return described.Code;
  if (described.Identity != FileIdentity{record.Device, record.Index} || described.Length != record.Length)
    return kSharingViolation;
  const IoResult read = files.ReadAt(file, 0, current.Bytes(), kImageSize);
  if (!read.ok()) return read.Code;
  if (read.Count != kImageSize || !OnlyThisStoreWrote(current, record)) return kSharingViolation;
  return 0;
}

IoResult PutBackBytesBefore(FileSystem& files, FileHandle file, const StoreScratch& scratch) {
  if (std::memcmp(scratch.Current.Bytes(), scratch.Journal.Before.Bytes(), kImageSize) == 0) return IoResult{};
  const IoResult written = files.WriteAt(file, 0, scratch.Journal.Before.Bytes(), kImageSize);
  if (!written.ok()) return written;
  if (written.Count != kImageSize) return IoResult{kShortWrite, 0};
  return files.Sync(file);
}

// With the file locked: judges the journal again (a run that held the lock
// may have finished with it meanwhile), applies a complete one and removes
// it. One that is not complete is never applied, and where it cannot be
// removed, it does no harm.
IoResult RollBackLocked(FileSystem& files, FileHandle file, const JournalPath& journal_name,
                        StoreScratch& scratch) {
  const JournalVerdict verdict = JudgeJournal(files, file, journal_name, scratch);
  switch (verdict.Action) {
    case JournalAction::None: return IoResult{};
    case JournalAction::Refuse: return IoResult{verdict.Code, 0};
    case JournalAction::Remove:
      (void)EndJournal(files, journal_name, file);
      return IoResult{};
    case JournalAction::RollBack: break;
  }
  if (const IoResult put_back = PutBackBytesBefore(files, file, scratch); !put_back.ok()) return put_back;
  return EndJournal(files, journal_name, file);
}

}  // namespace

JournalPath JournalName(std::string_view file_name) {
  JournalPath path{};
  std::snprintf(path.Text, sizeof path.Text, "%.*s-journal", static_cast<int>(file_name.size()),
                file_name.data());
  return path;
}

void FillJournal(JournalRecord& record, const FileIdentity& identity, std::uint64_t length,
                 const DirectoryImage& before, const DirectoryImage& after) {
  std::memcpy(record.Magic, kMagic, sizeof kMagic);
  record.Device = identity.Device;
  record.Index = identity.Index;
  record.Length = length;
  record.Before = before;
  record.After = after;
  record.Checksum = ChecksumOf(record);
}

JournalResult BeginJournal(FileSystem& files, const JournalPath& journal_name,
                           const JournalRecord& record, FileHandle file) {
  const OpenResult created = files.CreateJournal(journal_name.c_str(), file);
  // A folder that takes no new file (no write permission, a read-only
  // mount): the store goes on in place without a journal.
  if (created.Code == kAccessDenied || created.Code == kWriteProtected) return JournalResult{0, false};
  if (!created.ok()) return JournalResult{created.Code, false};

  const IoResult written = files.WriteAt(created.Handle, 0, &record, sizeof record);
  const IoResult synced = written.ok() && written.Count == sizeof record
                              ? files.Sync(created.Handle)
                              : IoResult{written.ok() ? kShortWrite : written.Code, 0};
  const IoResult closed = files.Close(created.Handle);
  if (!synced.ok()) return Discard(files, journal_name, synced.Code);
  if (!closed.ok()) return Discard(files, journal_name, closed.Code);
  const IoResult folder = files.SyncFolder(journal_name.c_str());
  if (!folder.ok()) return Discard(files, journal_name, folder.Code);
  return JournalResult{0, true};
}

IoResult EndJournal(FileSystem& files, const JournalPath& journal_name, FileHandle file) {
  const IoResult removed = files.Remove(journal_name.c_str());
  if (removed.ok()) return files.SyncFolder(journal_name.c_str());
  if (removed.Code == kAccessDenied || removed.Code == kSharingViolation)
    return SpendJournal(files, journal_name, file);
  return removed;
}

JournalVerdict JudgeJournal(FileSystem& files, FileHandle file, const JournalPath& journal_name,
                            StoreScratch& scratch) {
  const OpenResult opened = files.OpenJournal(journal_name.c_str(), Access::ReadOnly, file);
  if (opened.Code == kFileNotFound) return JournalVerdict{};
  if (!opened.ok()) return JournalVerdict{JournalAction::Refuse, opened.Code};
  JournalVerdict verdict;
  const IoResult read = ReadJournal(files, opened.Handle, file, scratch, verdict);
  (void)files.Close(opened.Handle);
  if (!read.ok()) return JournalVerdict{JournalAction::Refuse, read.Code};
  if (verdict.Action != JournalAction::RollBack) return verdict;
  const int refused = CheckOnlyThisStoreWrote(files, file, scratch.Journal, scratch.Current);
  return JournalVerdict{refused == 0 ? JournalAction::RollBack : JournalAction::Refuse, refused};
}

IoResult RecoverJournal(FileSystem& files, const char* file_name, FileHandle file, StoreScratch& scratch) {
  if (file == kNoFile) return IoResult{};  // the load reports a file that cannot be opened
  const JournalPath journal_name = JournalName(file_name);
  const OpenResult probe = files.OpenJournal(journal_name.c_str(), Access::ReadOnly, file);
  if (probe.Code == kFileNotFound) return IoResult{};
  if (!probe.ok()) return IoResult{probe.Code, 0};
  (void)files.Close(probe.Handle);

  // A store holds the file's exclusive lock from before its journal is made
  // until after it is removed: under that lock a journal is a dead run's.
  const OpenResult opened = files.OpenExisting(file_name, Access::ReadWrite);
  if (!opened.ok()) return IoResult{opened.Code, 0};
  const IoResult locked = files.Lock(opened.Handle, LockMode::Exclusive);
  const IoResult rolled_back =
      locked.ok() ? RollBackLocked(files, opened.Handle, journal_name, scratch) : locked;
  const IoResult closed = files.Close(opened.Handle);
  return rolled_back.ok() ? closed : rolled_back;
}

}  // namespace kovo
