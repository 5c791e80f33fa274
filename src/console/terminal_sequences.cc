#include "console/terminal_sequences.h"

#include <cstdio>

#include "console/text_attribute.h"

namespace kovo::sequences {
namespace {

// Attribute colour bits are blue 1, green 2, red 4; terminal colour numbers
// order red 1, green 2, blue 4.
int TerminalColour(int attribute_colour) {
  return ((attribute_colour & 4) >> 2) | (attribute_colour & 2) | ((attribute_colour & 1) << 2);
}

template <typename... Numbers>
Sequence Format(const char* format, Numbers... numbers) {
  Sequence sequence;
  const int length = std::snprintf(sequence.Text, sizeof sequence.Text, format, numbers...);
  sequence.Length = length > 0 ? static_cast<std::size_t>(length) : 0;
  return sequence;
}

}  // namespace

Sequence CursorTo(CellPosition cell) { return Format("\x1b[%d;%dH", cell.Row + 1, cell.Column + 1); }

Sequence ScrollRegion(int top, int bottom) { return Format("\x1b[%d;%dr", top + 1, bottom + 1); }

Sequence Rendition(std::uint8_t attribute) {
  const int foreground = ForegroundOf(attribute);
  const int foreground_code = (foreground & 8 ? 90 : 30) + TerminalColour(foreground & 7);
  // The reset already gives the terminal's default background.
  const int background = BackgroundOf(attribute);
  if (background != 0) return Format("\x1b[0;%d;%dm", foreground_code, 40 + TerminalColour(background));
  return Format("\x1b[0;%dm", foreground_code);
}

}  // namespace kovo::sequences
