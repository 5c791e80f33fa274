#include "console/console_device.h"

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

class DeviceTest : public ::testing::Test {
 protected:
  explicit DeviceTest(int columns = 10, int rows = 4) : screen_(columns, rows), console_(screen_) {
    console_.Device.StartDevice();
  }
  void Write(const std::string& bytes) { console_.Output.WriteString(bytes); }
  CellPosition Cursor() const { return console_.Device.CursorCell(); }
  std::string Row(int row) const { return screen_.RowText(row); }

  MemoryScreen screen_;
  Console console_;
};

TEST_F(DeviceTest, BackspaceMovesBackWithoutErasing) {
  Write("ab\bX");
  EXPECT_EQ(Row(0), "aX        ");
  EXPECT_EQ(Cursor().Column, 2);
}

TEST_F(DeviceTest, BackspacesStopAtTheLeftEdgeOfTheSameRow) {
  Write("\r\nabc");
  Write(std::string(8, '\b') + "Z");
  EXPECT_EQ(Row(1), "Zbc       ");
  EXPECT_EQ(Cursor().Column, 1);
  EXPECT_EQ(Cursor().Row, 1);
}

TEST_F(DeviceTest, LineFeedKeepsTheColumn) {
  Write("ab\ncd");
  EXPECT_EQ(Row(1), "  cd      ");
}

TEST_F(DeviceTest, LastColumnWrapsAtOnce) {
  Write("0123456789");
  EXPECT_EQ(Cursor().Column, 0);
  EXPECT_EQ(Cursor().Row, 1);
  Write("\r\nnext");
  EXPECT_EQ(Row(1), "          ");  // the wrap already moved down one row
  EXPECT_EQ(Row(2), "next      ");
}

TEST_F(DeviceTest, BottomRightCellScrollsAtOnceInTheCurrentAttribute) {
  Write("top\r\n\r\n\r\n");
  console_.Device.SetBackground(4);
  Write("012345678");
  EXPECT_EQ(Cursor().Row, 3);
  Write("9");
  EXPECT_EQ(Row(0), "          ");  // "top" scrolled away
  EXPECT_EQ(Row(2), "0123456789");
  EXPECT_EQ(Row(3), "          ");
  EXPECT_EQ(screen_.At(0, 3).Attribute, 0x47);
  EXPECT_EQ(Cursor().Column, 0);
  EXPECT_EQ(Cursor().Row, 3);
}

TEST_F(DeviceTest, LineFeedOnTheBottomRowScrollsInTheAttributeOfThatMoment) {
  Write("a\nb\nc\nd");
  console_.Device.SetForeground(14);
  console_.Device.SetBackground(2);
  Write("\n");
  EXPECT_EQ(Row(0), " b        ");
  EXPECT_EQ(Row(3), "          ");
  for (int column = 0; column < 10; ++column) EXPECT_EQ(screen_.At(column, 3).Attribute, 0x2E);
  EXPECT_EQ(screen_.At(3, 2).Attribute, 0x07);  // "d" kept its colour
  EXPECT_EQ(Cursor().Column, 4);
}

TEST_F(DeviceTest, BellSoundsAndChangesNothing) {
  Write("ab");
  Write("\a");
  EXPECT_EQ(screen_.Bells(), 1);
  EXPECT_EQ(Row(0), "ab        ");
  EXPECT_EQ(Cursor().Column, 2);
}

TEST_F(DeviceTest, OtherControlBytesFillOneCellEach) {
  Write(std::string("\t\f\0\x1b\x7f\xff", 6));
  EXPECT_EQ(Row(0), std::string("\t\f\0\x1b\x7f\xff    ", 10));
  EXPECT_EQ(Cursor().Column, 6);
}

TEST_F(DeviceTest, EachByteKeepsTheAttributeItWasWrittenIn) {
  console_.Device.SetForeground(12);
  console_.Output.WriteChar('r');
  console_.Device.SetForeground(10);
  console_.Output.WriteChar('g');
  EXPECT_EQ(screen_.At(0, 0).Attribute, 0x0C);
  EXPECT_EQ(screen_.At(1, 0).Attribute, 0x0A);
}

TEST_F(DeviceTest, ClearScreenFillsTheWindowAndHomesTheCursor) {
  Write("junk\r\nmore junk");
  console_.Device.SetBackground(1);
  console_.Device.ClearScreen();
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 10; ++column) {
      ASSERT_EQ(screen_.At(column, row), (Cell{' ', 0x17})) << column << "," << row;
    }
  }
  EXPECT_EQ(Cursor().Column, 0);
  EXPECT_EQ(Cursor().Row, 0);
  EXPECT_EQ(screen_.Cursor().Row, 0);
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

TEST(StandardOutput, TextsAreCutAt255Bytes) {
  MemoryScreen screen(100, 5);
  Console console(screen);
  console.Device.StartDevice();
  console.Output.WriteString(std::string(300, 'x'));
  EXPECT_EQ(console.Device.CursorCell().Column, 55);
  EXPECT_EQ(console.Device.CursorCell().Row, 2);
}

TEST(StandardOutput, LineEndIsCarriageReturnLineFeed) {
  MemoryScreen screen(10, 3);
  Console console(screen);
  console.Device.StartDevice();
  console.Output.WriteString("abc");
  console.Output.WriteLineEnd();
  EXPECT_EQ(console.Device.CursorCell().Column, 0);
  EXPECT_EQ(console.Device.CursorCell().Row, 1);
}

}  // namespace
}  // namespace kovo
