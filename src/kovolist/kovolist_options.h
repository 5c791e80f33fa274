// kovolist's command line.
#pragma once

#include <optional>
#include <string>

#include "app/switch_table.h"

namespace kovo {

enum class ListingMode { AsIs, After, Check, Journal, Help, Version };

struct ListingOptions {
  ListingMode Mode = ListingMode::AsIs;
  std::string Switch;  // the argument kovomaint would be given, with --after and --check
  SwitchOutcome Outcome = SwitchOutcome::InvalidParameters;  // what kovomaint makes of it
  bool Json = false;
  bool UsedOnly = false;
  bool Quiet = false;  // --check says only why it fails, on standard error
  bool JournalAfter = false;  // --journal: its image after the store, not before
  std::optional<std::string> File;  // none: kovo.fon, found as kovomaint finds it
};

struct ParsedOptions {
  std::optional<ListingOptions> Options;
  std::string Error;  // why the command line was refused, when it was
};

// The usual forms, through getopt_long: -a SWITCH, --after SWITCH and
// --after=SWITCH alike, and "--" ends the options.
ParsedOptions ParseListingOptions(int argc, char** argv);

// What --help shows: only the options this build has.
const char* ListingUsage();

}  // namespace kovo
