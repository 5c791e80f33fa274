#include "console/colour_code_writer.h"

#include <gtest/gtest.h>

#include "console/memory_screen.h"

namespace kovo {
namespace {

TEST(PipeCodeValue, ConvertsLikeTheNumberRule) {
  struct Case {
    const char* code;
    int value;
  };
  const Case cases[] = {
      {"15", 15}, {"03", 3},  {"7", 7},   {" 7", 7},  {"+7", 7},  {"-1", -1},
      {"$F", 15}, {"$f", 15}, {"$1", 1},  {"16", 16}, {"99", 99}, {"00", 0},
      {"7x", 0},  {"x7", 0},  {"", 0},    {" ", 0},   {"+", 0},   {"$", 0},
      {"-$", 0},  {"|1", 0},  {"1 ", 0},  {"$G", 0},  {"\xFE" "1", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(PipeCodeValue(c.code), c.value) << '"' << c.code << '"';
}

// Writes text on a fresh 40x2 grid starting in attribute 0x07; returns the
// first row's bytes up to the cursor and the attribute after the text.
struct Written {
  std::string text;
  std::uint8_t attribute;
};

Written WriteOnGrid(std::string_view text, MemoryScreen* keep = nullptr) {
  MemoryScreen local(40, 2);
  MemoryScreen& screen = keep != nullptr ? *keep : local;
  Console console(screen);
  console.Device.StartDevice();
  WriteCoded(console, text);
  const int end = console.Device.CursorCell().Column;
  return Written{screen.RowText(0).substr(0, static_cast<std::size_t>(end)),
                 console.Device.CurrentAttribute()};
}

TEST(WriteCoded, AppliesCodesAndWritesEverythingElse) {
  struct Case {
    const char* text;
    const char* shown;
    std::uint8_t attribute;
  };
  const Case cases[] = {
      {"plain", "plain", 0x07},
      {"|7x|x7", "", 0x07},
      {"| 7", "", 0x07},
      {"|12| 7", "", 0x07},
      {"|+9", "", 0x09},
      {"|$F", "", 0x0F},
      {"|12|-1", "", 0x0C},
      {"||12", "2", 0x07},
      {"ab|5", "ab", 0x05},
      {"ab|", "ab", 0x07},
      {"|18|24|25|50|99|00", "", 0x27},  // codes from 24 on leave a background as it was
      {"|16", "", 0x07},
      {"|23", "", 0x77},
      {"|20|14", "", 0x4E},
      {"x\b\xFEy", "\xFEy", 0x07},
  };
  for (const Case& c : cases) {
    const Written written = WriteOnGrid(c.text);
    EXPECT_EQ(written.text, c.shown) << '"' << c.text << '"';
    EXPECT_EQ(written.attribute, c.attribute) << '"' << c.text << '"';
  }
}

TEST(WriteCoded, EachByteTakesTheColourCurrentWhenItIsWritten) {
  MemoryScreen screen(40, 2);
  WriteOnGrid("|15 \xFE |03Reading", &screen);
  EXPECT_EQ(screen.RowText(0).substr(0, 10), " \xFE Reading");
  for (int column = 0; column < 3; ++column) EXPECT_EQ(screen.At(column, 0).Attribute, 0x0F);
  for (int column = 3; column < 10; ++column) EXPECT_EQ(screen.At(column, 0).Attribute, 0x03);
}

TEST(WriteCoded, PhaseDoneOverwritesWorking) {
  MemoryScreen screen(40, 2);
  Console console(screen);
  console.Device.StartDevice();
  WriteCoded(console, "|03Reading:|14 Working");
  WriteCodedLine(console, "\b\b\b\b\b\b\b\b|11 DONE   ");
  EXPECT_EQ(screen.RowText(0).substr(0, 18), "Reading: DONE     ");
  EXPECT_EQ(screen.At(9, 0).Attribute, 0x0B);
  EXPECT_EQ(console.Device.CursorCell().Row, 1);
  EXPECT_EQ(console.Device.CursorCell().Column, 0);
}

TEST(WriteCoded, PipeAtTheVeryEndConsumesNothingBeyondTheText) {
  // The text is a view into a longer buffer; the bytes after it must not count.
  const std::string buffer = "ab|12";
  EXPECT_EQ(WriteOnGrid(std::string_view(buffer).substr(0, 3)).attribute, 0x07);
  EXPECT_EQ(WriteOnGrid(std::string_view(buffer).substr(0, 4)).attribute, 0x01);
}

}  // namespace
}  // namespace kovo
