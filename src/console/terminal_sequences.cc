#include "console/terminal_sequences.h"

#include "console/text_attribute.h"

namespace kovo::sequences {
namespace {

// Attribute colour bits are blue 1, green 2, red 4; terminal colour numbers
// order red 1, green 2, blue 4.
int TerminalColour(int attribute_colour) {
  return ((attribute_colour & 4) >> 2) | (attribute_colour & 2) | ((attribute_colour & 1) << 2);
}

}  // namespace

std::string CursorTo(CellPosition cell) {
  return "\x1b[" + std::to_string(cell.Row + 1) + ';' + std::to_string(cell.Column + 1) + 'H';
}

std::string ScrollRegion(int top, int bottom) {
  return "\x1b[" + std::to_string(top + 1) + ';' + std::to_string(bottom + 1) + 'r';
}

std::string Rendition(std::uint8_t attribute) {
  const int foreground = ForegroundOf(attribute);
  const int foreground_code =
      (foreground & 8 ? 90 : 30) + TerminalColour(foreground & 7);
  std::string rendition = "\x1b[0;" + std::to_string(foreground_code);
  // The reset already gives the terminal's default background.
  const int background = BackgroundOf(attribute);
  if (HasBrightBackground(attribute)) {
    rendition += ';' + std::to_string(100 + TerminalColour(background));
  } else if (background != 0) {
    rendition += ';' + std::to_string(40 + TerminalColour(background));
  }
  return rendition + 'm';
}

}  // namespace kovo::sequences
