// A terminal emulator (libvterm) fed with what a program wrote, read back
// to compare with a memory grid or with expected rows.
#pragma once

#include <iconv.h>
#include <string>
#include <string_view>
#include <vterm.h>

#include "console/cp437_glyphs.h"
#include "support/memory_screen.h"

namespace kovo::testing {

// The glyph of a code page 437 byte, from sources other than the program:
// the C library's own CP437 table and, where that keeps a control byte, the
// code page's chart (byte 0 shows blank).
inline char32_t Cp437Glyph(unsigned char byte) {
  if (byte == 0x7F) return U'\u2302';
  if (byte < 0x20) return U" ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼"[byte];
  static const iconv_t from_cp437 = iconv_open("UTF-32LE", "CP437");
  char in = static_cast<char>(byte);
  char32_t out = 0;
  char* in_at = &in;
  char* out_at = reinterpret_cast<char*>(&out);
  std::size_t in_left = 1;
  std::size_t out_left = sizeof out;
  iconv(from_cp437, &in_at, &in_left, &out_at, &out_left);
  return out;
}

class EmulatedTerminal {
 public:
  EmulatedTerminal(int columns, int rows) : vterm_(vterm_new(rows, columns)), columns_(columns), rows_(rows) {
    static const VTermScreenCallbacks callbacks = {nullptr, nullptr, nullptr, nullptr,
                                                   CountBell, nullptr, nullptr, nullptr};
    vterm_set_utf8(vterm_, 1);
    vterm_screen_set_callbacks(Screen(), &callbacks, &bells_);
    vterm_screen_reset(Screen(), 1);
  }
  ~EmulatedTerminal() { vterm_free(vterm_); }
  EmulatedTerminal(const EmulatedTerminal&) = delete;
  EmulatedTerminal& operator=(const EmulatedTerminal&) = delete;

  void Feed(std::string_view bytes) { vterm_input_write(vterm_, bytes.data(), bytes.size()); }
  void Resize(int columns, int rows) {  // as a terminal window is resized
    vterm_set_size(vterm_, rows, columns);
    columns_ = columns;
    rows_ = rows;
  }
  std::string RowText(int row) const {  // glyphs as UTF-8
    std::string text;
    char glyph[kMaxGlyphBytes];
    for (int column = 0; column < columns_; ++column)
      text.append(glyph, EncodeUtf8(GlyphAt(column, row), glyph));
    return text;
  }
  CellPosition Cursor() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &position);
    return CellPosition{position.col, position.row};
  }
  int Bells() const { return bells_; }
  char32_t GlyphAt(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(Screen(), VTermPos{row, column}, &cell);
    return cell.chars[0] == 0 ? U' ' : cell.chars[0];
  }

  // The cells (glyph, colours as the terminal shows the grid's attributes,
  // or the terminal's own without colours) that differ from the grid's, and
  // the cursor; empty when all agree. Past the grid's cells, blanks.
  std::string Differences(const MemoryScreen& grid, bool colours = true) const {
    std::string out;
    for (int row = 0; row < rows_; ++row) {
      for (int column = 0; column < columns_ && out.size() < 1000; ++column) {
        const Cell want = grid.Held(column, row) ? grid.At(column, row) : Cell{};
        const int want_fg = colours ? AnsiIndexOf(want.Attribute & 0x0F) : -1;
        const int background = colours ? BackgroundOf(want.Attribute) : 0;
        const int want_bg = background == 0 ? -1 : AnsiIndexOf(background);
        VTermScreenCell got{};
        vterm_screen_get_cell(Screen(), VTermPos{row, column}, &got);
        const char32_t glyph = GlyphAt(column, row);
        // A blank cell's foreground shows nothing.
        if (glyph == Cp437Glyph(want.Byte) && ColourIndex(got.bg) == want_bg &&
            (glyph == U' ' || ColourIndex(got.fg) == want_fg))
          continue;
        out += "(" + std::to_string(column) + "," + std::to_string(row) + ") want " + std::to_string(want_fg) +
               "/" + std::to_string(want_bg) + " U+" + std::to_string(Cp437Glyph(want.Byte)) + "\n";
      }
    }
    if (Cursor().Column != grid.Cursor().Column || Cursor().Row != grid.Cursor().Row)
      out += "cursor at " + std::to_string(Cursor().Column) + "," + std::to_string(Cursor().Row);
    return out;
  }

 private:
  static int CountBell(void* bells) {
    ++*static_cast<int*>(bells);
    return 1;
  }
  // A palette index 0-15, or -1 for the terminal's default colour.
  static int ColourIndex(const VTermColor& colour) {
    if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || VTERM_COLOR_IS_DEFAULT_BG(&colour)) return -1;
    return VTERM_COLOR_IS_INDEXED(&colour) ? colour.indexed.idx : -2;
  }
  // Attribute colours: 1 blue, 2 green, 4 red, 8 bright. ANSI: 1 red, 2 green, 4 blue.
  static int AnsiIndexOf(int colour) {
    static const int kIndex[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
    return kIndex[colour & 15];
  }
  VTermScreen* Screen() const { return vterm_obtain_screen(vterm_); }

  VTerm* vterm_;
  int columns_;
  int rows_;
  int bells_ = 0;
};

}  // namespace kovo::testing
