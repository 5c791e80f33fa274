// Texts with inline colours: "|" and the two bytes after it name a colour,
// 1-15 a foreground and 16-23 a background 0-7.
#pragma once

#include <string_view>

#include "console/standard_output.h"

namespace kovo {

void WriteCoded(Console& console, std::string_view text);
void WriteCodedLine(Console& console, std::string_view text);

}  // namespace kovo
