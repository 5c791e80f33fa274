// The terminal screen's bytes, read back through a terminal emulator and
// compared with the memory grid, and byte for byte.
#include "console/posix_terminal_screen.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "console/colour_code_writer.h"
#include "support/message_socket.h"
#include "support/vterm_screen.h"

namespace kovo {
namespace {

// A terminal screen writing into a socket that keeps its writes apart.
struct CapturedTerminal {
  CapturedTerminal(int columns, int rows, bool colours = true)
      : screen(sent.SendingEnd(), ScreenSize{columns, rows}, GlyphEncoding::Utf8, colours), console(screen) {
    console.Device.StartDevice();
  }
  // What was sent, once what is held has gone too.
  std::string Bytes() {
    screen.Flush();
    return sent.Finish();
  }

  testing::MessageSocket sent;
  TerminalScreen screen;
  Console console;
};

using Script = std::function<void(Console&)>;

void StatusLines(Console& console) {
  console.Device.ClearScreen();
  WriteCodedLine(console, "|11 Kovo/w32 Maintenence |11\xE1" "1 v1.00 |08[win32 version]");
  WriteCoded(console, "|15 \xFE |03Reading KOVO.FON:|14 Working");
  WriteCodedLine(console, "\b\b\b\b\b\b\b\b|11 DONE   \a");
}

void EveryByte(Console& console) {
  console.Device.ClearScreen();
  std::string bytes;
  for (int byte = 0x01; byte <= 0xFF; ++byte) {
    if (byte < 0x20 ? byte != 7 && byte != 8 && byte != 10 && byte != 13 : byte >= 0x7F) {
      bytes += static_cast<char>(byte);
    }
  }
  console.Device.SetForeground(10);
  console.Output.WriteString(bytes + '\0');
}

void WrapAndScrollOnColour(Console& console) {
  console.Device.SetBackground(1);
  console.Device.ClearScreen();
  for (int line = 0; line < 40; ++line) {
    console.Device.SetForeground(static_cast<std::uint8_t>(1 + line % 15));
    console.Device.SetBackground(static_cast<std::uint8_t>(line % 8));
    console.Output.WriteString("line " + std::to_string(line) + std::string(std::size_t(line) * 3, '#'));
    console.Output.WriteLineEnd();
  }
  console.Output.WriteString("end\b\bX\a");
}

TEST(TerminalScreen, DrawsWhatTheGridHolds) {
  const std::pair<const char*, Script> scripts[] = {
      {"status lines", StatusLines},
      {"every byte", EveryByte},
      {"wrap and scroll on colour", WrapAndScrollOnColour},
  };
  const ScreenSize sizes[] = {{30, 8}, {80, 25}, {300, 40}, {1, 1}, {256, 240}};
  for (const auto& [name, script] : scripts) {
    for (const ScreenSize size : sizes) {
      for (const bool colours : {true, false}) {
        SCOPED_TRACE(std::string(name) + " at " + std::to_string(size.Columns) + "x" +
                     std::to_string(size.Rows) + (colours ? "" : " without colours"));
        testing::MemoryScreen grid(size.Columns, size.Rows);
        testing::EmulatedTerminal emulator(size.Columns, size.Rows);
        // Text right of the window, there before the run, stays.
        if (size.Columns > 280) emulator.Feed("\x1b[1;281H\x1b[37mk\x1b[m");
        Console on_grid(grid);
        on_grid.Device.StartDevice();
        script(on_grid);
        CapturedTerminal terminal(size.Columns, size.Rows, colours);
        script(terminal.console);
        const std::string bytes = terminal.Bytes();
        emulator.Feed("\x1b(0");  // a terminal left drawing lines in place of letters
        emulator.Feed(bytes);
        const std::size_t last_colour = bytes.rfind("\x1b[0;");
        EXPECT_TRUE(last_colour == std::string::npos || bytes.rfind("\x1b[0m") > last_colour) << "colours left on";
        if (size.Columns > 280) {
          EXPECT_EQ(emulator.GlyphAt(280, 0), U'k');
          emulator.Feed("\x1b" "7\x1b[1;281H \x1b" "8");
        }
        EXPECT_EQ(emulator.Differences(grid, colours), "");
        EXPECT_LE(terminal.sent.Writes(), bytes.size() / (TerminalScreen::kFrameCapacity / 2) + 1)
            << "whole frames, not a write for each run of cells";
        EXPECT_EQ(emulator.Bells(), grid.Bells());
      }
    }
  }
}

}  // namespace
}  // namespace kovo
