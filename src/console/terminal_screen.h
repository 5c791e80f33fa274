// A screen drawn on a terminal with ECMA-48 sequences. Every operation goes
// out in one write(2); every run of cells ends with the rendition reset so
// nothing it leaves behind colours what is written after it.
#pragma once

#include <memory>
#include <string>

#include "console/cp437_glyphs.h"
#include "console/memory_screen.h"
#include "console/screen.h"

namespace kovo {

class TerminalScreen final : public Screen {
 public:
  TerminalScreen(int fd, ScreenSize size, GlyphEncoding encoding);

  ScreenSize Size() const override { return shadow_.Size(); }
  // A terminal cannot tell its cursor or a cell's colours without being read
  // from; the device starts at the top-left in light grey on black, the
  // black shown as the terminal's own background.
  CellPosition Cursor() const override { return {}; }
  std::uint8_t AttributeAt(CellPosition) const override { return kStartAttribute; }
  void WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                  std::uint8_t attribute) override;
  void ScrollUp(const CellRect& area, int lines, std::uint8_t fill) override;
  void PlaceCursor(CellPosition cell) override;
  void Bell() override;

 private:
  static constexpr std::uint8_t kStartAttribute = 7;
  static constexpr int kMaxRepaintWidth = 256;

  void AppendCells(std::string& out, CellPosition first, const std::uint8_t* bytes, int count,
                   std::uint8_t attribute);
  void AppendNativeScroll(std::string& out, const CellRect& area, int lines, std::uint8_t fill);
  void AppendRepaint(std::string& out, const CellRect& area);
  void Send(const std::string& out) const;
  // Moves the terminal's cursor unless it is known to stand there already.
  void AppendMoveTo(std::string& out, CellPosition cell);

  int fd_;
  GlyphEncoding encoding_;
  // What the terminal shows, as far as this screen drew it.
  MemoryScreen shadow_;
  // Where the terminal's cursor stands, when that is certain.
  bool cursor_known_ = false;
  CellPosition cursor_;
};

// The screen for a descriptor: the terminal when it is a terminal with a
// size and TERM is set and not "dumb"; otherwise nothing, and the caller
// draws on no screen at all.
std::unique_ptr<Screen> OpenScreen(int fd);

// UTF-8 when the locale's variables (LC_ALL, LC_CTYPE, LANG, first one set)
// name it, else ASCII.
GlyphEncoding EncodingFromLocale();

}  // namespace kovo
