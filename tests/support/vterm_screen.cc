#include "support/vterm_screen.h"

#include <sstream>
#include <vterm.h>

#include "console/cp437_glyphs.h"

namespace kovo::testing {
namespace {

int BellCallback(void* user) {
  ++*static_cast<int*>(user);
  return 1;
}

int ColourIndex(const VTermColor& colour) {
  if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || VTERM_COLOR_IS_DEFAULT_BG(&colour)) return -1;
  if (VTERM_COLOR_IS_INDEXED(&colour)) return colour.indexed.idx;
  return -2;  // an RGB colour: never sent
}

const VTermScreenCallbacks kCallbacks = {
    nullptr, nullptr, nullptr, nullptr, BellCallback, nullptr, nullptr, nullptr};

}  // namespace

EmulatedTerminal::EmulatedTerminal(int columns, int rows)
    : vterm_(vterm_new(rows, columns)), columns_(columns), rows_(rows) {
  vterm_set_utf8(vterm_, 1);
  screen_ = vterm_obtain_screen(vterm_);
  vterm_screen_set_callbacks(screen_, &kCallbacks, &bells_);
  vterm_screen_reset(screen_, 1);
}

EmulatedTerminal::~EmulatedTerminal() { vterm_free(vterm_); }

void EmulatedTerminal::Feed(std::string_view bytes) {
  vterm_input_write(vterm_, bytes.data(), bytes.size());
}

void EmulatedTerminal::Resize(int columns, int rows) {
  vterm_set_size(vterm_, rows, columns);
  columns_ = columns;
  rows_ = rows;
}

EmulatedCell EmulatedTerminal::At(int column, int row) const {
  VTermScreenCell cell{};
  vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
  EmulatedCell result;
  result.Glyph = cell.chars[0] == 0 ? U' ' : cell.chars[0];
  result.Foreground = ColourIndex(cell.fg);
  result.Background = ColourIndex(cell.bg);
  return result;
}

CellPosition EmulatedTerminal::Cursor() const {
  VTermPos position{};
  vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &position);
  return CellPosition{position.col, position.row};
}

std::string EmulatedTerminal::RowText(int row) const {
  std::string text;
  for (int column = 0; column < columns_; ++column) AppendUtf8(text, At(column, row).Glyph);
  return text;
}

namespace {

// The palette index a terminal shows for an attribute colour number 0-15.
int AnsiIndexOf(int attribute_colour) {
  // Attribute colours: 1 blue, 2 green, 4 red, 8 bright. ANSI: 1 red, 2 green, 4 blue.
  static const int kIndex[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  return kIndex[attribute_colour & 15];
}

// What a terminal should show for a memory cell: the glyph, the foreground,
// and the background with background 0 as the terminal's default.
EmulatedCell ExpectedCell(const Cell& cell) {
  EmulatedCell expected;
  expected.Glyph = GlyphOf(cell.Byte);
  expected.Foreground = AnsiIndexOf(cell.Attribute & 0x0F);
  const int background = (cell.Attribute >> 4) & 7;
  const bool bright = (cell.Attribute & 0x80) != 0;
  expected.Background = bright ? AnsiIndexOf(background) + 8 : (background == 0 ? -1 : AnsiIndexOf(background));
  return expected;
}

}  // namespace

std::string DescribeDifferences(const EmulatedTerminal& terminal, const MemoryScreen& grid,
                                const CellRect& area) {
  std::ostringstream out;
  int reported = 0;
  for (int row = area.Top; row <= area.Bottom; ++row) {
    for (int column = area.Left; column <= area.Right; ++column) {
      const EmulatedCell want = ExpectedCell(grid.At(column, row));
      const EmulatedCell got = terminal.At(column, row);
      const bool blank = want.Glyph == U' ';
      if (got.Glyph == want.Glyph && got.Background == want.Background &&
          (blank || got.Foreground == want.Foreground)) {
        continue;
      }
      if (++reported > 12) continue;
      out << "(" << column << "," << row << "): want U+" << std::hex
          << static_cast<unsigned>(want.Glyph) << " fg " << std::dec << want.Foreground << " bg "
          << want.Background << ", got U+" << std::hex << static_cast<unsigned>(got.Glyph)
          << " fg " << std::dec << got.Foreground << " bg " << got.Background << "\n";
    }
  }
  if (reported > 12) out << "... " << reported << " cells differ\n";
  return out.str();
}

}  // namespace kovo::testing
