// How the console's code page 437 bytes look on a Unicode terminal.
#pragma once

#include <cstdint>
#include <string>

namespace kovo {

enum class GlyphEncoding { Utf8, Ascii };

// Appends a character of the Basic Multilingual Plane in UTF-8.
void AppendUtf8(std::string& out, char32_t code_point);

// The Unicode character that shows the byte's code page 437 glyph.
char32_t GlyphOf(std::uint8_t byte);

// Appends the byte's glyph: UTF-8, or in ASCII with '?' for anything beyond.
// Every byte takes exactly one cell.
void AppendGlyph(std::string& out, std::uint8_t byte, GlyphEncoding encoding);

}  // namespace kovo
