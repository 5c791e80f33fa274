// A terminal emulator (libvterm) fed with what a program wrote, read back
// to compare with a memory grid or with expected rows.
#pragma once

#include <string>
#include <string_view>

#include "console/memory_screen.h"

struct VTerm;

namespace kovo::testing {

class EmulatedTerminal {
 public:
  EmulatedTerminal(int columns, int rows);
  ~EmulatedTerminal();
  EmulatedTerminal(const EmulatedTerminal&) = delete;
  EmulatedTerminal& operator=(const EmulatedTerminal&) = delete;

  void Feed(std::string_view bytes);
  void Resize(int columns, int rows);  // as a terminal window is resized
  std::string RowText(int row) const;  // glyphs as UTF-8
  CellPosition Cursor() const;
  int Bells() const { return bells_; }
  // The cells (glyph, colours as the terminal shows the grid's attributes)
  // that differ from the grid's, with the cursor; empty when all agree.
  std::string Differences(const MemoryScreen& grid) const;

 private:
  VTerm* vterm_;
  int columns_;
  int rows_;
  int bells_ = 0;
};

}  // namespace kovo::testing
