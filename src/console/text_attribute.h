// The text attribute: foreground in bits 0-3 (1 blue, 2 green, 4 red,
// 8 bright), background in bits 4-6, and a high bit that brightens the
// background (only a Win32 console starts with it set).
#pragma once

#include <cstdint>

namespace kovo {

inline constexpr std::uint8_t kDefaultAttribute = 7;  // light grey on black

// A colour 0-15 sets the foreground and clears the high bit; the background
// stays.
constexpr std::uint8_t WithForeground(std::uint8_t attribute, std::uint8_t colour) {
  return static_cast<std::uint8_t>((attribute & 0x70) | (colour & 0x0F));
}

// Only the low three bits of the colour count; the foreground and the high
// bit stay.
constexpr std::uint8_t WithBackground(std::uint8_t attribute, std::uint8_t colour) {
  return static_cast<std::uint8_t>((attribute & 0x8F) | ((colour & 7) << 4));
}

constexpr int ForegroundOf(std::uint8_t attribute) { return attribute & 0x0F; }
constexpr int BackgroundOf(std::uint8_t attribute) { return (attribute >> 4) & 7; }

}  // namespace kovo
