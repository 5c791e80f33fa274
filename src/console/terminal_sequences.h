// Every ECMA-48 sequence the terminal screen sends, in one place. Sequences
// with numbers are built in place, without taking memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/screen.h"

namespace kovo::sequences {

inline constexpr std::string_view kResetRendition = "\x1b[0m";
inline constexpr std::string_view kResetScrollRegion = "\x1b[r";
inline constexpr std::string_view kAsciiCharacterSet = "\x1b(B";  // G0 is US-ASCII
inline constexpr std::string_view kClearScreen = "\x1b[H\x1b[2J";
inline constexpr std::string_view kBell = "\a";
inline constexpr std::string_view kLineFeed = "\n";

// A sequence built from numbers.
struct Sequence {
  char Text[32] = {};
  std::size_t Length = 0;
  std::string_view View() const { return {Text, Length}; }
};

// CUP, 1-based on the wire.
Sequence CursorTo(CellPosition cell);
// DECSTBM over rows top..bottom, 0-based inclusive.
Sequence ScrollRegion(int top, int bottom);
// SGR for a text attribute, from a reset: foreground 30-37/90-97,
// background 40-47; background 0 is left as the terminal's default
// background. (A terminal starts in light grey on black and no colour code
// sets the high bit, so no background is bright.)
Sequence Rendition(std::uint8_t attribute);

}  // namespace kovo::sequences
