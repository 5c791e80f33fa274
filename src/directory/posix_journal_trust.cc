#include "directory/posix_journal_trust.h"

#include <cstring>

#include "directory/file_system.h"

namespace kovo {
namespace {

constexpr std::uint32_t kOthersWrite = 02;
constexpr std::uint32_t kGroupWrite = 020;

bool SameAccessList(const AccessList& one, const AccessList& other) {
  return one.Readable && other.Readable && one.Size == other.Size &&
         std::memcmp(one.Bytes, other.Bytes, one.Size) == 0;
}

unsigned AccessListField(const AccessList& list, std::size_t at, int size) {
  unsigned value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | list.Bytes[at + static_cast<std::size_t>(i)];
  return value;
}

// True when an entry of the list names the user and lets them write, and
// the list's mask lets them too.
bool AccessListLetsWrite(const AccessList& list, std::uint32_t user) {
  constexpr unsigned kNamedUser = 0x02;
  constexpr unsigned kMask = 0x10;
  constexpr unsigned kWrite = 2;
  bool named = false;
  unsigned mask = kWrite;
  for (std::size_t at = 4; list.Readable && at + 8 <= list.Size; at += 8) {
    const unsigned tag = AccessListField(list, at, 2);
    const unsigned permissions = AccessListField(list, at + 2, 2);
    if (tag == kNamedUser && AccessListField(list, at + 4, 4) == user) named = (permissions & kWrite) != 0;
    if (tag == kMask) mask = permissions;
  }
  return named && (mask & kWrite) != 0;
}

bool GroupWritesFile(const FileAccess& journal, const FileAccess& file) {
  return (file.Mode & kGroupWrite) != 0 && journal.Group == file.Group;
}

// Whether the owner of a journal may write the file it belongs to, so that
// a run of theirs could have made it. A run gives its journal the file's
// group only when its maker belongs to it.
bool OwnerMayWrite(const FileAccess& journal, const FileAccess& file, std::uint32_t user) {
  const std::uint32_t owner = journal.Owner;
  if (owner == 0 || owner == file.Owner || owner == user) return true;
  if ((file.Mode & kOthersWrite) != 0 || GroupWritesFile(journal, file)) return true;
  return AccessListLetsWrite(file.List, owner);
}

// Whether everyone the journal's permissions let write it may write the
// file too: its group and others only where the file lets them, and an
// access list only the file's own.
bool OnlyWritersOfTheFileMayWrite(const FileAccess& journal, const FileAccess& file) {
  const bool others_write_file = (file.Mode & kOthersWrite) != 0;
  if ((journal.Mode & kOthersWrite) != 0 && !others_write_file) return false;
  if ((journal.Mode & kGroupWrite) != 0 && !others_write_file && !GroupWritesFile(journal, file)) return false;
  if (!journal.List.Readable) return false;
  return journal.List.Size == 0 || SameAccessList(journal.List, file.List);
}

}  // namespace

int JudgeJournalAccess(const FileAccess& journal, const FileAccess& file, std::uint32_t user) {
  return OwnerMayWrite(journal, file, user) && OnlyWritersOfTheFileMayWrite(journal, file) ? 0 : kUntrustedOwner;
}

std::uint32_t JournalMode(const FileAccess& file, bool has_the_files_group, bool list_copied) {
  const std::uint32_t mode = file.Mode & 0777;
  if ((file.List.Size > 0 || !file.List.Readable) && !list_copied) return mode & 0700;
  if (has_the_files_group) return mode;
  const std::uint32_t both = (mode >> 3) & mode & 07;
  return (mode & 0700) | both << 3 | both;
}

bool NoWiderThanWanted(const FileAccess& journal, std::uint32_t mode, const FileAccess& file, bool list_copied) {
  if ((journal.Mode & 0777 & ~mode) != 0 || !journal.List.Readable) return false;
  return journal.List.Size == 0 || (list_copied && SameAccessList(journal.List, file.List));
}

}  // namespace kovo
