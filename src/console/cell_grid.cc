#include "console/cell_grid.h"

#include <algorithm>

namespace kovo {

CellGrid::CellGrid(ScreenSize size)
    : size_{std::clamp(size.Columns, 0, kMaxWindowColumns), std::clamp(size.Rows, 0, kMaxWindowRows)} {}

bool CellGrid::Contains(CellPosition cell) const {
  return cell.Column >= 0 && cell.Row >= 0 && cell.Column < size_.Columns && cell.Row < size_.Rows;
}

void CellGrid::Write(CellPosition first, const std::uint8_t* bytes, int count,
                     std::uint8_t attribute) {
  for (int i = 0; i < count; ++i) {
    if (Contains({first.Column + i, first.Row})) At(first.Column + i, first.Row) = Cell{bytes[i], attribute};
  }
}

void CellGrid::ScrollUp(const CellRect& area, int lines, std::uint8_t fill) {
  const int left = std::max(area.Left, 0);
  const int right = std::min(area.Right, size_.Columns - 1);
  const int top = std::max(area.Top, 0);
  const int bottom = std::min(area.Bottom, size_.Rows - 1);
  for (int row = top; row <= bottom; ++row) {
    for (int column = left; column <= right; ++column) {
      At(column, row) = row + lines <= bottom ? At(column, row + lines) : Cell{' ', fill};
    }
  }
}

}  // namespace kovo
