#include "app/run_driver.h"

#include <cstdlib>

#include "app/messages.h"
#include "app/switch_table.h"
#include "console/colour_code_writer.h"
#include "directory/directory_file.h"
#include "directory/directory_name.h"
#include "directory/maintenance_passes.h"
#include "directory/store_journal.h"

namespace kovo {
namespace {

RunOutcome Refuse(Console& console, const char* line1, const char* line2) {
  WriteCodedLine(console, line1);
  WriteCodedLine(console, line2);
  return RunOutcome{0, std::nullopt};
}

// Writes the text as it stands, in the current colours, and ends the run
// with status 1.
RunOutcome FatalMessage(Console& console, const char* text) {
  console.Output.WriteString(text);
  console.Output.WriteLineEnd();
  return RunOutcome{1, std::nullopt};
}

RunOutcome Fatal(Status failure) { return RunOutcome{1, failure}; }

// The phase text ending in "Working" stays up for the pause while work()
// runs, then " DONE" is written over "Working".
template <typename Work>
void ShowPhase(RunContext& context, const char* text, Work work) {
  WriteCoded(context.Display, text);
  context.Display.Device.Pause(context.PhasePauseMs);
  work();
  WriteCodedLine(context.Display, messages::kPhaseDone);
}

void ShowBanner(Console& console) {
  console.Device.ClearScreen();
  WriteCodedLine(console, messages::kBanner1);
  WriteCodedLine(console, messages::kBanner2);
  WriteCodedLine(console, messages::kBanner3);
}

RunOutcome Maintain(RunContext& context, bool sort_requested) {
  Console& console = context.Display;
  const RunMemoryPtr memory = context.TakeMemory();
  if (!memory) return Fatal(kOutOfMemory);

  DirectoryFile file(context.Files, FindDirectoryFile(context.Files).Name);
  const Status begun = file.BeginRun(memory->Scratch);
  const Status loaded = begun.ok() ? file.LoadDirectory(memory->Load) : begun;
  if (loaded.Failed == Step::Open) {
    console.Device.Beep();
    WriteCodedLine(console, messages::kCannotLocate);
    return RunOutcome{0, std::nullopt};
  }
  if (!begun.ok()) return Fatal(begun);
  if (!loaded.ok()) {
    console.Device.Beep();
    return FatalMessage(console, messages::kBadOrCorrupt);
  }
  ShowPhase(context, messages::kReading, [] {});

  const int kept = PackEntries(memory->Load, memory->Work);
  if (sort_requested) ShowPhase(context, messages::kSorting, [&] { SortEntries(memory->Work, kept); });

  const Status stored = file.StoreDirectory(memory->Work, memory->Load, memory->Scratch);
  if (!stored.ok()) return Fatal(stored);
  ShowPhase(context, messages::kPacking, [] {});
  return RunOutcome{0, std::nullopt};
}

}  // namespace

void RunMemoryRelease::operator()(RunMemory* memory) const { std::free(memory); }

RunMemoryPtr TakeRunMemory() {
  // Images and journal records are plain bytes: zeroed memory is zero-filled.
  return RunMemoryPtr(static_cast<RunMemory*>(std::calloc(1, sizeof(RunMemory))));
}

RunOutcome RunMaintenance(RunContext& context, const std::optional<std::string>& argument) {
  const SwitchOutcome outcome = ClassifySwitch(argument);
  ShowBanner(context.Display);
  switch (outcome) {
    case SwitchOutcome::InvalidParameters:
      return Refuse(context.Display, messages::kInvalidParameters1, messages::kInvalidParameters2);
    case SwitchOutcome::IncorrectSwitch:
      return Refuse(context.Display, messages::kIncorrectSwitch1, messages::kIncorrectSwitch2);
    case SwitchOutcome::PackAndSort:
      return Maintain(context, true);
    case SwitchOutcome::PackOnly:
      return Maintain(context, false);
  }
  return RunOutcome{0, std::nullopt};
}

}  // namespace kovo
