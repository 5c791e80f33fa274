// What the console device draws on: a grid of cells, each one byte and one
// attribute byte, with a visible cursor and a bell.
#pragma once

#include <cstdint>

#include "console/text_attribute.h"

namespace kovo {

struct CellPosition {
  int Column = 0;
  int Row = 0;
};

// Inclusive cell coordinates.
struct CellRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left + 1; }
  int Height() const { return Bottom - Top + 1; }
};

struct ScreenSize {
  int Columns = 0;
  int Rows = 0;
};

class Screen {
 public:
  virtual ~Screen() = default;
  // 0 x 0 when there is nothing to draw on.
  virtual ScreenSize Size() const = 0;
  virtual CellPosition Cursor() const = 0;
  virtual std::uint8_t AttributeAt(CellPosition cell) const = 0;
  // Writes count bytes into consecutive cells of one row; interprets no byte
  // and does not move the visible cursor.
  virtual void WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                          std::uint8_t attribute) = 0;
  // Moves the rectangle's contents up by lines rows; the rows exposed at its
  // bottom become spaces in fill. Cells outside it do not change.
  virtual void ScrollUp(const CellRect& area, int lines, std::uint8_t fill) = 0;
  virtual void PlaceCursor(CellPosition cell) = 0;
  virtual void Bell() = 0;
  // Shows everything drawn so far; a screen may hold what it draws until
  // then, so that it reaches the console in one piece.
  virtual void Flush() {}
  // Shows what was drawn, then sleeps on the calling thread.
  virtual void Pause(std::uint32_t milliseconds);
};

// No console: standard output is a file or a pipe, or not a usable terminal.
class NoScreen final : public Screen {
 public:
  ScreenSize Size() const override { return {}; }
  CellPosition Cursor() const override { return {}; }
  std::uint8_t AttributeAt(CellPosition) const override { return kDefaultAttribute; }
  void WriteCells(CellPosition, const std::uint8_t*, int, std::uint8_t) override {}
  void ScrollUp(const CellRect&, int, std::uint8_t) override {}
  void PlaceCursor(CellPosition) override {}
  void Bell() override {}
};

}  // namespace kovo
