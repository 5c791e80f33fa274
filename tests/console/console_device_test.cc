// The console device and the colour-code writer on memory grids.
#include "console/console_device.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "console/colour_code_writer.h"
#include "support/memory_screen.h"

namespace kovo {
namespace {

using testing::MemoryScreen;

// Scripts on a 10x4 window: the rows, the cursor, the attribute of a cell
// that tells, and the bells.
TEST(ConsoleDevice, ControlBytesWrapAndScroll) {
  struct Case {
    const char* name;
    std::function<void(Console&)> script;
    std::vector<std::string> rows;
    CellPosition cursor;
    CellPosition cell;
    std::uint8_t attribute;
    int bells = 0;
  };
  const auto write = [](std::string bytes) {
    return [bytes](Console& console) { console.Output.WriteString(bytes); };
  };
  const Case cases[] = {
      {"backspace moves back without erasing", write("ab\bX"), {"aX"}, {2, 0}, {1, 0}, 0x07},
      {"backspaces stop at the left edge", write("\r\nabc" + std::string(8, '\b') + "Z"),
       {"", "Zbc"}, {1, 1}, {0, 1}, 0x07},
      {"a line feed keeps the column", write("ab\ncd"), {"ab", "  cd"}, {4, 1}, {2, 1}, 0x07},
      {"the last column wraps at once", write("0123456789\r\nnext"), {"0123456789", "", "next"},
       {4, 2}, {0, 2}, 0x07},
      {"the bottom-right cell scrolls at once, in the current attribute",
       [](Console& c) {
         c.Output.WriteString("top\r\n\r\n\r\n");
         c.Device.SetBackground(4);
         c.Output.WriteString("0123456789");
       },
       {"", "", "0123456789", ""}, {0, 3}, {0, 3}, 0x47},
      {"a line feed on the bottom row scrolls in the attribute of that moment",
       [](Console& c) {
         c.Output.WriteString("a\nb\nc\nd");
         c.Device.SetForeground(14);
         c.Device.SetBackground(2);
         c.Output.WriteString("\n");
       },
       {" b", "  c", "   d", ""}, {4, 3}, {9, 3}, 0x2E},
      {"other control bytes fill a cell each", write(std::string("\t\f\0\x1b\x7f\xff", 6)),
       {std::string("\t\f\0\x1b\x7f\xff", 6)}, {6, 0}, {5, 0}, 0x07},
      {"a clear fills the window and homes the cursor",
       [](Console& c) {
         c.Output.WriteString("junk\r\nmore junk");
         c.Device.SetBackground(1);
         c.Device.ClearScreen();
       },
       {"", "", "", ""}, {0, 0}, {9, 3}, 0x17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryScreen screen(10, 4);
    Console console(screen);
    console.Device.StartDevice();
    c.script(console);
    for (std::size_t row = 0; row < c.rows.size(); ++row) {
      EXPECT_EQ(screen.RowText(int(row)), c.rows[row] + std::string(10 - c.rows[row].size(), ' '));
    }
    EXPECT_EQ(console.Device.CursorCell().Column, c.cursor.Column);
    EXPECT_EQ(console.Device.CursorCell().Row, c.cursor.Row);
    EXPECT_EQ(screen.Cursor().Row, c.cursor.Row);
    EXPECT_EQ(screen.At(c.cell.Column, c.cell.Row).Attribute, c.attribute);
    EXPECT_EQ(screen.Bells(), c.bells);
  }
}

// A screen larger than the largest window keeps its cells past it.
TEST(ConsoleDevice, WindowIsCappedAt234RowsAnd256Columns) {
  MemoryScreen screen(300, 250);
  Console console(screen);
  console.Device.StartDevice();
  console.Device.SetBackground(1);
  console.Device.ClearScreen();
  EXPECT_EQ(screen.At(255, 233), (Cell{' ', 0x17}));
  console.Output.WriteString(std::string(255, 'x'));
  console.Output.WriteString("yz");
  EXPECT_EQ(screen.At(255, 0).Byte, 'y');
  EXPECT_EQ(screen.At(0, 1).Byte, 'z');
  for (int line = 0; line < 240; ++line) console.Output.WriteLineEnd();
  EXPECT_EQ(console.Device.CursorCell().Row, 233);  // the last row scrolls
}

// Texts on a fresh grid whose cell under the cursor (column 3) has the
// start attribute: what shows, and the attribute after. A foreground clears
// the high bit and keeps the background; a background keeps both.
TEST(WriteCoded, AppliesCodesAndWritesEverythingElse) {
  struct Case {
    const char* text;
    const char* shown;
    std::uint8_t attribute;
    std::uint8_t start = 0x07;
  };
  const Case cases[] = {
      {"plain", "plain", 0x07}, {"|7x|x7", "", 0x07},   {"|12| 7", "", 0x07},
      {"|+9", "", 0x09},        {"|$F", "", 0x0F},      {"|12|-1", "", 0x0C},
      {"||12", "2", 0x07},      {"ab|5", "ab", 0x05},   {"ab|", "ab", 0x07},
      {"|16", "", 0x07},        {"|23", "", 0x77},      {"|20|14", "", 0x4E},
      {"|18|24|25|50|99|00", "", 0x27},  // from 24 on, the background stays as it was
      {"x\b\xFEy", "\xFEy", 0x07},     {"|$f|1 |$G", "", 0x0F},
      {"|11", "", 0x1B, 0x17},  {"|07", "", 0x17, 0x9F}, {"|18", "", 0xAF, 0x8F},
  };
  for (const Case& c : cases) {
    MemoryScreen screen(40, 2);
    screen.At(3, 0).Attribute = c.start;
    screen.PlaceCursor({3, 0});
    Console console(screen);
    console.Device.StartDevice();
    WriteCoded(console, c.text);
    console.Output.WriteChar('#');  // in the attribute the codes left
    const auto end = static_cast<std::size_t>(console.Device.CursorCell().Column) - 1;
    EXPECT_EQ(screen.RowText(0).substr(3, end - 3), c.shown) << c.text;
    EXPECT_EQ(screen.At(int(end), 0).Attribute, c.attribute) << c.text;
  }
}

}  // namespace
}  // namespace kovo
