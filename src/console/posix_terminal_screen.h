// A screen drawn on a terminal with ECMA-48 sequences. It keeps a picture of
// what it drew and collects what it draws into a frame, sent in one write(2)
// when the run is about to wait or end, and always ending in the rendition
// reset. After a resize (SIGWINCH) or a resume (SIGCONT) the next frame
// repaints the picture, the cursor's rows in view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "console/cell_grid.h"
#include "console/cp437_glyphs.h"
#include "console/screen.h"

namespace kovo {

// The terminal's size when fd is a terminal with a size and TERM is set and
// not "dumb"; otherwise nothing, and the caller draws on no screen at all.
std::optional<ScreenSize> UsableTerminalSize(int fd);

// False when NO_COLOR is set and not empty: the user wants the screen's
// cells without their colours.
bool ColoursWanted();

class TerminalScreen final : public Screen {
 public:
  static constexpr std::size_t kFrameCapacity = 4096;

  // Takes no memory beyond the object itself: the picture and the frame
  // live inside it. Watches for resizes and resumes until destroyed.
  TerminalScreen(int fd, ScreenSize terminal_size, GlyphEncoding encoding, bool colours = true);
  ~TerminalScreen() override;
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

  ScreenSize Size() const override { return terminal_; }
  // A terminal cannot tell its cursor or a cell's colours without being read
  // from; the device starts at the top-left in light grey on black, the
  // black shown as the terminal's own background.
  CellPosition Cursor() const override { return {}; }
  std::uint8_t AttributeAt(CellPosition) const override { return kDefaultAttribute; }
  void WriteCells(CellPosition first, const std::uint8_t* bytes, int count,
                  std::uint8_t attribute) override;
  void ScrollUp(const CellRect& area, int lines, std::uint8_t fill) override;
  void PlaceCursor(CellPosition cell) override;
  void Bell() override;
  void Flush() override;

 private:
  static constexpr int kDefaultRendition = -1;

  // The frame.
  void Append(std::string_view bytes);
  // Makes room for size more bytes (and the closing reset), sending the
  // frame so far when there is none; true when it did.
  bool Reserve(std::size_t size);
  void EndFrameAndSend();

  // Drawing into the frame, in the terminal's rows (picture row less the
  // offset of the view).
  void AppendRendition(std::uint8_t attribute);
  void AppendDefaultRendition();
  void AppendMoveTo(CellPosition terminal_cell);
  void AppendCells(CellPosition first, const std::uint8_t* bytes, int count,
                   std::uint8_t attribute);
  void AppendPictureRow(int row, int left, int right, bool skip_blanks);
  void AppendNativeScroll(const CellRect& area, int exposed, std::uint8_t fill);
  void AppendPendingCursor();
  // Brings a picture row below the terminal's last row into view.
  void BringIntoView(int picture_row);
  // After a resize or a resume: the terminal's contents are unknown.
  void Repaint();

  int VisibleColumns() const;

  int fd_;
  GlyphEncoding encoding_;
  bool colours_;  // false: every cell in the terminal's default rendition
  ScreenSize terminal_;  // the terminal's size as last read
  CellGrid picture_;  // the device's window, as drawn
  int row_offset_ = 0;  // picture row shown on the terminal's first row
  CellPosition picture_cursor_;  // where the visible cursor was last placed
  bool cursor_pending_ = false;  // and it is yet to be moved there

  char frame_[kFrameCapacity];
  std::size_t frame_length_ = 0;
  int bells_in_frame_ = 0;
  int rendition_ = kDefaultRendition;  // the terminal's, within the frame
  bool cursor_known_ = false;
  CellPosition cursor_;  // the terminal's cursor, when known
  bool start_up_sent_ = false;
};

struct TerminalScreenRelease {
  void operator()(TerminalScreen* screen) const;
};
using TerminalScreenPtr = std::unique_ptr<TerminalScreen, TerminalScreenRelease>;

// A terminal screen in memory taken with malloc, which reports exhaustion
// as nothing rather than with an exception (an exception needs memory of its
// own): nothing when memory has run out.
TerminalScreenPtr OpenTerminalScreen(int fd, ScreenSize terminal_size, GlyphEncoding encoding, bool colours);

}  // namespace kovo
