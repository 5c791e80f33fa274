// How the console's code page 437 bytes look on a Unicode terminal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kovo {

enum class GlyphEncoding { Utf8, Ascii };

// UTF-8 when the locale's variables (LC_ALL, LC_CTYPE, LANG, the first one
// set) name it; ASCII otherwise.
GlyphEncoding EncodingFromLocale();

// The most bytes one glyph takes.
inline constexpr std::size_t kMaxGlyphBytes = 3;

// Writes a character of the Basic Multilingual Plane in UTF-8 into out (room
// for kMaxGlyphBytes); returns how many bytes it took.
std::size_t EncodeUtf8(char32_t code_point, char* out);

// Writes the byte's glyph into out: UTF-8, or in ASCII with '?' for anything
// beyond. Every byte takes exactly one cell.
std::size_t EncodeGlyph(std::uint8_t byte, GlyphEncoding encoding, char* out);

}  // namespace kovo
