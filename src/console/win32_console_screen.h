// A screen drawn on the Win32 console that standard output refers to. When
// standard output is not a console every call fails and the screen has no
// size, which leaves the device inert.
#pragma once

#include "console/screen.h"

namespace kovo {

class Win32ConsoleScreen final : public Screen {
 public:
  Win32ConsoleScreen();

  ScreenSize Size() const override;
  CellPosition Cursor() const override;
  std::uint8_t AttributeAt(CellPosition cell) const override;
  void WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                  std::uint8_t attribute) override;
  void ScrollUp(const CellRect& area, int lines, std::uint8_t fill) override;
  void PlaceCursor(CellPosition cell) override;
  void Bell() override;

 private:
  void* output_;  // the standard output handle
};

}  // namespace kovo
