// A terminal emulator (libvterm) fed with what a program wrote, read back
// cell by cell to compare with a memory grid.
#pragma once

#include <string>
#include <string_view>

#include "console/memory_screen.h"

struct VTerm;
struct VTermScreen;

namespace kovo::testing {

// A cell colour: an ANSI palette index 0-15, or -1 for the terminal's default.
struct EmulatedCell {
  char32_t Glyph = ' ';
  int Foreground = -1;
  int Background = -1;
};

class EmulatedTerminal {
 public:
  EmulatedTerminal(int columns, int rows);
  ~EmulatedTerminal();
  EmulatedTerminal(const EmulatedTerminal&) = delete;
  EmulatedTerminal& operator=(const EmulatedTerminal&) = delete;

  void Feed(std::string_view bytes);
  // As a terminal window does when it is resized.
  void Resize(int columns, int rows);
  EmulatedCell At(int column, int row) const;
  CellPosition Cursor() const;
  std::string RowText(int row) const;  // glyphs as UTF-8
  int Bells() const { return bells_; }

 private:
  VTerm* vterm_;
  VTermScreen* screen_;
  int columns_;
  int rows_;
  int bells_ = 0;
};

// Lists every cell inside the rectangle where the emulator differs from the
// grid (foregrounds of blank cells are not compared: they show nothing);
// empty when they agree.
std::string DescribeDifferences(const EmulatedTerminal& terminal, const MemoryScreen& grid,
                                const CellRect& area);

}  // namespace kovo::testing
