#include "directory/directory_name.h"

#include <algorithm>
#include <filesystem>

namespace kovo {

#ifdef _WIN32

NameLookup FindDirectoryFile(const std::string& exact) { return NameLookup{exact, {}}; }

#else

namespace {

char LowerAscii(char byte) { return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : byte; }

bool EqualIgnoringAsciiCase(const std::string& left, const std::string& right) {
  return left.size() == right.size() &&
         std::equal(left.begin(), left.end(), right.begin(),
                    [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

}  // namespace

NameLookup FindDirectoryFile(const std::string& exact) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::symlink_status(exact, error).type() != fs::file_type::not_found) return NameLookup{exact, {}};
  std::vector<std::string> matches;
  for (fs::directory_iterator entry(".", error), end; !error && entry != end; entry.increment(error)) {
    std::string name = entry->path().filename().string();
    if (EqualIgnoringAsciiCase(name, exact)) matches.push_back(std::move(name));
  }
  if (matches.size() == 1) return NameLookup{matches.front(), {}};
  std::sort(matches.begin(), matches.end());
  return NameLookup{exact, matches.size() > 1 ? matches : std::vector<std::string>{}};
}

#endif

}  // namespace kovo
