#include "console/posix_terminal_screen.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/ioctl.h>
#include <unistd.h>

#include "console/posix_write.h"
#include "console/terminal_sequences.h"
#include "console/text_attribute.h"

namespace kovo {
namespace {


// Set by the handlers, taken by the next frame. Only the console device
// keeps state of its own beyond a run's objects, and this is it.
volatile std::sig_atomic_t resized_flag = 0;
volatile std::sig_atomic_t continued_flag = 0;
struct sigaction previous_winch_action {};
struct sigaction previous_cont_action {};

extern "C" void NoteResize(int) { resized_flag = 1; }
extern "C" void NoteContinue(int) { continued_flag = 1; }

void Watch(int signal_number, void (*handler)(int), struct sigaction* previous) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal_number, &action, previous);
}

bool IsDefaultBackground(std::uint8_t attribute) {
  return BackgroundOf(attribute) == 0;
}

}  // namespace

std::optional<ScreenSize> UsableTerminalSize(int fd) {
  const char* term = std::getenv("TERM");
  winsize size{};
  const bool usable = ::isatty(fd) == 1 && term != nullptr && *term != '\0' &&
                      std::strcmp(term, "dumb") != 0 && ::ioctl(fd, TIOCGWINSZ, &size) == 0 &&
                      size.ws_col > 0 && size.ws_row > 0;
  if (!usable) return std::nullopt;
  return ScreenSize{size.ws_col, size.ws_row};
}

bool ColoursWanted() {
  const char* no_colour = std::getenv("NO_COLOR");
  return no_colour == nullptr || *no_colour == '\0';
}

TerminalScreen::TerminalScreen(int fd, ScreenSize terminal_size, GlyphEncoding encoding, bool colours)
    : fd_(fd),
      encoding_(encoding),
      colours_(colours),
      terminal_(terminal_size),
      picture_(terminal_size) {
  resized_flag = 0;
  continued_flag = 0;
  Watch(SIGWINCH, NoteResize, &previous_winch_action);
  Watch(SIGCONT, NoteContinue, &previous_cont_action);
  // A terminal left in another character set would show letters as
  // line-drawing glyphs.
  Append(sequences::kAsciiCharacterSet);
}

TerminalScreen::~TerminalScreen() {
  Flush();
  ::sigaction(SIGWINCH, &previous_winch_action, nullptr);
  ::sigaction(SIGCONT, &previous_cont_action, nullptr);
}

void TerminalScreen::WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                                std::uint8_t attribute) {
  picture_.Write(first, bytes, count, attribute);
  if (first.Row < row_offset_) return;  // scrolled out of view
  BringIntoView(first.Row);
  AppendCells({first.Column, first.Row - row_offset_}, bytes, count, attribute);
}

void TerminalScreen::ScrollUp(const CellRect& area, int lines, std::uint8_t fill) {
  const int exposed = std::min(lines, area.Height());
  picture_.ScrollUp(area, exposed, fill);
  // A terminal scrolls whole rows; an area narrower than the terminal, or
  // not wholly in view, is redrawn from the picture.
  const bool whole_rows_in_view = row_offset_ == 0 && area.Bottom < terminal_.Rows &&
                                  area.Left == 0 && area.Right == terminal_.Columns - 1;
  if (whole_rows_in_view) {
    AppendNativeScroll(area, exposed, fill);
    return;
  }
  const int right = std::min(area.Right, VisibleColumns() - 1);
  for (int row = std::max(area.Top, row_offset_);
       row <= area.Bottom && row - row_offset_ < terminal_.Rows; ++row) {
    AppendPictureRow(row, area.Left, right, false);
  }
}

// The visible cursor is moved once, at the end of the frame.
void TerminalScreen::PlaceCursor(CellPosition cell) {
  picture_cursor_ = cell;
  cursor_pending_ = true;
}

void TerminalScreen::AppendPendingCursor() {
  if (!cursor_pending_) return;
  cursor_pending_ = false;
  const CellPosition cell = picture_cursor_;
  if (cell.Row < row_offset_) return;
  BringIntoView(cell.Row);
  AppendMoveTo({std::min(cell.Column, std::max(terminal_.Columns - 1, 0)), cell.Row - row_offset_});
}

void TerminalScreen::Bell() {
  Append(sequences::kBell);
  ++bells_in_frame_;
}

void TerminalScreen::Flush() {
  if (resized_flag != 0 || continued_flag != 0) {
    resized_flag = 0;
    continued_flag = 0;
    Repaint();
  }
  AppendPendingCursor();
  if (frame_length_ > 0) EndFrameAndSend();
}

void TerminalScreen::Append(std::string_view bytes) {
  Reserve(bytes.size());
  std::memcpy(frame_ + frame_length_, bytes.data(), bytes.size());
  frame_length_ += bytes.size();
}

bool TerminalScreen::Reserve(std::size_t size) {
  if (frame_length_ + size + sequences::kResetRendition.size() <= kFrameCapacity) return false;
  EndFrameAndSend();
  return true;
}

void TerminalScreen::EndFrameAndSend() {
  if (rendition_ != kDefaultRendition) {
    std::memcpy(frame_ + frame_length_, sequences::kResetRendition.data(),
                sequences::kResetRendition.size());
    frame_length_ += sequences::kResetRendition.size();
    rendition_ = kDefaultRendition;
  }
  WriteAll(fd_, frame_, frame_length_);
  frame_length_ = 0;
  bells_in_frame_ = 0;
  start_up_sent_ = true;
}

void TerminalScreen::AppendRendition(std::uint8_t attribute) {
  if (rendition_ == attribute || !colours_) return;
  Append(sequences::Rendition(attribute).View());
  rendition_ = attribute;
}

void TerminalScreen::AppendDefaultRendition() {
  if (rendition_ == kDefaultRendition) return;
  Append(sequences::kResetRendition);
  rendition_ = kDefaultRendition;
}

void TerminalScreen::AppendMoveTo(CellPosition terminal_cell) {
  if (cursor_known_ && cursor_.Column == terminal_cell.Column && cursor_.Row == terminal_cell.Row)
    return;
  Append(sequences::CursorTo(terminal_cell).View());
  cursor_known_ = true;
  cursor_ = terminal_cell;
}

void TerminalScreen::AppendCells(CellPosition first, const std::uint8_t* bytes, int count,
                                 std::uint8_t attribute) {
  const int visible = std::min(count, VisibleColumns() - first.Column);
  if (visible <= 0 || first.Row < 0 || first.Row >= terminal_.Rows) return;
  AppendMoveTo(first);
  AppendRendition(attribute);
  for (int i = 0; i < visible; ++i) {
    // A frame sent to make room ends in the reset; the cells go on in theirs.
    if (Reserve(kMaxGlyphBytes)) AppendRendition(attribute);
    frame_length_ += EncodeGlyph(bytes[i], encoding_, frame_ + frame_length_);
  }
  // After the last column a terminal holds its cursor there, waiting to wrap.
  cursor_.Column = first.Column + visible;
  cursor_known_ = cursor_.Column < terminal_.Columns;
}

// Cells left..right of a picture row, in runs of one attribute. After a
// clear, blanks in the default background are already there.
void TerminalScreen::AppendPictureRow(int row, int left, int right, bool skip_blanks) {
  std::uint8_t bytes[kMaxWindowColumns];
  int column = left;
  while (column <= right) {
    const Cell& start = picture_.At(column, row);
    if (skip_blanks && start.Byte == ' ' && IsDefaultBackground(start.Attribute)) {
      ++column;
      continue;
    }
    int count = 0;
    while (column + count <= right && picture_.At(column + count, row).Attribute == start.Attribute) {
      bytes[count] = picture_.At(column + count, row).Byte;
      ++count;
    }
    AppendCells({column, row - row_offset_}, bytes, count, start.Attribute);
    column += count;
  }
}

// Line feeds at the bottom of a scroll region over the area's rows, sent in
// the default rendition so the exposed rows are blank in the default
// background on every terminal, whether it erases in the current background
// or not. Exposed rows of another background are then painted with spaces.
void TerminalScreen::AppendNativeScroll(const CellRect& area, int exposed, std::uint8_t fill) {
  AppendDefaultRendition();
  Append(sequences::ScrollRegion(area.Top, area.Bottom).View());
  Append(sequences::CursorTo({area.Left, area.Bottom}).View());
  for (int i = 0; i < exposed; ++i) Append(sequences::kLineFeed);
  Append(sequences::kResetScrollRegion);  // also homes the cursor on some terminals
  cursor_known_ = false;
  if (IsDefaultBackground(fill)) return;
  for (int row = area.Bottom - exposed + 1; row <= area.Bottom; ++row) {
    AppendPictureRow(row, area.Left, std::min(area.Right, VisibleColumns() - 1), false);
  }
}

void TerminalScreen::BringIntoView(int picture_row) {
  const int below = picture_row - row_offset_ - (terminal_.Rows - 1);
  if (below <= 0) return;
  AppendDefaultRendition();
  Append(sequences::CursorTo({0, terminal_.Rows - 1}).View());
  for (int i = 0; i < below; ++i) Append(sequences::kLineFeed);
  row_offset_ += below;
  cursor_known_ = false;
}

void TerminalScreen::Repaint() {
  const int bells = bells_in_frame_;
  frame_length_ = 0;
  bells_in_frame_ = 0;
  rendition_ = kDefaultRendition;
  cursor_known_ = false;
  winsize size{};
  if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0)
    terminal_ = ScreenSize{size.ws_col, size.ws_row};
  if (!start_up_sent_) Append(sequences::kAsciiCharacterSet);
  Append(sequences::kResetRendition);
  Append(sequences::kResetScrollRegion);
  Append(sequences::kClearScreen);
  // The rows that hold the cursor and those just above it.
  row_offset_ = std::max(0, picture_cursor_.Row + 1 - terminal_.Rows);
  const int last = std::min(picture_.Size().Rows, row_offset_ + terminal_.Rows) - 1;
  for (int row = row_offset_; row <= last; ++row) {
    AppendPictureRow(row, 0, VisibleColumns() - 1, true);
  }
  for (int i = 0; i < bells; ++i) Bell();
  cursor_pending_ = true;
}

void TerminalScreenRelease::operator()(TerminalScreen* screen) const {
  screen->~TerminalScreen();
  std::free(screen);
}

TerminalScreenPtr OpenTerminalScreen(int fd, ScreenSize terminal_size, GlyphEncoding encoding, bool colours) {
  void* memory = std::malloc(sizeof(TerminalScreen));
  if (memory == nullptr) return nullptr;
  return TerminalScreenPtr(new (memory) TerminalScreen(fd, terminal_size, encoding, colours));
}

int TerminalScreen::VisibleColumns() const { return std::min(picture_.Size().Columns, terminal_.Columns); }

}  // namespace kovo
