// Every ECMA-48 sequence the terminal screen sends, in one place.
#pragma once

#include <cstdint>
#include <string>

#include "console/screen.h"

namespace kovo::sequences {

inline constexpr char kResetRendition[] = "\x1b[0m";
inline constexpr char kResetScrollRegion[] = "\x1b[r";
inline constexpr char kBell[] = "\a";
inline constexpr char kLineFeed[] = "\n";

// CUP, 1-based on the wire.
std::string CursorTo(CellPosition cell);
// DECSTBM over rows top..bottom, 0-based inclusive.
std::string ScrollRegion(int top, int bottom);
// SGR for a text attribute, from a reset: foreground 30-37/90-97;
// background 40-47, or 100-107 with the high bit; background 0 without the
// high bit is left as the terminal's default background.
std::string Rendition(std::uint8_t attribute);

}  // namespace kovo::sequences
