// What a run of kovomaint would make of a directory image, worked out with
// the run's own switch table and passes, and what would change. Nothing is
// written anywhere.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/switch_table.h"
#include "directory/directory_entry.h"

namespace kovo {

// False for a switch the run refuses: it never opens the file.
bool RunTouchesTheFile(SwitchOutcome outcome);

// The image as "kovomaint <argument>" would leave it: packed and sorted, only
// packed, or (a refused switch) as it is.
void PreviewRun(const DirectoryImage& before, SwitchOutcome outcome, DirectoryImage& after);

struct ChangeSummary {
  int FreeSlotsDropped = 0;  // free slots before the last used one
  int EntriesMoved = 0;      // used entries that end up in another slot
  int FieldsCut = 0;         // used slots' fields whose length is above the capacity
  bool StaleBytesCleared = false;  // bytes outside every value that are not zero
  bool Changes = false;      // the first 19,700 bytes would differ at all
};

ChangeSummary SummariseChanges(const DirectoryImage& before, SwitchOutcome outcome);

// The summary as lines for a person: what drops out, moves, is cut, cleared.
std::vector<std::string> DescribeChanges(const ChangeSummary& summary);

}  // namespace kovo
