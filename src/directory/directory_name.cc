#include "directory/directory_name.h"

#include <cstdlib>
#include <cstring>

namespace kovo {
namespace {

int CompareNames(const void* left, const void* right) {
  return std::strcmp(static_cast<const char*>(left), static_cast<const char*>(right));
}

char LowerAscii(char byte) { return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : byte; }

}  // namespace

bool EqualIgnoringAsciiCase(const char* left, const char* right) {
  for (; *left != '\0' && *right != '\0'; ++left, ++right) {
    if (LowerAscii(*left) != LowerAscii(*right)) return false;
  }
  return *left == *right;
}

NameLookup FindDirectoryFile(FileSystem& files) {
  NameLookup lookup;
  std::strcpy(lookup.Name, kDirectoryFileName);
  NameMatches matches;
  if (!files.MatchNames(kDirectoryFileName, matches).ok()) return lookup;
  for (int i = 0; i < matches.Count; ++i) {
    if (std::strcmp(matches.Names[i], kDirectoryFileName) == 0) return lookup;
  }
  if (matches.Count == 1) {
    std::strcpy(lookup.Name, matches.Names[0]);
  } else if (matches.Count > 1) {
    lookup.Candidates = matches;
    std::qsort(lookup.Candidates.Names, static_cast<std::size_t>(matches.Count), NameMatches::kNameCapacity,
               CompareNames);
  }
  return lookup;
}

}  // namespace kovo
