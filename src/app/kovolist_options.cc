#include "app/kovolist_options.h"

namespace kovo {

const char kListingUsage[] =
    "usage: kovolist [--used] [--json] [FILE]\n"
    "       kovolist --after SWITCH [--used] [--json] [FILE]\n"
    "       kovolist --check SWITCH [FILE]\n"
    "       kovolist --help | --version\n"
    "\n"
    "Lists the 100 slots of FILE (default kovo.fon); never writes.\n"
    "  --after SWITCH  list the slots as \"kovomaint SWITCH\" would leave them\n"
    "  --check SWITCH  exit 0 if \"kovomaint SWITCH\" would leave FILE as it is,\n"
    "                  1 if it would change it, 2 if FILE cannot be read or is short\n"
    "  --used          list only the used slots, then a count of used and free\n"
    "  --json          one JSON document instead of lines\n"
    "  --help          show this and exit\n"
    "  --version       show the version and exit\n";

namespace {

ParsedOptions Refuse(std::string error) { return ParsedOptions{std::nullopt, std::move(error)}; }

bool TakesSwitch(const std::string& option) { return option == "--after" || option == "--check"; }

}  // namespace

ParsedOptions ParseListingOptions(const std::vector<std::string>& arguments) {
  ListingOptions options;
  std::vector<std::string> files;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || argument.empty() || argument[0] != '-' || argument == "-") {
      files.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help") {
      return ParsedOptions{ListingOptions{ListingMode::Help, {}, false, false, {}}, {}};
    } else if (argument == "--version") {
      return ParsedOptions{ListingOptions{ListingMode::Version, {}, false, false, {}}, {}};
    } else if (argument == "--json") {
      options.Json = true;
    } else if (argument == "--used") {
      options.UsedOnly = true;
    } else if (TakesSwitch(argument)) {
      if (options.Mode != ListingMode::AsIs) return Refuse("--after and --check go alone");
      if (i + 1 == arguments.size()) return Refuse(argument + " needs the switch to try, Y or N");
      options.Mode = argument == "--after" ? ListingMode::After : ListingMode::Check;
      options.Switch = arguments[++i];
    } else {
      return Refuse("unknown option '" + argument + "'");
    }
  }
  if (files.size() > 1) return Refuse("one file at a time");
  if (!files.empty()) options.File = files.front();
  if (options.Mode == ListingMode::Check && (options.Json || options.UsedOnly))
    return Refuse("--check lists nothing: --json and --used do not go with it");
  return ParsedOptions{options, {}};
}

}  // namespace kovo
