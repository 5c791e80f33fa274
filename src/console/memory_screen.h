// A screen held in memory: the cell grid that tests read back, and the
// picture the terminal screen keeps of what it has drawn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/screen.h"

namespace kovo {

struct Cell {
  std::uint8_t Byte = ' ';
  std::uint8_t Attribute = 7;
  bool operator==(const Cell& other) const {
    return Byte == other.Byte && Attribute == other.Attribute;
  }
};

class MemoryScreen final : public Screen {
 public:
  MemoryScreen(int columns, int rows, Cell blank = Cell{});

  ScreenSize Size() const override { return size_; }
  CellPosition Cursor() const override { return cursor_; }
  std::uint8_t AttributeAt(CellPosition cell) const override;
  void WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                  std::uint8_t attribute) override;
  void ScrollUp(const CellRect& area, int lines, std::uint8_t fill) override;
  void PlaceCursor(CellPosition cell) override { cursor_ = cell; }
  void Bell() override { ++bells_; }
  // Records the pause and what the cursor's row showed during it; does not
  // sleep.
  void Pause(std::uint32_t milliseconds) override;

  bool Contains(CellPosition cell) const;
  const Cell& At(int column, int row) const;
  Cell& At(int column, int row);
  // The bytes of one row as text, for readable test expectations.
  std::string RowText(int row) const;
  int Bells() const { return bells_; }
  int CellWrites() const { return cell_writes_; }
  int LongestWrite() const { return longest_write_; }
  struct RecordedPause {
    std::uint32_t Milliseconds;
    std::string CursorRow;
  };
  const std::vector<RecordedPause>& Pauses() const { return pauses_; }

 private:
  ScreenSize size_;
  std::vector<Cell> cells_;
  CellPosition cursor_;
  int bells_ = 0;
  int cell_writes_ = 0;
  int longest_write_ = 0;
  std::vector<RecordedPause> pauses_;
};

}  // namespace kovo
