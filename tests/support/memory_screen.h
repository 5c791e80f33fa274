// A screen in memory: the cell grid tests read back, with a cursor, the
// bells rung and each pause with what the cursor's row showed during it. A screen larger than the grid keeps only the grid's
// cells.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "console/cell_grid.h"
#include "console/colour_code_writer.h"

namespace kovo::testing {

class MemoryScreen final : public Screen {
 public:
  MemoryScreen(int columns, int rows)
      : size_{columns, rows}, grid_(std::make_unique<CellGrid>(size_)) {}

  ScreenSize Size() const override { return size_; }
  CellPosition Cursor() const override { return cursor_; }
  std::uint8_t AttributeAt(CellPosition cell) const override {
    return grid_->Contains(cell) ? grid_->At(cell.Column, cell.Row).Attribute : kDefaultAttribute;
  }
  void WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                  std::uint8_t attribute) override {
    grid_->Write(first, bytes, count, attribute);
  }
  void ScrollUp(const CellRect& area, int lines, std::uint8_t fill) override {
    grid_->ScrollUp(area, lines, fill);
  }
  void PlaceCursor(CellPosition cell) override { cursor_ = cell; }
  void Bell() override { ++bells_; }
  void Pause(std::uint32_t milliseconds) override {
    pauses_.push_back({milliseconds, grid_->Contains(cursor_) ? RowText(cursor_.Row) : ""});
  }

  bool Held(int column, int row) const { return grid_->Contains({column, row}); }
  Cell& At(int column, int row) { return grid_->At(column, row); }
  const Cell& At(int column, int row) const { return grid_->At(column, row); }
  std::string RowText(int row) const {
    std::string text;
    for (int column = 0; column < grid_->Size().Columns; ++column) text += char(At(column, row).Byte);
    return text;
  }
  int Bells() const { return bells_; }
  struct RecordedPause {
    std::uint32_t Milliseconds;
    std::string CursorRow;
  };
  const std::vector<RecordedPause>& Pauses() const { return pauses_; }

 private:
  ScreenSize size_;
  std::unique_ptr<CellGrid> grid_;
  CellPosition cursor_;
  int bells_ = 0;
  std::vector<RecordedPause> pauses_;
};

// The screen a run should leave, written line by line in pipe codes onto a
// memory screen: the banner every run starts with, then the run's own lines.
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
