// The text attribute: foreground in bits 0-3 (1 blue, 2 green, 4 red,
// 8 bright), background in bits 4-6, and a high bit that brightens the
// background.
#pragma once

#include <cstdint>

namespace kovo {

inline constexpr std::uint8_t kDefaultAttribute = 7;  // light grey on black

// Colours 0-15 set the foreground and clear the high bit; above 15 the low
// four bits give the foreground and the high bit is set. The background stays.
constexpr std::uint8_t WithForeground(std::uint8_t attribute, std::uint8_t colour) {
  const std::uint8_t foreground =
      colour > 15 ? static_cast<std::uint8_t>((colour & 0x0F) | 0x80) : colour;
  return static_cast<std::uint8_t>((attribute & 0x70) | foreground);
}

// Only the low three bits of the colour count; the foreground and the high
// bit stay.
constexpr std::uint8_t WithBackground(std::uint8_t attribute, std::uint8_t colour) {
  return static_cast<std::uint8_t>((attribute & 0x8F) | ((colour & 7) << 4));
}

constexpr int ForegroundOf(std::uint8_t attribute) { return attribute & 0x0F; }
constexpr int BackgroundOf(std::uint8_t attribute) { return (attribute >> 4) & 7; }
constexpr bool HasBrightBackground(std::uint8_t attribute) { return (attribute & 0x80) != 0; }

}  // namespace kovo
