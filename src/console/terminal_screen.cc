#include "console/terminal_screen.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <cstring>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "console/terminal_sequences.h"
#include "console/text_attribute.h"

namespace kovo {
namespace {

constexpr int kBlockedWriteTimeoutMs = 1000;

bool IsDefaultBackground(std::uint8_t attribute) {
  return BackgroundOf(attribute) == 0 && !HasBrightBackground(attribute);
}

bool NamesUtf8(const char* value) {
  return strcasestr(value, "UTF-8") != nullptr || strcasestr(value, "utf8") != nullptr;
}

}  // namespace

TerminalScreen::TerminalScreen(int fd, ScreenSize size, GlyphEncoding encoding)
    : fd_(fd), encoding_(encoding), shadow_(size.Columns, size.Rows) {}

void TerminalScreen::WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                                std::uint8_t attribute) {
  shadow_.WriteCells(first, bytes, count, attribute);
  std::string out;
  AppendCells(out, first, bytes, count, attribute);
  Send(out);
}

void TerminalScreen::ScrollUp(const CellRect& area, int lines, std::uint8_t fill) {
  shadow_.ScrollUp(area, lines, fill);
  std::string out;
  // A terminal scrolls whole rows; a window narrower than the terminal is
  // redrawn from what this screen knows it shows.
  if (area.Left == 0 && area.Right == Size().Columns - 1) {
    AppendNativeScroll(out, area, lines, fill);
  } else {
    AppendRepaint(out, area);
  }
  Send(out);
}

void TerminalScreen::PlaceCursor(CellPosition cell) {
  std::string out;
  AppendMoveTo(out, cell);
  if (!out.empty()) Send(out);
}

void TerminalScreen::AppendMoveTo(std::string& out, CellPosition cell) {
  if (cursor_known_ && cursor_.Column == cell.Column && cursor_.Row == cell.Row) return;
  out += sequences::CursorTo(cell);
  cursor_known_ = true;
  cursor_ = cell;
}

void TerminalScreen::Bell() { Send(sequences::kBell); }

void TerminalScreen::AppendCells(std::string& out, CellPosition first, const std::uint8_t* bytes,
                                 int count, std::uint8_t attribute) {
  const int visible = std::min(count, Size().Columns - first.Column);
  if (visible <= 0 || first.Row < 0 || first.Row >= Size().Rows) return;
  AppendMoveTo(out, first);
  out += sequences::Rendition(attribute);
  for (int i = 0; i < visible; ++i) AppendGlyph(out, bytes[i], encoding_);
  out += sequences::kResetRendition;
  // After the last column a terminal holds its cursor there, waiting to wrap.
  cursor_.Column = first.Column + visible;
  cursor_known_ = cursor_.Column < Size().Columns;
}

// Line feeds at the bottom of a scroll region over the area's rows, sent in
// the default rendition so the exposed rows are blank in the default
// background on every terminal, whether it erases in the current background
// or not. Exposed rows of another background are then painted with spaces.
void TerminalScreen::AppendNativeScroll(std::string& out, const CellRect& area, int lines,
                                        std::uint8_t fill) {
  const int exposed = std::min(lines, area.Height());
  out += sequences::kResetRendition;
  out += sequences::ScrollRegion(area.Top, area.Bottom);
  out += sequences::CursorTo({area.Left, area.Bottom});
  for (int i = 0; i < exposed; ++i) out += sequences::kLineFeed;
  out += sequences::kResetScrollRegion;  // also homes the cursor on some terminals
  cursor_known_ = false;
  if (IsDefaultBackground(fill)) return;
  const std::string blanks(static_cast<std::size_t>(area.Width()), ' ');
  for (int row = area.Bottom - exposed + 1; row <= area.Bottom; ++row) {
    AppendCells(out, {area.Left, row}, reinterpret_cast<const std::uint8_t*>(blanks.data()),
                area.Width(), fill);
  }
}

void TerminalScreen::AppendRepaint(std::string& out, const CellRect& area) {
  std::uint8_t bytes[kMaxRepaintWidth];
  for (int row = area.Top; row <= area.Bottom; ++row) {
    int column = area.Left;
    while (column <= area.Right) {
      const std::uint8_t attribute = shadow_.At(column, row).Attribute;
      int count = 0;
      while (column + count <= area.Right && count < kMaxRepaintWidth &&
             shadow_.At(column + count, row).Attribute == attribute) {
        bytes[count] = shadow_.At(column + count, row).Byte;
        ++count;
      }
      AppendCells(out, {column, row}, bytes, count, attribute);
      column += count;
    }
  }
}

// Loops over short writes and interruptions; waits a bounded time on a
// terminal left non-blocking; gives up on anything else, since console
// output never fails from the caller's side.
void TerminalScreen::Send(const std::string& out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::write(fd_, out.data() + done, out.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd ready{fd_, POLLOUT, 0};
      if (::poll(&ready, 1, kBlockedWriteTimeoutMs) > 0) continue;
    }
    return;
  }
}

GlyphEncoding EncodingFromLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return NamesUtf8(value) ? GlyphEncoding::Utf8 : GlyphEncoding::Ascii;
    }
  }
  return GlyphEncoding::Ascii;
}

std::unique_ptr<Screen> OpenScreen(int fd) {
  const char* term = std::getenv("TERM");
  winsize size{};
  const bool usable = ::isatty(fd) == 1 && term != nullptr && *term != '\0' &&
                      std::strcmp(term, "dumb") != 0 && ::ioctl(fd, TIOCGWINSZ, &size) == 0 &&
                      size.ws_col > 0 && size.ws_row > 0;
  if (!usable) return nullptr;
  return std::make_unique<TerminalScreen>(fd, ScreenSize{size.ws_col, size.ws_row},
                                          EncodingFromLocale());
}

}  // namespace kovo
