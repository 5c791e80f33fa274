// A readable listing of a directory image, one line per slot.
#pragma once

#include <string>

#include "directory/directory_entry.h"

namespace kovo {

// How bytes outside printable ASCII are shown: as \xNN everywhere, so that
// scripts see the same bytes; or, for a person at a UTF-8 terminal, as
// their code page 437 glyphs, as kovomaint's screen shows them.
enum class TextShown { Escaped, Glyphs };

// The five fields as [length]"value", the value cut to the field's
// capacity (shown as [length>capacity]); '"' and '\' are always \xNN.
std::string ListFields(const DirectoryEntry& entry, TextShown shown);

// "NNN used|free" and the fields.
std::string ListSlot(const DirectoryEntry& entry, int number, TextShown shown = TextShown::Escaped);

}  // namespace kovo
