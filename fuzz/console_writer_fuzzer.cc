// Any bytes with pipe codes drawn through the colour-code writer and the
// device on a memory screen of any size from 1x1 to 300x250. The cursor
// never leaves the window, no cell outside it changes, and no write is
// longer than 256 cells.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "console/colour_code_writer.h"
#include "console/memory_screen.h"

namespace {

using namespace kovo;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Inside(const CellRect& window, CellPosition cell) {
  return cell.Column >= window.Left && cell.Column <= window.Right && cell.Row >= window.Top &&
         cell.Row <= window.Bottom;
}

std::uint8_t Take(const std::uint8_t*& data, std::size_t& size) {
  return size == 0 ? 0 : (--size, *data++);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int columns = 1 + (Take(data, size) | (Take(data, size) << 8)) % 300;
  const int rows = 1 + (Take(data, size) | (Take(data, size) << 8)) % 250;
  const std::uint8_t start_attribute = Take(data, size);
  const CellPosition start{Take(data, size) % std::min(columns, 256), Take(data, size) % std::min(rows, 234)};
  const Cell outside{0xB1, 0x5C};
  MemoryScreen screen(columns, rows, outside);
  screen.At(start.Column, start.Row).Attribute = start_attribute;
  screen.PlaceCursor(start);
  Console console(screen);
  console.Device.StartDevice();
  const CellRect window = console.Device.Window();
  Require(window.Width() == std::min(columns, 256) && window.Height() == std::min(rows, 234));
  Require(console.Device.CurrentAttribute() == start_attribute);

  // Texts, each after a length byte whose top bit asks for a line end; 0xFF
  // clears the window first.
  while (size > 0) {
    const std::uint8_t head = Take(data, size);
    if (head == 0xFF) console.Device.ClearScreen();
    const std::size_t length = std::min<std::size_t>(head & 0x7F, size);
    const std::string_view text(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
    (head & 0x80) ? WriteCodedLine(console, text) : WriteCoded(console, text);
    Require(Inside(window, console.Device.CursorCell()) && Inside(window, screen.Cursor()));
  }
  Require(screen.LongestWrite() <= 256);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      Require(Inside(window, {column, row}) || screen.At(column, row) == outside);
    }
  }
  return 0;
}
