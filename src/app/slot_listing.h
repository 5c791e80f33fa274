// A readable listing of a directory image, one line per slot.
#pragma once

#include <string>

#include "directory/directory_entry.h"

namespace kovo {

// "NNN used|free" and the five fields as [length]"value", the value cut to
// the field's capacity (shown as [length>capacity]), with '"', '\' and every
// byte outside printable ASCII written as \xNN.
std::string ListSlot(const DirectoryEntry& entry, int number);

}  // namespace kovo
