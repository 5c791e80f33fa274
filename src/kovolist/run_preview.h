// What a run of kovomaint would make of a directory image, worked out with
// the run's own switch table and passes, and what would change. Nothing is
// written anywhere.
#pragma once

#include <string>
#include <vector>

#include "kovolist/slot_listing.h"
#include "app/switch_table.h"
#include "directory/directory_entry.h"

namespace kovo {

// False for a switch the run refuses: it never opens the file.
bool RunTouchesTheFile(SwitchOutcome outcome);

// The image as "kovomaint <argument>" would leave it: packed and sorted, only
// packed, or (a refused switch) as it is.
void PreviewRun(const DirectoryImage& before, SwitchOutcome outcome, DirectoryImage& after);

// A free slot that holds text: the run clears it.
struct Erasure {
  int Slot = 0;
  int EmptyField = 0;  // 1 or 2: the field whose emptiness makes the slot free
};

// A field of a used slot whose length byte is above its capacity.
struct FieldCut {
  int Slot = 0;
  int Field = 0;
  int Length = 0;
  int Capacity = 0;
};

struct ChangeSummary {
  int FreeSlotsDropped = 0;  // free slots before the last used one
  int EntriesMoved = 0;      // used entries that end up in another slot
  std::vector<Erasure> Erased;
  std::vector<FieldCut> Cut;
  bool StaleBytesCleared = false;  // bytes outside every value that are not zero
};

ChangeSummary SummariseChanges(const DirectoryImage& before, SwitchOutcome outcome);

// The summary as lines for a person: each erased slot with its text and
// each cut field by name, then what drops out, moves and is cleared.
std::vector<std::string> DescribeChanges(const ChangeSummary& summary, const DirectoryImage& before,
                                         TextShown shown);

}  // namespace kovo
