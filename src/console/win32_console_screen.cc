#include "console/win32_console_screen.h"

#include <algorithm>
#include <iterator>
#include <windows.h>

#include "console/console_device.h"

namespace kovo {
namespace {

SHORT Coordinate(int value) { return static_cast<SHORT>(value); }

}  // namespace

Win32ConsoleScreen::Win32ConsoleScreen() : output_(::GetStdHandle(STD_OUTPUT_HANDLE)) {}

ScreenSize Win32ConsoleScreen::Size() const {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(output_, &info)) return {};
  return ScreenSize{info.dwSize.X, info.dwSize.Y};
}

CellPosition Win32ConsoleScreen::Cursor() const {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(output_, &info)) return {};
  return CellPosition{info.dwCursorPosition.X, info.dwCursorPosition.Y};
}

std::uint8_t Win32ConsoleScreen::AttributeAt(CellPosition cell) const {
  WORD attribute = kDefaultAttribute;
  DWORD read = 0;
  ::ReadConsoleOutputAttribute(output_, &attribute, 1, COORD{Coordinate(cell.Column), Coordinate(cell.Row)},
                               &read);
  return static_cast<std::uint8_t>(read == 1 ? attribute & 0xFF : kDefaultAttribute);
}

void Win32ConsoleScreen::WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                                    std::uint8_t attribute) {
  CHAR_INFO cells[kMaxRunLength];
  count = std::min(count, kMaxRunLength);
  for (int i = 0; i < count; ++i) {
    cells[i].Char.AsciiChar = static_cast<CHAR>(bytes[i]);
    cells[i].Attributes = attribute;
  }
  SMALL_RECT region{Coordinate(first.Column), Coordinate(first.Row),
                    Coordinate(first.Column + count - 1), Coordinate(first.Row)};
  ::WriteConsoleOutputA(output_, cells, COORD{Coordinate(count), 1}, COORD{0, 0}, &region);
}

void Win32ConsoleScreen::ScrollUp(const CellRect& area, int lines, std::uint8_t fill) {
  const SMALL_RECT window{Coordinate(area.Left), Coordinate(area.Top), Coordinate(area.Right),
                          Coordinate(area.Bottom)};
  CHAR_INFO blank;
  blank.Char.AsciiChar = ' ';
  blank.Attributes = fill;
  const int top = std::max(area.Top - lines, -0x7FFF);
  if (::ScrollConsoleScreenBufferA(output_, &window, &window,
                                   COORD{Coordinate(area.Left), Coordinate(top)}, &blank)) {
    return;
  }
  // Some consoles (wine's) refuse a destination outside the buffer: move the
  // rows that stay up within it, then write the exposed rows blank.
  const int exposed = std::min(lines, area.Height());
  if (exposed < area.Height()) {
    const SMALL_RECT staying{Coordinate(area.Left), Coordinate(area.Top + exposed),
                             Coordinate(area.Right), Coordinate(area.Bottom)};
    ::ScrollConsoleScreenBufferA(output_, &staying, &window,
                                 COORD{Coordinate(area.Left), Coordinate(area.Top)}, &blank);
  }
  std::uint8_t spaces[kMaxRunLength];  // on the stack: the run takes no memory once started
  std::fill(std::begin(spaces), std::end(spaces), std::uint8_t{' '});
  for (int row = area.Bottom - exposed + 1; row <= area.Bottom; ++row)
    WriteCells({area.Left, row}, spaces, area.Width(), fill);
}

void Win32ConsoleScreen::PlaceCursor(CellPosition cell) {
  ::SetConsoleCursorPosition(output_, COORD{Coordinate(cell.Column), Coordinate(cell.Row)});
}

void Win32ConsoleScreen::Bell() { ::MessageBeep(MB_OK); }

}  // namespace kovo
