#include "chat/caret.h"

#include <algorithm>
#include <limits>

namespace murvik {

bool MovesByRows(Motion motion) {
  return motion == Motion::kPrevRow || motion == Motion::kNextRow || motion == Motion::kPrevPage ||
         motion == Motion::kNextPage;
}

uint64_t MotionTarget(const ChatLines& chat, const RowLayout& layout, Motion motion, uint64_t caret, int64_t x,
                      int64_t page_rows) {
  const uint64_t size = chat.size();
  switch (motion) {
    case Motion::kPrevChar:
      return caret > 0 ? caret - 1 : 0;
    case Motion::kNextChar:
      return std::min(caret + 1, size);
    case Motion::kPrevWord: {
      uint64_t p = caret;
      while (p > 0 && IsBlank(chat.At(p - 1))) --p;
      while (p > 0 && !IsBlank(chat.At(p - 1))) --p;
      return p;
    }
    case Motion::kNextWord: {
      uint64_t p = caret;
      while (p < size && !IsBlank(chat.At(p))) ++p;
      while (p < size && IsBlank(chat.At(p))) ++p;
      return p;
    }
    case Motion::kPrevRow:
    case Motion::kNextRow:
    case Motion::kPrevPage:
    case Motion::kNextPage: {
      const bool down = motion == Motion::kNextRow || motion == Motion::kNextPage;
      const int64_t rows = (motion == Motion::kPrevRow || motion == Motion::kNextRow) ? 1 : page_rows;
      RowPos at = layout.RowOf(caret);
      if (layout.Move(at, down ? rows : -rows) == 0) return down ? size : 0;
      return layout.PositionAtX(at, x);
    }
    case Motion::kRowStart:
      return layout.RowBegin(layout.RowOf(caret));
    case Motion::kRowEnd:
      return layout.PositionAtX(layout.RowOf(caret), std::numeric_limits<int64_t>::max() / 2);
    case Motion::kStart:
      return 0;
    case Motion::kEnd:
      return size;
  }
  return caret;
}

std::pair<uint64_t, uint64_t> WordAt(const ChatLines& chat, uint64_t pos) {
  const bool blank = IsBlank(chat.At(pos));
  uint64_t begin = pos, end = pos;
  while (begin > 0 && IsBlank(chat.At(begin - 1)) == blank) --begin;
  while (end < chat.size() && IsBlank(chat.At(end)) == blank) ++end;
  return {begin, end};
}

RowPos TopShowing(const RowLayout& layout, RowPos top, uint64_t pos, int64_t page_rows) {
  const RowPos row = layout.RowOf(pos);
  if (row < top) return row;
  RowPos bottom = top;
  layout.Move(bottom, page_rows - 1);
  if (row <= bottom) return top;
  RowPos shown = row;
  layout.Move(shown, 1 - page_rows);
  return shown;
}

}  // namespace murvik
