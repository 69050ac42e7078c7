// How the caret moves over a chat laid out in rows, the word at a place and
// the scrolling that brings a place into view: what the window's chat view
// and the page's worker both do with their keys and clicks.
#ifndef MURVIK_CHAT_CARET_H_
#define MURVIK_CHAT_CARET_H_

#include <cstdint>
#include <utility>

#include "chat/chat_lines.h"
#include "chat/row_layout.h"

namespace murvik {

enum class Motion {
  kPrevChar,
  kNextChar,
  kPrevWord,
  kNextWord,
  kPrevRow,
  kNextRow,
  kRowStart,
  kRowEnd,
  kPrevPage,
  kNextPage,
  kStart,
  kEnd,
};

// Words are parted by spaces and line breaks.
inline bool IsBlank(char c) { return c == ' ' || c == '\n'; }

// Whether `motion` goes by rows, keeping the caret's x.
bool MovesByRows(Motion motion);

// Where `motion` takes a caret at `caret` in `chat`, laid out by `layout`;
// a move by rows keeps the caret at `x` (1/64 pixel), and a page has
// `page_rows` rows.
uint64_t MotionTarget(const ChatLines& chat, const RowLayout& layout, Motion motion, uint64_t caret, int64_t x,
                      int64_t page_rows);

// The word at `pos` (< the chat's size), or the run of blanks there, as
// [first, second).
std::pair<uint64_t, uint64_t> WordAt(const ChatLines& chat, uint64_t pos);

// The top row, nearest to `top`, of a page of `page_rows` rows that shows
// position `pos`.
RowPos TopShowing(const RowLayout& layout, RowPos top, uint64_t pos, int64_t page_rows);

}  // namespace murvik

#endif  // MURVIK_CHAT_CARET_H_
