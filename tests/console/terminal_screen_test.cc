#include "console/terminal_screen.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <pty.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "console/colour_code_writer.h"
#include "console/terminal_sequences.h"
#include "support/vterm_screen.h"

namespace kovo {
namespace {

using testing::DescribeDifferences;
using testing::EmulatedTerminal;

// Captures what a terminal screen sends, through a memory file.
class CapturedTerminal {
 public:
  CapturedTerminal(int columns, int rows, GlyphEncoding encoding = GlyphEncoding::Utf8)
      : fd_(::memfd_create("terminal", 0)), screen_(fd_, ScreenSize{columns, rows}, encoding) {}
  ~CapturedTerminal() { ::close(fd_); }
  TerminalScreen& Get() { return screen_; }
  // What was sent, once what is held has been sent too.
  std::string Bytes() {
    screen_.Flush();
    std::string bytes(static_cast<std::size_t>(::lseek(fd_, 0, SEEK_END)), '\0');
    ::pread(fd_, bytes.data(), bytes.size(), 0);
    return bytes;
  }

 private:
  int fd_;
  TerminalScreen screen_;
};

using Script = std::function<void(Console&)>;

// Runs the script on the memory grid and on the terminal screen of the same
// size, feeds the terminal's bytes to an emulator and compares every cell
// and the cursor.
void ExpectTerminalMatchesGrid(int columns, int rows, const Script& script) {
  MemoryScreen grid(columns, rows);
  Console on_grid(grid);
  on_grid.Device.StartDevice();
  script(on_grid);

  CapturedTerminal terminal(columns, rows);
  Console on_terminal(terminal.Get());
  on_terminal.Device.StartDevice();
  script(on_terminal);

  EmulatedTerminal emulator(columns, rows);
  emulator.Feed(terminal.Bytes());
  EXPECT_EQ(DescribeDifferences(emulator, grid, CellRect{0, 0, columns - 1, rows - 1}), "");
  EXPECT_EQ(emulator.Cursor().Column, grid.Cursor().Column);
  EXPECT_EQ(emulator.Cursor().Row, grid.Cursor().Row);
  EXPECT_EQ(emulator.Bells(), grid.Bells());
}

void StatusLines(Console& console) {
  console.Device.ClearScreen();
  WriteCodedLine(console, "|11 Kovo/w32 Maintenence |11\xE1" "1 v1.00 |08[win32 version]");
  WriteCoded(console, "|15 \xFE |03Reading KOVO.FON:|14 Working");
  WriteCodedLine(console, "\b\b\b\b\b\b\b\b|11 DONE   ");
  console.Output.WriteString("\a");
}

void EveryByte(Console& console) {
  console.Device.ClearScreen();
  std::string bytes;
  for (int byte = 0x01; byte <= 0x1F; ++byte) {
    if (byte != 7 && byte != 8 && byte != 10 && byte != 13) bytes += static_cast<char>(byte);
  }
  for (int byte = 0x7F; byte <= 0xFF; ++byte) bytes += static_cast<char>(byte);
  bytes += '\0';
  console.Device.SetForeground(10);
  console.Output.WriteString(bytes);
}

void WrapAndScrollOnColour(Console& console) {
  console.Device.SetBackground(1);
  console.Device.ClearScreen();
  for (int line = 0; line < 40; ++line) {
    console.Device.SetForeground(static_cast<std::uint8_t>(1 + line % 15));
    console.Device.SetBackground(static_cast<std::uint8_t>(line % 8));
    console.Output.WriteString("line " + std::to_string(line) + std::string(static_cast<std::size_t>(line) * 3, '#'));
    console.Output.WriteLineEnd();
  }
  console.Device.SetForeground(20);  // bright background
  console.Output.WriteString("end\b\bX\a");
}

void BackspacesAndReturns(Console& console) {
  console.Device.ClearScreen();
  console.Output.WriteString("abcdef\b\b\bXY\rZ\n\n  gh");
  console.Device.SetBackground(6);
  console.Output.WriteString(std::string(12, '\b') + "q");
}

TEST(TerminalScreen, DrawsWhatTheGridHolds) {
  const struct {
    const char* name;
    Script script;
  } scripts[] = {
      {"status lines", StatusLines},
      {"every byte", EveryByte},
      {"wrap and scroll on colour", WrapAndScrollOnColour},
      {"backspaces and returns", BackspacesAndReturns},
  };
  const ScreenSize sizes[] = {{30, 8}, {80, 25}, {300, 40}, {1, 1}, {256, 240}};
  for (const auto& script : scripts) {
    for (const ScreenSize size : sizes) {
      SCOPED_TRACE(std::string(script.name) + " at " + std::to_string(size.Columns) + "x" +
                   std::to_string(size.Rows));
      ExpectTerminalMatchesGrid(size.Columns, size.Rows, script.script);
    }
  }
}

TEST(TerminalScreen, ColumnsBeyondTheWindowSurviveAScroll) {
  // Text right of column 256 was written before the run; a scroll of the
  // window must not move it.
  CapturedTerminal terminal(300, 10);
  EmulatedTerminal emulator(300, 10);
  emulator.Feed("\x1b[1;280Hkeep");
  Console console(terminal.Get());
  console.Device.StartDevice();
  console.Device.ClearScreen();
  console.Output.WriteString("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\nj\r\nk");
  emulator.Feed(terminal.Bytes());
  EXPECT_EQ(emulator.RowText(0).substr(0, 1), "b");
  EXPECT_EQ(emulator.RowText(0).substr(279, 4), "keep");
}

// The exact bytes: the character set once, a rendition only where the
// colour changes, a cursor move only where the next cell is elsewhere, the
// visible cursor once at the end of a frame, and the reset closing each
// frame. What a phase shows takes two frames: "Working" before the pause,
// " DONE" and the cursor at the end.
TEST(TerminalScreen, FramesSendTheFewestBytes) {
  const std::uint8_t text[] = {0xFE, ' ', 'R', 0xE1, 0x01, 0x00};
  struct Case {
    const char* name;
    GlyphEncoding encoding;
    std::function<void(TerminalScreen&, Console&)> draw;
    const char* bytes;
    std::size_t writes;
  };
  const Case cases[] = {
      {"a run of cells", GlyphEncoding::Utf8,
       [&](TerminalScreen& screen, Console&) { screen.WriteCells({2, 3}, text, 4, 0x1E); },
       "\x1b(B\x1b[4;3H\x1b[0;93;44m\u25A0 R\u00DF\x1b[0m", 1},
      {"in ASCII", GlyphEncoding::Ascii,
       [&](TerminalScreen& screen, Console&) { screen.WriteCells({0, 0}, text, 6, 0x07); },
       "\x1b(B\x1b[1;1H\x1b[0;37m? R??\x20\x1b[0m", 1},
      {"a scroll in the default background", GlyphEncoding::Utf8,
       [](TerminalScreen& screen, Console&) { screen.ScrollUp(CellRect{0, 0, 79, 24}, 1, 0x07); },
       "\x1b(B\x1b[1;25r\x1b[25;1H\n\x1b[r", 1},
      {"a phase", GlyphEncoding::Utf8,
       [](TerminalScreen&, Console& console) {
         WriteCoded(console, "|15 \xFE |03Reading KOVO.FON:|14 Working");
         console.Device.Pause(0);
         WriteCodedLine(console, "\b\b\b\b\b\b\b\b|11 DONE   ");
         console.Output.WriteString("\a");
         console.Device.ShutdownDevice();
       },
       "\x1b(B\x1b[1;1H\x1b[0;97m \u25A0 \x1b[0;36mReading KOVO.FON:\x1b[0;93m Working\x1b[0m"
       "\x1b[1;21H\x1b[0;96m DONE   \a\x1b[2;1H\x1b[0m",
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CapturedTerminal terminal(80, 25, c.encoding);
    Console console(terminal.Get());
    console.Device.StartDevice();
    c.draw(terminal.Get(), console);
    EXPECT_EQ(terminal.Bytes(), c.bytes);
    EXPECT_EQ(terminal.Get().WritesSent(), c.writes);
  }
}

TEST(TerminalScreen, AttributeColoursMapOntoTheTerminalPalette) {
  struct Case {
    std::uint8_t attribute;
    const char* rendition;
  };
  const Case cases[] = {
      {0x07, "\x1b[0;37m"},      {0x0F, "\x1b[0;97m"},     {0x01, "\x1b[0;34m"},
      {0x0C, "\x1b[0;91m"},      {0x0E, "\x1b[0;93m"},     {0x03, "\x1b[0;36m"},
      {0x17, "\x1b[0;37;44m"},   {0x47, "\x1b[0;37;41m"}, {0x60, "\x1b[0;30;43m"},
      {0x87, "\x1b[0;37;100m"},  {0x94, "\x1b[0;31;104m"}, {0xF0, "\x1b[0;30;107m"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sequences::Rendition(c.attribute).View(), c.rendition) << int(c.attribute);
  }
}

class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvironmentVariable() {
    if (old_.empty()) {
      ::unsetenv(name_);
    } else {
      ::setenv(name_, old_.c_str(), 1);
    }
  }

 private:
  const char* name_;
  std::string old_;
};

TEST(UsableTerminalSize, OnlyAUsableTerminalIsDrawnOn) {
  struct Case {
    const char* name;
    const char* term;
    unsigned short columns, rows;
    bool pty;
    int expected_columns;
  };
  const Case cases[] = {
      {"terminal", "xterm", 80, 25, true, 80},
      {"dumb terminal", "dumb", 80, 25, true, 0},
      {"no TERM", nullptr, 80, 25, true, 0},
      {"no size", "xterm", 0, 0, true, 0},
      {"no columns", "xterm", 0, 25, true, 0},
      {"file", "xterm", 80, 25, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const EnvironmentVariable term("TERM", c.term);
    int controller = -1;
    int fd = -1;
    if (c.pty) {
      winsize size{c.rows, c.columns, 0, 0};
      ASSERT_EQ(::openpty(&controller, &fd, nullptr, nullptr, &size), 0);
    } else {
      fd = ::memfd_create("file", 0);
    }
    const std::optional<ScreenSize> size = UsableTerminalSize(fd);
    EXPECT_EQ(size ? size->Columns : 0, c.expected_columns);
    ::close(fd);
    if (controller >= 0) ::close(controller);
  }
}

TEST(EncodingFromLocale, FirstSetVariableDecides) {
  const EnvironmentVariable all("LC_ALL", nullptr);
  const EnvironmentVariable type("LC_CTYPE", "C");
  const EnvironmentVariable lang("LANG", "en_US.UTF-8");
  EXPECT_EQ(EncodingFromLocale(), GlyphEncoding::Ascii);
  const EnvironmentVariable all_utf8("LC_ALL", "C.utf8");
  EXPECT_EQ(EncodingFromLocale(), GlyphEncoding::Utf8);
}

}  // namespace
}  // namespace kovo
