#include "extract/message_list.h"

#include <algorithm>

namespace murvik {

void MessageList::Add(std::string_view text, uint64_t offset, bool sent) {
  entries_.PushBack(Entry{offset, text_.size()});
  text_.Append(text.data(), text.size());
  last_open_ = !sent;
}

void MessageList::Append(const MessageList& other, size_t from) {
  if (from >= other.size()) return;
  const uint64_t skipped = other.entries_[from].begin;
  const uint64_t shift = text_.size();
  text_.Append(other.text_.data() + skipped, other.text_.size() - skipped);
  const size_t n = other.size() - from;
  entries_.Reserve(entries_.size() + n);
  Entry* out = entries_.data() + entries_.size();
  const Entry* in = other.entries_.data() + from;
  for (size_t i = 0; i < n; ++i) out[i] = Entry{in[i].offset, in[i].begin - skipped + shift};
  entries_.Resize(entries_.size() + n);
  last_open_ = other.last_open_;
}

void MessageList::PopBack() {
  text_.Resize(entries_.back().begin);
  entries_.Resize(entries_.size() - 1);
  last_open_ = false;
  if (empty()) text_.Resize(0);
}

void MessageList::Clear() {
  text_.Clear();
  entries_.Clear();
  last_open_ = false;
}

void MessageList::EraseFromLast(uint64_t n) {
  const size_t begin = entries_.back().begin;
  text_.Resize(text_.size() - static_cast<size_t>(std::min<uint64_t>(n, text_.size() - begin)));
}

void MessageList::AppendToLast(std::string_view text) { text_.Append(text.data(), text.size()); }

void MessageList::LowercaseLetters() {
  const std::string_view all = text();
  char* c = text_.data() + (text_.size() - all.size());
  for (char* const end = text_.data() + text_.size(); c != end; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
}

bool operator==(const MessageList& a, const MessageList& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace murvik
