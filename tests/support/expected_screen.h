// The screen a run should leave, written segment by segment in literal
// colours onto a memory grid of the same size.
#pragma once

#include <string>

#include "console/memory_screen.h"
#include "console/standard_output.h"

namespace kovo::testing {

class ExpectedScreen {
 public:
  ExpectedScreen(int columns, int rows);

  ExpectedScreen& Text(int colour, const std::string& text);
  ExpectedScreen& LineEnd();

  // The banner's three lines, as every run starts.
  ExpectedScreen& Banner();
  // " ■ <name> KOVO.FON: DONE   " and a line end.
  ExpectedScreen& PhaseDone(const std::string& name);

  const MemoryScreen& Grid() const { return grid_; }
  CellPosition Cursor() const { return console_.Device.CursorCell(); }
  int Bells() const { return grid_.Bells(); }
  void Bell() { console_.Device.Beep(); }

 private:
  MemoryScreen grid_;
  Console console_;
};

}  // namespace kovo::testing
