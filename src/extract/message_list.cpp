#include "extract/message_list.h"

#include <algorithm>

namespace murvik {

void MessageList::Add(std::string_view text, uint64_t offset, bool sent) {
  text_ += text;
  entries_.push_back(Entry{offset, text_.size(), sent});
}

void MessageList::Append(const MessageList& other, size_t from) {
  if (from >= other.size()) return;
  const size_t skipped = from == 0 ? 0 : other.entries_[from - 1].end;
  const size_t shift = text_.size();
  text_.append(other.text_, skipped);
  Reserve(other.size() - from, 0);
  for (size_t i = from; i < other.size(); ++i) {
    const Entry& e = other.entries_[i];
    entries_.push_back(Entry{e.offset, e.end - skipped + shift, e.sent});
  }
}

void MessageList::PopBack() {
  entries_.pop_back();
  text_.resize(entries_.empty() ? 0 : entries_.back().end);
}

void MessageList::Clear() {
  text_.clear();
  entries_.clear();
}

void MessageList::Reserve(size_t messages, size_t chars) {
  // Never to just the size asked: a list added to again and again would
  // then be copied each time.
  if (entries_.size() + messages > entries_.capacity())
    entries_.reserve(std::max(entries_.size() + messages, 2 * entries_.capacity()));
  if (text_.size() + chars > text_.capacity()) text_.reserve(std::max(text_.size() + chars, 2 * text_.capacity()));
}

void MessageList::EraseFromLast(uint64_t n) {
  const size_t begin = entries_.size() < 2 ? 0 : entries_[entries_.size() - 2].end;
  entries_.back().end -= static_cast<size_t>(std::min<uint64_t>(n, entries_.back().end - begin));
  text_.resize(entries_.back().end);
}

void MessageList::AppendToLast(std::string_view text) {
  text_ += text;
  entries_.back().end = text_.size();
}

void MessageList::SetLastSent(bool sent) { entries_.back().sent = sent; }

void MessageList::LowercaseLetters() {
  for (char& c : text_)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace murvik
