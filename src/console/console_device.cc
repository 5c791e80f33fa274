#include "console/console_device.h"

#include <algorithm>

namespace kovo {

// Bytes gathered for consecutive cells of one row, written in one screen
// operation when flushed.
class ConsoleDevice::Run {
 public:
  Run(Screen& screen, std::uint8_t attribute) : screen_(screen), attribute_(attribute) {}
  bool Empty() const { return length_ == 0; }
  void Append(std::uint8_t byte, int column, int row) {
    if (Empty()) start_ = CellPosition{column, row};
    bytes_[length_++] = byte;
  }
  void Flush() {
    if (Empty()) return;
    screen_.WriteCells(start_, bytes_, length_, attribute_);
    length_ = 0;
  }

 private:
  Screen& screen_;
  std::uint8_t attribute_;
  CellPosition start_;
  std::uint8_t bytes_[kMaxRunLength] = {};
  int length_ = 0;
};

void ConsoleDevice::StartDevice() {
  const ScreenSize size = screen_.Size();
  active_ = size.Columns > 0 && size.Rows > 0;
  if (!active_) return;
  const int columns = std::min(size.Columns, kMaxWindowColumns);
  const int rows = std::min(size.Rows, kMaxWindowRows);
  const CellPosition cursor = screen_.Cursor();
  cursor_column_ = cursor.Column;
  cursor_row_ = cursor.Row;
  attribute_ = screen_.AttributeAt(cursor);
  window_ = CellRect{0, 0, columns - 1, rows - 1};
}

void ConsoleDevice::ShutdownDevice() {
  if (active_ && cursor_owned_) screen_.PlaceCursor(CursorCell());
  Flush();
}

void ConsoleDevice::Flush() {
  if (active_) screen_.Flush();
}

void ConsoleDevice::ClearScreen() {
  ScrollUp(window_.Height());
  SetCursor(window_.Left, window_.Top);
}

void ConsoleDevice::SetCursor(int column, int row) {
  cursor_column_ = column;
  cursor_row_ = row;
  cursor_owned_ = true;
  if (active_) screen_.PlaceCursor(CursorCell());
}

void ConsoleDevice::ScrollUp(int lines) {
  if (active_ && lines >= 1) screen_.ScrollUp(window_, lines, attribute_);
}

void ConsoleDevice::DeviceWrite(const std::uint8_t* bytes, std::size_t count) {
  if (!active_) return;
  int x = cursor_column_;
  int y = cursor_row_;
  Run run(screen_, attribute_);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t byte = bytes[i];
    switch (byte) {
      case '\n':
        run.Flush();
        if (y < window_.Bottom) {
          ++y;
        } else {
          ScrollUp(1);
        }
        break;
      case '\r':
        run.Flush();
        x = window_.Left;
        break;
      case '\b':
        run.Flush();
        if (x > window_.Left) --x;
        break;
      case '\a':
        Beep();
        break;
      default:
        run.Append(byte, x, y);
        ++x;
        if (x > window_.Right) {
          run.Flush();
          x = window_.Left;
          ++y;
          if (y > window_.Bottom) {
            ScrollUp(1);
            y = window_.Bottom;
          }
        }
    }
  }
  run.Flush();
  SetCursor(x, y);
}

// A device without a console still pauses: the run takes as long either way.
void ConsoleDevice::Pause(std::uint32_t milliseconds) { screen_.Pause(milliseconds); }

void ConsoleDevice::Beep() {
  if (active_) screen_.Bell();
}

}  // namespace kovo
