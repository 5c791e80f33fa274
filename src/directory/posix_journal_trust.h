// Whom a journal beside the directory file is trusted from, and what access
// a new journal takes from the file: decisions over the owners, groups,
// permission bits and access lists of the two, without touching the disk.
// The rule itself is told in DESIGN.md ("Whom a run trusts").
#pragma once

#include <cstddef>
#include <cstdint>

namespace kovo {

// An access list as Linux stores it (system.posix_acl_access): a 4-byte
// version, then 8-byte entries of a tag, permissions and an id,
// little-endian.
struct AccessList {
  unsigned char Bytes[4096];
  std::size_t Size = 0;  // 0: none
  bool Readable = true;  // false: it could not be read, so nothing about it is known
};

// What the trust rules need of a file.
struct FileAccess {
  std::uint32_t Owner = 0;
  std::uint32_t Group = 0;
  std::uint32_t Mode = 0;  // the permission bits, 0777
  AccessList List;
};

// 0 when a run of user may trust the journal of file: the journal's owner
// may write the file, and nobody may write the journal who may not write
// the file; else code 1307.
int JudgeJournalAccess(const FileAccess& journal, const FileAccess& file, std::uint32_t user);

// The permission bits a new journal takes from its file: the file's own
// where it has the file's group (elsewhere the file's group falls under
// others, so group and others get only what the file lets both do), and the
// owner's alone where the file has an access list the journal does not get,
// or one that could not be read.
std::uint32_t JournalMode(const FileAccess& file, bool has_the_files_group, bool list_copied);

// Whether a journal, as it came out, is no wider than its file: no bit
// beyond mode, and no access list but the file's own.
bool NoWiderThanWanted(const FileAccess& journal, std::uint32_t mode, const FileAccess& file, bool list_copied);

}  // namespace kovo
