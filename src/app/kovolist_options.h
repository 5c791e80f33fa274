// kovolist's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kovo {

enum class ListingMode { AsIs, After, Check, Help, Version };

struct ListingOptions {
  ListingMode Mode = ListingMode::AsIs;
  std::string Switch;  // the argument kovomaint would be given, with --after and --check
  bool Json = false;
  bool UsedOnly = false;
  std::string File = "kovo.fon";
};

struct ParsedOptions {
  std::optional<ListingOptions> Options;
  std::string Error;  // why the command line was refused, when it was
};

ParsedOptions ParseListingOptions(const std::vector<std::string>& arguments);

extern const char kListingUsage[];

}  // namespace kovo
