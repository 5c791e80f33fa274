// The screen a run should leave, written line by line in pipe codes onto a
// memory grid: the banner every run starts with, then the run's own lines.
#pragma once

#include <string>
#include <vector>

#include "console/colour_code_writer.h"
#include "support/memory_screen.h"

namespace kovo::testing {

inline std::string PhaseDone(const std::string& phase) {
  return "|15 \xFE |03" + phase + " KOVO.FON:|11 DONE   ";
}

inline void DrawExpected(MemoryScreen& grid, const std::vector<std::string>& lines) {
  Console console(grid);
  console.Device.StartDevice();
  console.Device.ClearScreen();
  WriteCodedLine(console, "|11 Kovo/w32 Maintenence |11\xE1" "1 v1.00 |08[win32 version]");
  WriteCodedLine(console, "|03 Packs and sorts the kovo.fon directory file");
  WriteCodedLine(console, "|08--//----------------");
  for (const std::string& line : lines) WriteCodedLine(console, line);
}

}  // namespace kovo::testing
