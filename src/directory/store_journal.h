// The rollback journal of a store: before the first byte of the directory
// file changes, the bytes about to be replaced (and those replacing them) go
// to "<name>-journal" beside it, synced with its folder; the store removes
// it, durably, once the file is synced. A complete journal found by a later
// run means a store was cut off, and is rolled back.
#pragma once

#include <cstdint>
#include <string_view>

#include "directory/directory_entry.h"
#include "directory/file_system.h"

namespace kovo {

// An unsigned 64-bit number as the journal stores it: little-endian on every
// machine, so that any build reads any build's journal.
struct StoredNumber {
  unsigned char Bytes[8];
  std::uint64_t Value() const;
  void Set(std::uint64_t value);
};

// The journal file's whole content, laid out as written.
struct JournalRecord {
  char Magic[8];
  StoredNumber Device;  // where the store ran; informative only, since it
  StoredNumber Index;   // changes when the folder moves or is shared
  StoredNumber Length;  // the file's length when the store began
  DirectoryImage Before;  // the first 19,700 bytes before the store
  DirectoryImage After;   // the same bytes as the store writes them
  StoredNumber Checksum;  // of everything above
};
static_assert(sizeof(JournalRecord) == 32 + 2 * kImageSize + 8, "journal layout is packed");

// The working memory of a store or a roll-back, taken with the images at
// the start of a run, so that neither needs memory (or much stack) later.
struct StoreScratch {
  JournalRecord Journal;
  DirectoryImage Current;  // the file as it stands, read again
};

// The journal's name, kept without taking memory.
struct JournalPath {
  char Text[4096 + 16];
  const char* c_str() const { return Text; }
};
JournalPath JournalName(std::string_view file_name);

// Writes all of data at offset 0 and syncs it; a write that stops short is
// code 101.
Status WriteAllAndSync(FileSystem& files, FileHandle file, const void* data, std::size_t size);

void FillJournal(JournalRecord& record, const FileIdentity& identity, std::uint64_t length,
                 const DirectoryImage& before, const DirectoryImage& after);

// Writes, syncs and closes the journal, then syncs its folder; on failure
// nothing of it is left. One already there that is not spent is another
// store's, going on elsewhere: code 32, left as it is. written is false
// where the folder takes no new file: the store goes on without.
Status BeginJournal(FileSystem& files, const JournalPath& journal_name, const JournalRecord& record,
                    FileHandle file, bool& written);

// Removes the journal of the open file, durably; where the removal is
// refused, spends it instead: zeroed and synced, never applied again.
Status EndJournal(FileSystem& files, const JournalPath& journal_name, FileHandle file);

// Success when a run of this user could remove the journal or, failing
// that, write it; otherwise the code that stops the run.
Status CheckJournalCanGo(FileSystem& files, const JournalPath& journal_name, FileHandle file);

// What the next run does with a journal beside the file that it does not
// refuse.
enum class JournalAction {
  None,      // there is none
  RollBack,  // complete, and the file holds nothing but the bytes of its store
  Remove,    // not complete: never applied, removed where this user may
};

// Why a journal is not complete.
enum class Leftover {
  Spent,   // its run finished but could not remove it
  CutOff,  // its run was cut off before the file changed: short, or the file holds its bytes from before
};

struct JournalVerdict {
  JournalAction Action = JournalAction::None;
  Leftover Kind = Leftover::CutOff;  // why one is removed
  bool Read = false;  // a record's length of it is in the scratch, judged or refused
  bool IsSpent() const { return Action == JournalAction::Remove && Kind == Leftover::Spent; }
};

// Judges the journal beside the open file, which the caller holds locked.
// Changes nothing; a complete journal is left in scratch.Journal, the file's
// first bytes in scratch.Current. A failure refuses it (verdict None): it is
// untrusted, unreadable, damaged beside a changed file (1392), or not of this
// file as it stands (32); a run stops over it, keeping it.
Status JudgeJournal(FileSystem& files, FileHandle file, const JournalPath& journal_name, StoreScratch& scratch,
                    JournalVerdict& verdict);

// Under the file's exclusive lock, does what JudgeJournal says of the
// journal beside file_name: applies and removes a complete one, removes one
// that is not where this user may; a refused one stays, and is the result.
Status RecoverJournal(FileSystem& files, const char* file_name, const JournalPath& journal_name, FileHandle file,
                      StoreScratch& scratch);

}  // namespace kovo
