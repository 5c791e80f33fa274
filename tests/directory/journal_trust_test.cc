// Whom a journal is trusted from and what access a new one takes, decided
// over owners, groups, permission bits and access lists alone.
#include "directory/posix_journal_trust.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "directory/file_system.h"

namespace kovo {
namespace {

struct Entry {
  unsigned Tag;  // 1 owner, 2 a named user, 4 group, 0x10 mask, 0x20 others
  unsigned Permissions;
  std::uint32_t Id;
};

// An access list in the kernel's layout: version 2, then little-endian entries.
AccessList ListOf(const std::vector<Entry>& entries) {
  AccessList list;
  const unsigned char version[4] = {2, 0, 0, 0};
  std::memcpy(list.Bytes, version, 4);
  list.Size = 4;
  for (const Entry& entry : entries) {
    const std::uint32_t fields[3] = {entry.Tag, entry.Permissions, entry.Id};
    const int widths[3] = {2, 2, 4};
    for (int field = 0; field < 3; ++field) {
      for (int i = 0; i < widths[field]; ++i) list.Bytes[list.Size++] = (fields[field] >> (8 * i)) & 0xFF;
    }
  }
  return list;
}

const std::vector<Entry> kStrangerWrites = {{1, 6, 0}, {2, 6, 400}, {4, 4, 0}, {0x10, 6, 0}, {0x20, 4, 0}};
const std::vector<Entry> kMaskNarrows = {{1, 6, 0}, {2, 6, 400}, {4, 4, 0}, {0x10, 4, 0}, {0x20, 4, 0}};

AccessList Unreadable() {
  AccessList list;
  list.Readable = false;
  return list;
}

FileAccess Access(std::uint32_t owner, std::uint32_t group, std::uint32_t mode, AccessList list = {}) {
  FileAccess access;
  access.Owner = owner;
  access.Group = group;
  access.Mode = mode;
  access.List = list;
  return access;
}

// The file belongs to user 100 and group 200; the runner is user 300, and
// user 400 a stranger.
TEST(JudgeJournalAccess, TrustsOnlyWhatAWriterOfTheFileCouldHaveMade) {
  struct Case {
    const char* name;
    FileAccess journal;
    FileAccess file;
    int code;
  };
  const FileAccess file = Access(100, 200, 0644);
  const Case cases[] = {
      {"the file's owner's", Access(100, 200, 0644), file, 0},
      {"root's", Access(0, 0, 0644), file, 0},
      {"the runner's", Access(300, 300, 0644), file, 0},
      {"a stranger's", Access(400, 400, 0644), file, kUntrustedOwner},
      {"a stranger's, the file writable by all", Access(400, 400, 0644), Access(100, 200, 0666), 0},
      {"in the file's group, which may write it", Access(400, 200, 0644), Access(100, 200, 0664), 0},
      {"in another group", Access(400, 400, 0644), Access(100, 200, 0664), kUntrustedOwner},
      {"writable by all, the file not", Access(100, 200, 0666), file, kUntrustedOwner},
      {"writable by another group", Access(100, 400, 0664), Access(100, 200, 0664), kUntrustedOwner},
      {"writable by the file's group, which may", Access(100, 200, 0664), Access(100, 200, 0664), 0},
      {"named with write in the file's list", Access(400, 400, 0644), Access(100, 200, 0664, ListOf(kStrangerWrites)),
       0},
      {"named, the mask taking write away", Access(400, 400, 0644), Access(100, 200, 0644, ListOf(kMaskNarrows)),
       kUntrustedOwner},
      {"the file's unreadable list", Access(400, 400, 0644), Access(100, 200, 0644, Unreadable()), kUntrustedOwner},
      {"a list of its own", Access(100, 200, 0644, ListOf(kStrangerWrites)), file, kUntrustedOwner},
      {"the file's own list", Access(100, 200, 0644, ListOf(kMaskNarrows)),
       Access(100, 200, 0644, ListOf(kMaskNarrows)), 0},
      {"a list that cannot be read", Access(100, 200, 0644, Unreadable()), file, kUntrustedOwner},
  };
  for (const Case& c : cases) EXPECT_EQ(JudgeJournalAccess(c.journal, c.file, 300), c.code) << c.name;
}

TEST(JournalMode, NeverWiderThanTheFile) {
  struct Case {
    const char* name;
    FileAccess file;
    bool has_group;
    bool list_copied;
    std::uint32_t mode;
  };
  const Case cases[] = {
      {"the file's group", Access(100, 200, 0664), true, false, 0664},
      {"another group: only what group and others both may", Access(100, 200, 0664), false, false, 0644},
      {"another group, others alone may read", Access(100, 200, 0606), false, false, 0600},
      {"the list copied", Access(100, 200, 0664, ListOf(kMaskNarrows)), true, true, 0664},
      {"the list not copied", Access(100, 200, 0664, ListOf(kMaskNarrows)), true, false, 0600},
      {"the list unreadable", Access(100, 200, 0664, Unreadable()), true, false, 0600},
  };
  for (const Case& c : cases) EXPECT_EQ(JournalMode(c.file, c.has_group, c.list_copied), c.mode) << c.name;
}

TEST(NoWiderThanWanted, RefusesABitOrAListBeyondTheFile) {
  const FileAccess file = Access(100, 200, 0644, ListOf(kMaskNarrows));
  EXPECT_TRUE(NoWiderThanWanted(Access(100, 200, 0640), 0644, file, false));
  EXPECT_FALSE(NoWiderThanWanted(Access(100, 200, 0664), 0644, file, false));
  EXPECT_FALSE(NoWiderThanWanted(Access(100, 200, 0644, Unreadable()), 0644, file, false));
  EXPECT_FALSE(NoWiderThanWanted(Access(100, 200, 0644, ListOf(kMaskNarrows)), 0644, file, false));
  EXPECT_TRUE(NoWiderThanWanted(Access(100, 200, 0644, ListOf(kMaskNarrows)), 0644, file, true));
  EXPECT_FALSE(NoWiderThanWanted(Access(100, 200, 0644, ListOf(kStrangerWrites)), 0644, file, true));
}

}  // namespace
}  // namespace kovo
