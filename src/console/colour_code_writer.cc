#include "console/colour_code_writer.h"

#include <algorithm>
#include <cstdint>

namespace kovo {
namespace {

int DigitValue(char byte, int base) {
  if (byte >= '0' && byte <= '9') return byte - '0';
  if (base == 16 && byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
  if (base == 16 && byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
  return -1;
}

// The value of a pipe code's text (the up to two bytes after "|"): optional
// leading spaces, an optional sign, an optional "$" for hexadecimal, then
// digits and nothing else. Anything else is 0.
int PipeCodeValue(std::string_view code) {
  std::size_t i = 0;
  while (i < code.size() && code[i] == ' ') ++i;
  bool negative = false;
  if (i < code.size() && (code[i] == '+' || code[i] == '-')) negative = code[i++] == '-';
  int base = 10;
  if (i < code.size() && code[i] == '$') {
    base = 16;
    ++i;
  }
  int value = 0;
  for (; i < code.size(); ++i) {
    const int digit = DigitValue(code[i], base);
    if (digit < 0) return 0;
    value = value * base + digit;
  }
  return negative ? -value : value;
}

void ApplyPipeCode(Console& console, int value) {
  if (value >= 1 && value <= 15) console.Device.SetForeground(static_cast<std::uint8_t>(value));
  if (value >= 16 && value <= 23) console.Device.SetBackground(static_cast<std::uint8_t>(value - 16));
}

}  // namespace

// Each stretch between codes goes to the output in one write.
void WriteCoded(Console& console, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t code = std::min(text.find('|', i), text.size());
    if (code > i) console.Output.WriteString(text.substr(i, code - i));
    i = code + 1;
    if (i < text.size()) ApplyPipeCode(console, PipeCodeValue(text.substr(i, 2)));
    i += 2;
  }
}

void WriteCodedLine(Console& console, std::string_view text) {
  WriteCoded(console, text);
  console.Output.WriteLineEnd();
}

}  // namespace kovo
