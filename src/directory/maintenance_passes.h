// The pack pass (used slots to the front, in order) and the sort pass
// (by the first field, ASCII letters without regard to case).
#pragma once

#include <cstdint>

#include "directory/directory_entry.h"

namespace kovo {

// A length-prefixed sort key of at most 60 bytes.
struct SortKey {
  std::uint8_t Length = 0;
  std::uint8_t Text[60] = {};
};

// Copies every used slot of load, in order, into consecutive slots at the
// front of work (which must be all zero), field by field with each length cut
// to its capacity, so no stale bytes are carried. Returns the kept count.
int PackEntries(const DirectoryImage& load, DirectoryImage& work);

// Fixed-pass exchange sort of slots 1..kept_count by UpperKey of Field1;
// stable, and slots after kept_count are not touched.
void SortEntries(DirectoryImage& work, int kept_count);

// Field1's value with 'a'..'z' raised to 'A'..'Z'; no other byte changes.
SortKey UpperKey(const TextField<60>& field);

// Unsigned byte order; a prefix orders before the longer key.
// Negative, zero or positive like memcmp.
int CompareKeys(const SortKey& left, const SortKey& right);

}  // namespace kovo
