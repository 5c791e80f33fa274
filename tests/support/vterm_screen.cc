#include "support/vterm_screen.h"

#include <vterm.h>

#include "console/cp437_glyphs.h"

namespace kovo::testing {
namespace {

int CountBell(void* bells) { return ++*static_cast<int*>(bells), 1; }
const VTermScreenCallbacks kCallbacks = {nullptr, nullptr, nullptr,  nullptr,
                                         CountBell, nullptr, nullptr, nullptr};

// A palette index 0-15, or -1 for the terminal's default colour.
int ColourIndex(const VTermColor& colour) {
  if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || VTERM_COLOR_IS_DEFAULT_BG(&colour)) return -1;
  return VTERM_COLOR_IS_INDEXED(&colour) ? colour.indexed.idx : -2;
}

// Attribute colours: 1 blue, 2 green, 4 red, 8 bright. ANSI: 1 red, 2 green, 4 blue.
int AnsiIndexOf(int colour) {
  static const int kIndex[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  return kIndex[colour & 15];
}

}  // namespace

EmulatedTerminal::EmulatedTerminal(int columns, int rows)
    : vterm_(vterm_new(rows, columns)), columns_(columns), rows_(rows) {
  vterm_set_utf8(vterm_, 1);
  VTermScreen* screen = vterm_obtain_screen(vterm_);
  vterm_screen_set_callbacks(screen, &kCallbacks, &bells_);
  vterm_screen_reset(screen, 1);
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

std::string EmulatedTerminal::RowText(int row) const {
  std::string text;
  for (int column = 0; column < columns_; ++column) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(vterm_obtain_screen(vterm_), VTermPos{row, column}, &cell);
    AppendUtf8(text, cell.chars[0] == 0 ? U' ' : cell.chars[0]);
  }
  return text;
}

CellPosition EmulatedTerminal::Cursor() const {
  VTermPos position{};
  vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &position);
  return CellPosition{position.col, position.row};
}

std::string EmulatedTerminal::Differences(const MemoryScreen& grid) const {
  std::string out;
  for (int row = 0; row < rows_; ++row) {
    for (int column = 0; column < columns_ && out.size() < 1000; ++column) {
      VTermScreenCell got{};
      vterm_screen_get_cell(vterm_obtain_screen(vterm_), VTermPos{row, column}, &got);
      const Cell& want = grid.At(column, row);
      const char32_t glyph = GlyphOf(want.Byte);
      const int background = (want.Attribute >> 4) & 7;
      // Background 0 is the terminal's own, unless bright.
      const int want_bg = want.Attribute & 0x80 ? AnsiIndexOf(background) + 8
                                                : (background == 0 ? -1 : AnsiIndexOf(background));
      const int want_fg = AnsiIndexOf(want.Attribute & 0x0F);
      const char32_t got_glyph = got.chars[0] == 0 ? U' ' : got.chars[0];
      // A blank cell's foreground shows nothing.
      if (got_glyph == glyph && ColourIndex(got.bg) == want_bg &&
          (glyph == U' ' || ColourIndex(got.fg) == want_fg)) {
        continue;
      }
      out += "(" + std::to_string(column) + "," + std::to_string(row) + ") want " +
             std::to_string(glyph) + " " + std::to_string(want_fg) + "/" + std::to_string(want_bg) +
             " got " + std::to_string(got_glyph) + " " + std::to_string(ColourIndex(got.fg)) +
             "/" + std::to_string(ColourIndex(got.bg)) + "\n";
    }
  }
  const CellPosition cursor = Cursor();
  if (cursor.Column != grid.Cursor().Column || cursor.Row != grid.Cursor().Row) {
    out += "cursor at " + std::to_string(cursor.Column) + "," + std::to_string(cursor.Row);
  }
  return out;
}

}  // namespace kovo::testing
