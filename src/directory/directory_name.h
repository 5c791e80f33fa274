// Which file is the directory file: found by name in the working folder as
// the console platform finds it, where names are equal without regard to
// ASCII case.
#pragma once

#include "directory/directory_entry.h"
#include "directory/file_system.h"

namespace kovo {

struct NameLookup {
  char Name[NameMatches::kNameCapacity] = {};  // the name to open
  NameMatches Candidates;  // when several entries match: all of them, in order, and none is used
};

// The exact name when an entry of that name exists (or on Win32, whose
// file system already matches without regard to case); otherwise the one
// entry of the working folder whose name equals it without regard to ASCII
// case. With none, or several, the exact name, which then cannot be opened.
// Takes no memory.
NameLookup FindDirectoryFile(FileSystem& files);

bool EqualIgnoringAsciiCase(const char* left, const char* right);

}  // namespace kovo
