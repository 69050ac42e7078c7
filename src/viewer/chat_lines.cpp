#include "viewer/chat_lines.h"

#include <algorithm>
#include <array>

namespace murvik {

ChatLines ChatLines::FromText(std::string_view text) {
  ChatLines lines;
  lines.text_.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      lines.text_.push_back(c);
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.text_.push_back('\n');
    lines.starts_.push_back(lines.text_.size());
  }
  return lines;
}

void ChatLines::Append(const std::vector<Message>& messages) {
  for (const Message& m : messages) {
    text_ += m.text;
    if (!m.sent) continue;
    text_.push_back('\n');
    starts_.push_back(text_.size());
  }
}

size_t ChatLines::LineOf(uint64_t pos) const {
  return static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), pos) - starts_.begin()) - 1;
}

std::string ChatLines::Slice(uint64_t begin, uint64_t end, std::string_view line_break) const {
  end = std::min(end, size());
  std::string out;
  if (begin >= end) return out;
  out.reserve(end - begin);
  for (uint64_t at = begin; at < end;) {
    const uint64_t stop = std::min<uint64_t>(end, text_.find('\n', at));
    out.append(text_, at, stop - at);
    if (stop == end) break;
    out += line_break;
    at = stop + 1;
  }
  return out;
}

std::vector<uint64_t> ChatLines::FindAll(std::string_view term) const {
  std::vector<uint64_t> found;
  if (term.empty() || term.size() > text_.size()) return found;
  std::array<unsigned char, 256> fold;
  for (int c = 0; c < 256; ++c) fold[c] = static_cast<unsigned char>(InCase(static_cast<char>(c), LetterCase::kLower));
  std::string folded(term);
  for (char& c : folded) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
  const unsigned char first = static_cast<unsigned char>(folded[0]);
  const char* data = text_.data();
  const uint64_t last = text_.size() - term.size();
  for (uint64_t at = 0; at <= last;) {
    if (fold[static_cast<unsigned char>(data[at])] != first) {
      ++at;
      continue;
    }
    size_t k = 1;
    while (k < folded.size() && fold[static_cast<unsigned char>(data[at + k])] == static_cast<unsigned char>(folded[k]))
      ++k;
    if (k < folded.size()) {
      ++at;
      continue;
    }
    found.push_back(at);
    at += term.size();
  }
  return found;
}

}  // namespace murvik
