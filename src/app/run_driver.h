// One run of the utility: the switch, the banner, load, pack, sort when
// asked, store, and one status line per phase.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/fatal_report.h"
#include "console/standard_output.h"
#include "directory/directory_entry.h"
#include "directory/file_system.h"
#include "directory/store_journal.h"

namespace kovo {

// Everything a run works in, taken at its start in one piece: the load
// image, the work image and the store's working memory.
struct RunMemory {
  DirectoryImage Load;
  DirectoryImage Work;
  StoreScratch Scratch;
};

struct RunMemoryRelease {
  void operator()(RunMemory* memory) const;
};
using RunMemoryPtr = std::unique_ptr<RunMemory, RunMemoryRelease>;

// Zero-filled, or nothing when memory has run out. It is taken with calloc:
// operator new, even its nothrow form, reports exhaustion with an
// exception, and an exception needs memory of its own.
RunMemoryPtr TakeRunMemory();

struct RunOutcome {
  int ExitStatus = 0;
  std::optional<Status> Fatal;  // to be reported before the process ends
};

struct RunContext {
  Console& Display;
  FileSystem& Files;
  RunMemoryPtr (*TakeMemory)() = TakeRunMemory;
  std::uint32_t PhasePauseMs = 150;
};

RunOutcome RunMaintenance(RunContext& context, const std::optional<std::string>& argument);

// A run as a program ends it: the fatal report follows what the run drew,
// and the device is shut down. Returns the exit status.
inline int RunAndReport(RunContext& context, const std::optional<std::string>& argument) {
  const RunOutcome outcome = RunMaintenance(context, argument);
  if (outcome.Fatal) {
    context.Display.Device.Flush();
    WriteFatalReport(*outcome.Fatal);
    context.Display.Device.ForgetCursor();  // the cursor now stands after the report
  }
  context.Display.Device.ShutdownDevice();
  return outcome.ExitStatus;
}

}  // namespace kovo
