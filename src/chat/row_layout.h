// The chat laid out in rows at a width: which row holds a position, moving
// by rows and pages, and where a position stands within its row. Plain
// arithmetic over the characters' advances, so that the view only paints
// and takes input, and tests check the layout without a font.
#ifndef MURVIK_CHAT_ROW_LAYOUT_H_
#define MURVIK_CHAT_ROW_LAYOUT_H_

#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "chat/chat_lines.h"
#include "chat/text_rows.h"

namespace murvik {

// A row of the chat: row `row` of line `line`, once wrapped.
struct RowPos {
  size_t line = 0;
  size_t row = 0;
  friend auto operator<=>(const RowPos&, const RowPos&) = default;
};

// Positions are the chat's (ChatLines): a line's break stands at its end,
// on its last row. A line is wrapped only when it may be wider than a row,
// the first time its rows are asked for, and its rows are kept until the
// chat, the advances or the width change (or Trim forgets them), so that
// showing a page of a chat of millions of lines wraps only that page.
class RowLayout {
 public:
  // Wrapped lines kept before Trim forgets them all.
  static constexpr size_t kMostWrapsKept = 20000;

  RowLayout();

  // Lays out `chat`, which must outlive its use here.
  void SetChat(const ChatLines& chat);
  // Each character's width, in 1/64 pixel.
  void SetAdvances(const Advances& advance);
  const Advances& advances() const { return advance_; }
  // The width rows wrap at, in 1/64 pixel; whether it changed.
  bool SetWidth(int64_t width);
  int64_t width() const { return width_; }
  // Forgets the wrapped lines when more than kMostWrapsKept are kept.
  void Trim();

  // Where line `line`'s rows start, relative to the line; the first is 0.
  std::span<const uint32_t> RowStarts(size_t line) const;
  // The row that holds position `pos` (<= the chat's size).
  RowPos RowOf(uint64_t pos) const;
  RowPos LastRow() const;
  // `at`, or its line's last row when the line has fewer rows now.
  RowPos Clamped(RowPos at) const;
  // Moves `at` by `rows` rows (up when negative), stopping at the first or
  // the last row; returns the rows moved.
  int64_t Move(RowPos& at, int64_t rows) const;
  // The top row of a page of `page_rows` rows that ends with the last row.
  RowPos LastTop(int64_t page_rows) const;
  // Where row `at` starts, and where it ends: the next row's start, or its
  // line's end (its break).
  uint64_t RowBegin(RowPos at) const;
  uint64_t RowEnd(RowPos at) const;
  // How far from row `at`'s left edge position `pos` stands, in 1/64 pixel:
  // the width of the row's characters before it.
  int64_t XOf(RowPos at, uint64_t pos) const;
  // The position in row `at` nearest to `x` (1/64 pixel from its left):
  // before the character whose middle is right of `x`; past its end, the
  // row's end, or before the space that ends a wrapped row, so that it
  // stays on that row.
  uint64_t PositionAtX(RowPos at, int64_t x) const;

 private:
  const ChatLines* chat_;
  Advances advance_{};
  int32_t widest_ = 1;  // the widest printable character's advance
  int64_t width_ = 64;
  mutable std::unordered_map<size_t, std::vector<uint32_t>> wraps_;  // wrapped lines of more than one row
};

}  // namespace murvik

#endif  // MURVIK_CHAT_ROW_LAYOUT_H_
