#include "chat/row_layout.h"

#include <algorithm>
#include <string_view>

namespace murvik {

namespace {

constexpr uint32_t kOneRow[] = {0};

const ChatLines& NoChat() {
  static const ChatLines none;
  return none;
}

}  // namespace

RowLayout::RowLayout() : chat_(&NoChat()) {}

void RowLayout::SetChat(const ChatLines& chat) {
  chat_ = &chat;
  wraps_.clear();
}

void RowLayout::SetAdvances(const Advances& advance) {
  advance_ = advance;
  widest_ = 1;
  for (int c = ' '; c < 127; ++c) widest_ = std::max(widest_, advance_[c]);
  wraps_.clear();
}

bool RowLayout::SetWidth(int64_t width) {
  if (width == width_) return false;
  width_ = width;
  wraps_.clear();
  return true;
}

void RowLayout::Trim() {
  if (wraps_.size() > kMostWrapsKept) wraps_.clear();
}

std::span<const uint32_t> RowLayout::RowStarts(size_t line) const {
  const std::string_view text = chat_->Line(line);
  if (int64_t(text.size()) * widest_ <= width_) return kOneRow;
  auto it = wraps_.find(line);
  if (it == wraps_.end()) it = wraps_.emplace(line, WrapRows(text, advance_, width_)).first;
  return it->second;
}

RowPos RowLayout::RowOf(uint64_t pos) const {
  const size_t line = chat_->LineOf(pos);
  const std::span<const uint32_t> rows = RowStarts(line);
  const uint64_t column = pos - chat_->LineStart(line);
  return {line, size_t(std::upper_bound(rows.begin(), rows.end(), column) - rows.begin()) - 1};
}

RowPos RowLayout::LastRow() const {
  const size_t line = chat_->line_count() - 1;
  return {line, RowStarts(line).size() - 1};
}

RowPos RowLayout::Clamped(RowPos at) const { return {at.line, std::min(at.row, RowStarts(at.line).size() - 1)}; }

int64_t RowLayout::Move(RowPos& at, int64_t rows) const {
  int64_t moved = 0;
  while (rows > 0) {
    const size_t count = RowStarts(at.line).size();
    if (at.row + rows < count) {
      at.row += rows;
      return moved + rows;
    }
    if (at.line + 1 >= chat_->line_count()) {
      moved += count - 1 - at.row;
      at.row = count - 1;
      return moved;
    }
    moved += count - at.row;
    rows -= count - at.row;
    at = {at.line + 1, 0};
  }
  while (rows < 0) {
    if (int64_t(at.row) >= -rows) {
      at.row -= -rows;
      return moved + rows;
    }
    if (at.line == 0) {
      moved -= at.row;
      at.row = 0;
      return moved;
    }
    moved -= at.row + 1;
    rows += at.row + 1;
    at.line -= 1;
    at.row = RowStarts(at.line).size() - 1;
  }
  return moved;
}

RowPos RowLayout::LastTop(int64_t page_rows) const {
  RowPos top = LastRow();
  Move(top, 1 - page_rows);
  return top;
}

uint64_t RowLayout::RowBegin(RowPos at) const { return chat_->LineStart(at.line) + RowStarts(at.line)[at.row]; }

uint64_t RowLayout::RowEnd(RowPos at) const {
  const std::span<const uint32_t> rows = RowStarts(at.line);
  return at.row + 1 < rows.size() ? chat_->LineStart(at.line) + rows[at.row + 1] : chat_->LineEnd(at.line);
}

int64_t RowLayout::XOf(RowPos at, uint64_t pos) const {
  int64_t x = 0;
  const uint64_t begin = RowBegin(at);
  const std::string_view line = chat_->Line(at.line);
  const uint64_t line_start = chat_->LineStart(at.line);
  for (uint64_t p = begin; p < pos && p - line_start < line.size(); ++p)
    x += advance_[static_cast<unsigned char>(line[p - line_start])];
  return x;
}

uint64_t RowLayout::PositionAtX(RowPos at, int64_t x) const {
  const uint64_t begin = RowBegin(at), end = RowEnd(at);
  const std::string_view line = chat_->Line(at.line);
  const uint64_t line_start = chat_->LineStart(at.line);
  int64_t left = 0;
  for (uint64_t p = begin; p < end; ++p) {
    const int32_t width = advance_[static_cast<unsigned char>(line[p - line_start])];
    if (x < left + width / 2) return p;
    left += width;
  }
  const bool wrapped = end < chat_->LineEnd(at.line);
  return wrapped && end > begin && line[end - 1 - line_start] == ' ' ? end - 1 : end;
}

}  // namespace murvik
