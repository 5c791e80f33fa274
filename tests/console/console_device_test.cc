#include "console/console_device.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "console/memory_screen.h"
#include "console/standard_output.h"

namespace kovo {
namespace {

TEST(TextAttribute, ForegroundAndBackgroundRules) {
  struct Case {
    bool foreground;
    std::uint8_t start, colour, result;
  };
  const Case cases[] = {
      {true, 0x17, 11, 0x1B},   // background stays
      {true, 0x17, 20, 0x94},   // above 15: high bit, low four bits
      {true, 0x9F, 7, 0x17},    // 0-15 clear the high bit
      {true, 0x70, 0, 0x70},
      {true, 0x07, 255, 0x8F},
      {false, 0x0E, 9, 0x1E},   // only the low three bits count
      {false, 0x8F, 2, 0xAF},   // foreground and high bit stay
      {false, 0x7F, 0, 0x0F},
  };
  for (const Case& c : cases) {
    MemoryScreen screen(10, 3, Cell{' ', c.start});
    ConsoleDevice device(screen);
    device.StartDevice();
    ASSERT_EQ(device.CurrentAttribute(), c.start);
    if (c.foreground) {
      device.SetForeground(c.colour);
    } else {
      device.SetBackground(c.colour);
    }
    EXPECT_EQ(device.CurrentAttribute(), c.result)
        << std::hex << int(c.start) << (c.foreground ? " fg " : " bg ") << std::dec << int(c.colour);
  }
}

// Control bytes, wrapping and scrolling on a 10x4 window: the rows, the
// cursor, and the attribute of a cell that tells.
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
      {"backspaces stop at the left edge of the row", write("\r\nabc" + std::string(8, '\b') + "Z"),
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
      {"a bell changes nothing", write("ab\a"), {"ab"}, {2, 0}, {2, 0}, 0x07, 1},
      {"other control bytes fill a cell each", write(std::string("\t\f\0\x1b\x7f\xff", 6)),
       {std::string("\t\f\0\x1b\x7f\xff", 6)}, {6, 0}, {5, 0}, 0x07},
      {"each byte keeps its attribute",
       [](Console& c) {
         c.Device.SetForeground(12);
         c.Output.WriteChar('r');
         c.Device.SetForeground(10);
         c.Output.WriteChar('g');
       },
       {"rg"}, {2, 0}, {0, 0}, 0x0C},
      {"a clear fills the window and homes the cursor",
       [](Console& c) {
         c.Output.WriteString("junk\r\nmore junk");
         c.Device.SetBackground(1);
         c.Device.ClearScreen();
       },
       {}, {0, 0}, {9, 3}, 0x17},
      {"texts are cut at 255 bytes", write(std::string(300, 'x')),
       {}, {5, 3}, {0, 3}, 0x07},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryScreen screen(10, 4);
    Console console(screen);
    console.Device.StartDevice();
    c.script(console);
    for (std::size_t row = 0; row < c.rows.size(); ++row) {
      EXPECT_EQ(screen.RowText(static_cast<int>(row)), c.rows[row] + std::string(10 - c.rows[row].size(), ' '));
    }
    EXPECT_EQ(console.Device.CursorCell().Column, c.cursor.Column);
    EXPECT_EQ(console.Device.CursorCell().Row, c.cursor.Row);
    EXPECT_EQ(screen.Cursor().Row, c.cursor.Row);
    EXPECT_EQ(screen.At(c.cell.Column, c.cell.Row).Attribute, c.attribute);
    EXPECT_EQ(screen.Bells(), c.bells);
  }
}

TEST(ConsoleDevice, WindowIsCappedAt234RowsAnd256Columns) {
  MemoryScreen screen(300, 250, Cell{'.', 7});
  Console console(screen);
  console.Device.StartDevice();
  EXPECT_EQ(console.Device.Window().Right, 255);
  EXPECT_EQ(console.Device.Window().Bottom, 233);
  console.Device.SetBackground(1);
  console.Device.ClearScreen();
  EXPECT_EQ(screen.At(255, 233), (Cell{' ', 0x17}));
  EXPECT_EQ(screen.At(256, 0), (Cell{'.', 7}));
  EXPECT_EQ(screen.At(0, 234), (Cell{'.', 7}));
  console.Output.WriteString(std::string(255, 'x'));
  console.Output.WriteString("yz");
  EXPECT_EQ(screen.At(255, 0).Byte, 'y');
  EXPECT_EQ(screen.At(256, 0).Byte, '.');
  EXPECT_EQ(screen.At(0, 1).Byte, 'z');
  EXPECT_LE(screen.LongestWrite(), 256);
}

TEST(ConsoleDevice, StartsFromTheScreensCursorAndAttribute) {
  MemoryScreen screen(20, 5);
  screen.At(4, 2).Attribute = 0x1E;
  screen.PlaceCursor({4, 2});
  Console console(screen);
  console.Device.StartDevice();
  EXPECT_EQ(console.Device.CurrentAttribute(), 0x1E);
  console.Output.WriteString("hi");
  EXPECT_EQ(screen.RowText(2).substr(4, 2), "hi");
}

TEST(ConsoleDevice, ScreenWithoutSizeLeavesTheDeviceInert) {
  NoScreen screen;
  Console console(screen);
  console.Device.StartDevice();
  EXPECT_FALSE(console.Device.Active());
  console.Device.ClearScreen();
  console.Output.WriteString("text\r\n\a");
  console.Device.ShutdownDevice();  // must not crash or draw
  EXPECT_EQ(console.Device.CurrentAttribute(), 7);
}

TEST(ConsoleDevice, OneRowOfTextIsOneScreenOperation) {
  MemoryScreen screen(80, 25);
  Console console(screen);
  console.Device.StartDevice();
  console.Output.WriteString("Reading KOVO.FON: Working");
  EXPECT_EQ(screen.CellWrites(), 1);
  console.Output.WriteString(std::string(200, 'x'));  // two buffer loads, wraps twice
  EXPECT_EQ(screen.RowText(1), std::string(80, 'x'));
  EXPECT_LE(screen.CellWrites(), 6);
}

}  // namespace
}  // namespace kovo
