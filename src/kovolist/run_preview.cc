#include "kovolist/run_preview.h"

#include <algorithm>
#include <cstring>

#include "directory/maintenance_passes.h"

namespace kovo {
namespace {

bool Sorts(SwitchOutcome outcome) { return outcome == SwitchOutcome::PackAndSort; }

// The slot each entry of the finished image came from. The packed entries
// carry their origin in their second field's text, which the sort never
// looks at, through the real sort.
std::vector<int> OriginsAfterRun(const DirectoryImage& before, SwitchOutcome outcome) {
  std::vector<int> used_slots;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (before.Slot(slot).IsUsed()) used_slots.push_back(slot);
  }
  DirectoryImage tagged{};
  const int kept = PackEntries(before, tagged);
  for (int slot = 1; slot <= kept; ++slot) tagged.Slot(slot).Field2.Text[0] = static_cast<std::uint8_t>(slot);
  if (Sorts(outcome)) SortEntries(tagged, kept);
  std::vector<int> origins;
  for (int slot = 1; slot <= kept; ++slot) origins.push_back(used_slots[tagged.Slot(slot).Field2.Text[0] - 1]);
  return origins;
}

bool AnyNonZero(const std::uint8_t* first, const std::uint8_t* last) {
  return std::any_of(first, last, [](std::uint8_t byte) { return byte != 0; });
}

// Bytes a run does not carry over: all of a free slot, and whatever follows
// each value of a used one.
bool HasStaleBytes(const DirectoryEntry& entry) {
  if (!entry.IsUsed()) return AnyNonZero(entry.Bytes(), entry.Bytes() + kEntrySize);
  for (int index = 0; index < kFieldCount; ++index) {
    const FieldView field = entry.FieldAt(index);
    if (AnyNonZero(field.Text() + field.UsableLength(), field.Text() + field.Capacity)) return true;
  }
  return false;
}

bool HoldsText(const DirectoryEntry& entry) {
  for (int index = 0; index < kFieldCount; ++index) {
    if (entry.FieldAt(index).UsableLength() > 0) return true;
  }
  return false;
}

void NoteWhatIsLost(const DirectoryEntry& entry, int slot, ChangeSummary& summary) {
  if (!entry.IsUsed()) {
    if (HoldsText(entry)) summary.Erased.push_back(Erasure{slot, entry.Field1.Length == 0 ? 1 : 2});
    return;
  }
  for (int index = 0; index < kFieldCount; ++index) {
    const FieldView field = entry.FieldAt(index);
    if (field.IsCut()) summary.Cut.push_back(FieldCut{slot, index + 1, field.Length(), int(field.Capacity)});
  }
}

std::string Counted(int count, const char* one, const char* many) {
  return "  " + std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

bool RunTouchesTheFile(SwitchOutcome outcome) {
  return outcome == SwitchOutcome::PackAndSort || outcome == SwitchOutcome::PackOnly;
}

void PreviewRun(const DirectoryImage& before, SwitchOutcome outcome, DirectoryImage& after) {
  if (!RunTouchesTheFile(outcome)) {
    after = before;
    return;
  }
  after = DirectoryImage{};
  const int kept = PackEntries(before, after);
  if (Sorts(outcome)) SortEntries(after, kept);
}

ChangeSummary SummariseChanges(const DirectoryImage& before, SwitchOutcome outcome) {
  ChangeSummary summary;
  if (!RunTouchesTheFile(outcome)) return summary;

  const std::vector<int> origins = OriginsAfterRun(before, outcome);
  const int last_used = origins.empty() ? 0 : *std::max_element(origins.begin(), origins.end());
  summary.FreeSlotsDropped = last_used - static_cast<int>(origins.size());
  for (std::size_t i = 0; i < origins.size(); ++i) {
    if (origins[i] != static_cast<int>(i) + 1) ++summary.EntriesMoved;
  }
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    const DirectoryEntry& entry = before.Slot(slot);
    NoteWhatIsLost(entry, slot, summary);
    // An erased slot is named whole, with its text.
    const bool named = !entry.IsUsed() && HoldsText(entry);
    summary.StaleBytesCleared = summary.StaleBytesCleared || (!named && HasStaleBytes(entry));
  }
  return summary;
}

std::vector<std::string> DescribeChanges(const ChangeSummary& summary, const DirectoryImage& before,
                                         TextShown shown) {
  std::vector<std::string> lines;
  for (const Erasure& erased : summary.Erased) {
    lines.push_back("  slot " + std::to_string(erased.Slot) + " is erased, its field " +
                    std::to_string(erased.EmptyField) + " being empty: " +
                    ListFields(before.Slot(erased.Slot), shown));
  }
  for (const FieldCut& cut : summary.Cut) {
    lines.push_back("  slot " + std::to_string(cut.Slot) + ", field " + std::to_string(cut.Field) +
                    ": length " + std::to_string(cut.Length) + " is cut to " + std::to_string(cut.Capacity));
  }
  if (summary.FreeSlotsDropped > 0)
    lines.push_back(Counted(summary.FreeSlotsDropped, "free slot before the last entry drops out",
                            "free slots before the last entry drop out"));
  if (summary.EntriesMoved > 0)
    lines.push_back(Counted(summary.EntriesMoved, "entry moves to another slot",
                            "entries move to another slot"));
  if (summary.StaleBytesCleared)
    lines.push_back("  stale bytes after the values or in free slots are cleared");
  return lines;
}

}  // namespace kovo
