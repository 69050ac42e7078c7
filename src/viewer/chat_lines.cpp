#include "viewer/chat_lines.h"

#include <algorithm>
#include <cstring>

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

void ChatLines::Append(const MessageList& messages) {
  for (const Message m : messages) {
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
  std::string folded(term);
  for (char& c : folded) c = InCase(c, LetterCase::kLower);
  const char* data = text_.data();
  const auto matches_at = [&](uint64_t at) {
    for (size_t k = 0; k < folded.size(); ++k)
      if (InCase(data[at + k], LetterCase::kLower) != folded[k]) return false;
    return true;
  };
  // Eight places are ruled out at a time where none holds the term's first
  // character in either case: a letter's two cases differ only in bit 5, so
  // with that bit set in every byte, a byte equal to the lower case is one of
  // the two. (A byte of x is zero exactly where the test's high bit is set.)
  constexpr uint64_t kOnes = 0x0101010101010101;
  const unsigned char first = static_cast<unsigned char>(folded[0]);
  const uint64_t case_bits = first >= 'a' && first <= 'z' ? 0x20 * kOnes : 0;
  const uint64_t want = first * kOnes;
  const uint64_t last = text_.size() - term.size();  // the last place a match can start
  for (uint64_t at = 0; at <= last;) {
    if (last - at >= 8) {
      uint64_t block;
      std::memcpy(&block, data + at, sizeof block);
      const uint64_t x = (block | case_bits) ^ want;
      if (((x - kOnes) & ~x & 0x80 * kOnes) == 0) {
        at += 8;
        continue;
      }
    }
    if (matches_at(at)) {
      found.push_back(at);
      at += term.size();
    } else {
      ++at;
    }
  }
  return found;
}

}  // namespace murvik
