// The command line: which argument counts and what it asks for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovo {

inline constexpr std::size_t kMaxArgumentLength = 255;

// The first non-empty argument after the program name, cut to 255 bytes; an
// empty argument is passed over like a separator.
std::optional<std::string> FirstArgument(int argc, const char* const* argv);

enum class SwitchOutcome {
  InvalidParameters,  // absent, or longer than two bytes
  IncorrectSwitch,    // a single ASCII letter other than Y and N
  PackAndSort,        // "Y" or "y"
  PackOnly,           // "N", "n", or any other text of one or two bytes
};

SwitchOutcome ClassifySwitch(const std::optional<std::string>& argument);

}  // namespace kovo
