#include "app/switch_table.h"

namespace kovo {
namespace {

bool IsAsciiLetter(char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

std::optional<std::string> FirstArgument(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    if (!argument.empty()) return std::string(argument);
  }
  return std::nullopt;
}

SwitchOutcome ClassifySwitch(const std::optional<std::string>& argument) {
  if (!argument || argument->size() > 2) return SwitchOutcome::InvalidParameters;
  if (*argument == "Y" || *argument == "y") return SwitchOutcome::PackAndSort;
  if (*argument == "N" || *argument == "n") return SwitchOutcome::PackOnly;
  if (argument->size() == 1 && IsAsciiLetter((*argument)[0])) return SwitchOutcome::IncorrectSwitch;
  return SwitchOutcome::PackOnly;
}

}  // namespace kovo
