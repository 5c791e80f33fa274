// Which file is the directory file: found by name in the working folder as
// the console platform finds it, where names are equal without regard to
// ASCII case.
#pragma once

#include <string>
#include <vector>

#include "directory/directory_entry.h"

namespace kovo {

struct NameLookup {
  std::string Name;                     // the name to open
  std::vector<std::string> Candidates;  // when several entries match: all of them, none used
};

// The exact name when an entry of that name exists (or on Win32, whose
// file system already matches without regard to case); otherwise the one
// entry of the working folder whose name equals it without regard to ASCII
// case. With none, or several, the exact name, which then cannot be opened.
NameLookup FindDirectoryFile(const std::string& exact = kDirectoryFileName);

}  // namespace kovo
