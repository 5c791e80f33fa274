// The console text device: its own cursor, current attribute and window over
// a Screen. It interprets bell, backspace, line feed and carriage return,
// wraps at the window's right edge at once and scrolls at its bottom.
#pragma once

#include <cstddef>
#include <cstdint>

#include "console/cell_grid.h"
#include "console/screen.h"
#include "console/text_attribute.h"

namespace kovo {

// A run of cells never passes the window's right edge.
inline constexpr int kMaxRunLength = kMaxWindowColumns;

class ConsoleDevice {
 public:
  explicit ConsoleDevice(Screen& screen) : screen_(screen) {}

  // Reads the screen's size, cursor and the attribute under the cursor, and
  // sets the window. A screen without size leaves the device inert.
  void StartDevice();
  // Places the visible cursor at the device's cursor and shows it all.
  void ShutdownDevice();
  // Shows everything drawn so far, before the process waits or someone else
  // writes to the console.
  void Flush();
  // After someone else wrote to the console, its cursor is no longer ours
  // to place.
  void ForgetCursor() { cursor_owned_ = false; }

  void SetForeground(std::uint8_t colour) { attribute_ = WithForeground(attribute_, colour); }
  void SetBackground(std::uint8_t colour) { attribute_ = WithBackground(attribute_, colour); }
  void ClearScreen();
  void SetCursor(int column, int row);
  void ScrollUp(int lines);
  void DeviceWrite(const std::uint8_t* bytes, std::size_t count);
  // Shows what was drawn, then sleeps.
  void Pause(std::uint32_t milliseconds);
  void Beep();

  CellPosition CursorCell() const { return {cursor_column_, cursor_row_}; }

 private:
  class Run;

  Screen& screen_;
  bool active_ = false;
  bool cursor_owned_ = true;
  std::uint8_t attribute_ = kDefaultAttribute;
  CellRect window_{};
  int cursor_column_ = -1;
  int cursor_row_ = -1;
};

}  // namespace kovo
