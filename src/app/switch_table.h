// The command line: which argument counts and what it asks for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovo {

// The first non-empty argument after the program name; an empty argument is
// passed over like a separator. (The console platform cuts arguments to 255
// bytes; every argument longer than two bytes is refused alike, so nothing
// here needs to.)
std::optional<std::string> FirstArgument(int argc, const char* const* argv);

enum class SwitchOutcome {
  InvalidParameters,  // absent, or longer than two bytes
  IncorrectSwitch,    // a single ASCII letter other than Y and N
  PackAndSort,        // "Y" or "y"
  PackOnly,           // "N", "n", or any other text of one or two bytes
};

SwitchOutcome ClassifySwitch(const std::optional<std::string>& argument);

}  // namespace kovo
