#include "app/win32_command_line.h"


namespace kovo {
namespace {

bool IsSeparator(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 1 && value <= 32;
}

// Skips separators and empty quoted pairs before an argument.
void SkipSeparators(std::string_view line, std::size_t& i) {
  for (;;) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i + 1 < line.size() && line[i] == '"' && line[i + 1] == '"') {
      i += 2;
      continue;
    }
    return;
  }
}

std::string NextArgument(std::string_view line, std::size_t& i) {
  SkipSeparators(line, i);
  std::string argument;
  bool quoted = false;
  for (; i < line.size() && line[i] != '\0'; ++i) {
    const char byte = line[i];
    if (byte == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsSeparator(byte)) break;
    argument += byte;
  }
  return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  for (;;) {
    std::string argument = NextArgument(line, i);
    if (argument.empty()) return arguments;
    arguments.push_back(std::move(argument));
  }
}

}  // namespace kovo
