#include "console/memory_screen.h"

#include <algorithm>
#include <string>

namespace kovo {

namespace {

std::size_t Index(int column, int row, int columns) {
  return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
         static_cast<std::size_t>(column);
}

}  // namespace

MemoryScreen::MemoryScreen(int columns, int rows, Cell blank)
    : size_{columns, rows}, cells_(Index(0, rows, columns), blank) {}

bool MemoryScreen::Contains(CellPosition cell) const {
  return cell.Column >= 0 && cell.Row >= 0 && cell.Column < size_.Columns && cell.Row < size_.Rows;
}

const Cell& MemoryScreen::At(int column, int row) const {
  return cells_[Index(column, row, size_.Columns)];
}

Cell& MemoryScreen::At(int column, int row) {
  return cells_[Index(column, row, size_.Columns)];
}

std::uint8_t MemoryScreen::AttributeAt(CellPosition cell) const {
  return Contains(cell) ? At(cell.Column, cell.Row).Attribute : 7;
}

void MemoryScreen::WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                              std::uint8_t attribute) {
  ++cell_writes_;
  longest_write_ = std::max(longest_write_, count);
  for (int i = 0; i < count; ++i) {
    const CellPosition cell{first.Column + i, first.Row};
    if (Contains(cell)) At(cell.Column, cell.Row) = Cell{bytes[i], attribute};
  }
}

void MemoryScreen::ScrollUp(const CellRect& area, int lines, std::uint8_t fill) {
  const int left = std::max(area.Left, 0);
  const int right = std::min(area.Right, size_.Columns - 1);
  const int top = std::max(area.Top, 0);
  const int bottom = std::min(area.Bottom, size_.Rows - 1);
  for (int row = top; row <= bottom; ++row) {
    const int source = row + lines;
    for (int column = left; column <= right; ++column) {
      At(column, row) = source <= bottom ? At(column, source) : Cell{' ', fill};
    }
  }
}

std::string MemoryScreen::RowText(int row) const {
  std::string text;
  for (int column = 0; column < size_.Columns; ++column) {
    text += static_cast<char>(At(column, row).Byte);
  }
  return text;
}

void MemoryScreen::Pause(std::uint32_t milliseconds) {
  pauses_.push_back(RecordedPause{milliseconds, Contains(cursor_) ? RowText(cursor_.Row) : ""});
}

}  // namespace kovo
