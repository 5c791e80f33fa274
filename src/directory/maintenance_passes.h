// The pack pass (used slots to the front, in order) and the sort pass
// (by the first field, ASCII letters without regard to case).
#pragma once

#include "directory/directory_entry.h"

namespace kovo {

// Copies every used slot of load, in order, into consecutive slots at the
// front of work (which must be all zero), field by field with each length cut
// to its capacity, so no stale bytes are carried. Returns the kept count.
int PackEntries(const DirectoryImage& load, DirectoryImage& work);

// Fixed-pass exchange sort of slots 1..kept_count by UpperKey of Field1;
// stable, and slots after kept_count are not touched.
void SortEntries(DirectoryImage& work, int kept_count);

}  // namespace kovo
