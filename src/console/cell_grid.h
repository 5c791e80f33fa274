// The cell grid: one byte and one attribute a cell, at most the largest
// window the device keeps. The terminal screen keeps its picture of what it
// drew in one, and it is what tests read back.
#pragma once

#include <cstdint>

#include "console/screen.h"
#include "console/text_attribute.h"

namespace kovo {

inline constexpr int kMaxWindowRows = 234;
inline constexpr int kMaxWindowColumns = 256;

struct Cell {
  std::uint8_t Byte = ' ';
  std::uint8_t Attribute = kDefaultAttribute;
  bool operator==(const Cell& other) const {
    return Byte == other.Byte && Attribute == other.Attribute;
  }
};

class CellGrid {
 public:
  // Larger sizes are cut to the largest window; every cell starts blank.
  explicit CellGrid(ScreenSize size);

  ScreenSize Size() const { return size_; }
  bool Contains(CellPosition cell) const;
  const Cell& At(int column, int row) const { return cells_[row][column]; }
  Cell& At(int column, int row) { return cells_[row][column]; }
  // The parts that fall outside the grid are dropped.
  void Write(CellPosition first, const std::uint8_t* bytes, int count, std::uint8_t attribute);
  void ScrollUp(const CellRect& area, int lines, std::uint8_t fill);

 private:
  ScreenSize size_;
  Cell cells_[kMaxWindowRows][kMaxWindowColumns];
};

}  // namespace kovo
