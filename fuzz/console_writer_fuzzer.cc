// Any bytes with pipe codes drawn through the colour-code writer and the
// device on a memory screen of any size from 1x1 to 300x250. The cursor must
// never leave the window, no cell outside the window may change, and no run
// may be longer than 256 cells.
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <string_view>

#include "console/colour_code_writer.h"
#include "console/memory_screen.h"

namespace {

using namespace kovo;

constexpr Cell kOutside{0xB1, 0x5C};

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Inside(const CellRect& window, CellPosition cell) {
  return cell.Column >= window.Left && cell.Column <= window.Right && cell.Row >= window.Top &&
         cell.Row <= window.Bottom;
}

std::uint8_t Take(const std::uint8_t*& data, std::size_t& size) {
  if (size == 0) return 0;
  --size;
  return *data++;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int columns = 1 + (Take(data, size) | (Take(data, size) << 8)) % 300;
  const int rows = 1 + (Take(data, size) | (Take(data, size) << 8)) % 250;
  const std::uint8_t start_attribute = Take(data, size);
  const int window_columns = columns < 256 ? columns : 256;
  const int window_rows = rows < 234 ? rows : 234;
  const CellPosition start{Take(data, size) % window_columns, Take(data, size) % window_rows};

  MemoryScreen screen(columns, rows, kOutside);
  screen.At(start.Column, start.Row).Attribute = start_attribute;
  screen.PlaceCursor(start);
  Console console(screen);
  console.Device.StartDevice();
  const CellRect window = console.Device.Window();
  Require(window.Width() == window_columns && window.Height() == window_rows);
  Require(console.Device.CurrentAttribute() == start_attribute);

  // The rest is a list of texts: a length byte with its top bit choosing a
  // line end, a clear before the text when the length is 0xFF.
  while (size > 0) {
    const std::uint8_t head = Take(data, size);
    if (head == 0xFF) console.Device.ClearScreen();
    const std::size_t length = std::min<std::size_t>(head & 0x7F, size);
    const std::string_view text(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
    if (head & 0x80) {
      WriteCodedLine(console, text);
    } else {
      WriteCoded(console, text);
    }
    Require(Inside(window, console.Device.CursorCell()));
    Require(Inside(window, screen.Cursor()));
  }

  Require(screen.LongestWrite() <= 256);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      if (!Inside(window, {column, row})) Require(screen.At(column, row) == kOutside);
    }
  }
  return 0;
}
