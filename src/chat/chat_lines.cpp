#include "chat/chat_lines.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <span>
#include <utility>

#include "chat/eight_bytes.h"

namespace murvik {

namespace {

// A character looked for eight bytes at a time, a letter in either case: a
// letter's two cases differ only in bit 5, so with that bit set in every
// byte, a byte equal to the lower case is one of the two.
struct Wanted {
  explicit Wanted(char lower)
      : case_bits(lower >= 'a' && lower <= 'z' ? EveryByte(0x20) : 0),
        want(EveryByte(static_cast<unsigned char>(lower))) {}
  // The high bit of each of the eight bytes at `bytes` that is the one wanted.
  uint64_t Marks(const char* bytes) const { return BytesEqual(bytes, case_bits, want); }
  bool Is(char c) const { return (static_cast<unsigned char>(c) | (case_bits & 0xFF)) == (want & 0xFF); }
  uint64_t case_bits, want;
};

// The high bit of each of the eight bytes at `bytes` that is a line break.
uint64_t Breaks(const char* bytes) { return BytesEqual(bytes, 0, EveryByte('\n')); }

// Where the text after the `n`th break from `at` on starts; `text` holds at
// least n breaks from there, before `size`.
uint64_t AfterBreaks(const char* text, uint64_t size, uint64_t at, size_t n) {
  while (n > 0 && at + 8 <= size) {
    uint64_t breaks = Breaks(text + at);
    const size_t count = MarkedCount(breaks);
    if (count < n) {
      n -= count;
      at += 8;
      continue;
    }
    for (; n > 1; --n) breaks &= breaks - 1;
    return at + FirstMarked(breaks) + 1;
  }
  for (; n > 0; ++at)
    if (text[at] == '\n') --n;
  return at;
}

// How many of text[begin, end) are `wanted`.
size_t CountOf(const char* text, uint64_t begin, uint64_t end, const Wanted& wanted) {
  size_t count = 0;
  for (; begin + 8 <= end; begin += 8) count += MarkedCount(wanted.Marks(text + begin));
  for (; begin < end; ++begin) count += wanted.Is(text[begin]);
  return count;
}

}  // namespace

ChatLines ChatLines::FromText(std::string_view text) {
  ChatLines lines;
  lines.Reserve(text.size());
  char* out = lines.head_.data();
  size_t size = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      out[size++] = c;
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    out[size++] = '\n';
    lines.LineStarts(size);
  }
  lines.head_.Resize(size);
  return lines;
}

void ChatLines::Append(const MessageList& messages) { Append(messages, 0, messages.size()); }

void ChatLines::Append(MessageList&& messages) {
  if (messages.empty()) return;
  const Message last = messages.back();
  if (last.sent || last.text.empty() || !kept_.empty()) return Append(messages);
  Append(messages, 0, messages.size() - 1);
  if (open_[open_size_ - 1] != head_size())
    return Append(messages, messages.size() - 1, messages.size());  // it runs on
  kept_.swap(messages);
}

void ChatLines::Append(const MessageList& messages, size_t from, size_t to) {
  if (from >= to) return;
  TakeInTail();
  size_t size = head_.size();
  Reserve(size + messages.text().size() + (to - from));
  char* out = head_.data();
  for (size_t i = from; i < to; ++i) {
    const Message m = messages[i];
    if (!m.text.empty()) std::memcpy(out + size, m.text.data(), m.text.size());  // an empty one's may be null
    size += m.text.size();
    if (!m.sent) continue;
    out[size++] = '\n';
    LineStarts(size);
  }
  head_.Resize(size);
}

void ChatLines::Reserve(uint64_t characters) {
  if (characters > SIZE_MAX) throw std::bad_alloc();
  head_.Reserve(size_t(characters));
}

void ChatLines::Seal(uint64_t next) {
  // Its starts are kept only when scanning it would take long.
  Block block{open_[0], 0};
  if (next - open_[0] > kScanned) {
    kept_starts_.insert(kept_starts_.end(), open_.begin(), open_.end());
    block.kept = uint32_t(kept_starts_.size() / kBlock);
  }
  sealed_.push_back(block);
  open_size_ = 0;
}

void ChatLines::TakeInTail() {
  if (kept_.empty()) return;
  MessageList kept;
  kept.swap(kept_);
  const std::string_view tail = kept.back().text;
  head_.Append(tail.data(), tail.size());
}

uint64_t ChatLines::LineStart(size_t line) const {
  const size_t b = line / kBlock, k = line % kBlock;
  if (b >= sealed_.size()) return open_[line - sealed_.size() * kBlock];
  const Block& block = sealed_[b];
  if (block.kept != 0) return kept_starts_[(block.kept - 1) * kBlock + k];
  // Every line of a sealed block lies in the head and ends with a break.
  return AfterBreaks(head_.data(), head_size(), block.start, k);
}

std::string_view ChatLines::Line(size_t line) const {
  const uint64_t start = LineStart(line);
  if (start >= head_size()) return tail();
  return head().substr(start, LineEnd(line) - start);
}

size_t ChatLines::LineOf(uint64_t pos) const {
  const size_t open_first = sealed_.size() * kBlock;
  if (pos >= open_[0])
    return open_first + size_t(std::upper_bound(open_.begin(), open_.begin() + open_size_, pos) - open_.begin()) - 1;
  const size_t b = size_t(std::upper_bound(sealed_.begin(), sealed_.end(), pos,
                                           [](uint64_t p, const Block& block) { return p < block.start; }) -
                          sealed_.begin()) -
                   1;
  const Block& block = sealed_[b];
  if (block.kept != 0) {
    const auto starts = kept_starts_.begin() + ptrdiff_t((block.kept - 1) * kBlock);
    return b * kBlock + size_t(std::upper_bound(starts, starts + kBlock, pos) - starts) - 1;
  }
  return b * kBlock + CountOf(head_.data(), block.start, pos, Wanted('\n'));
}

std::string ChatLines::Slice(uint64_t begin, uint64_t end, std::string_view line_break) const {
  end = std::min(end, size());
  std::string out;
  if (begin >= end) return out;
  out.reserve(end - begin);
  uint64_t base = 0;
  for (const std::string_view part : {head(), tail()}) {
    const uint64_t from = std::max(begin, base), to = std::min(end, base + part.size());
    if (line_break == "\n" && from < to) out.append(part.substr(from - base, to - from));  // as stored
    for (uint64_t at = from; at < to && line_break != "\n";) {
      const uint64_t stop = std::min<uint64_t>(to, base + std::min(part.size(), part.find('\n', at - base)));
      out.append(part.substr(at - base, stop - at));
      if (stop == to) break;
      out += line_break;
      at = stop + 1;
    }
    base += part.size();
  }
  return out;
}

namespace {

// Positions of matches gathered into batches for the caller's callback, so
// that a scan pays for the call once per batch rather than once per match.
class MatchBatches {
 public:
  explicit MatchBatches(const std::function<bool(std::span<const uint64_t>)>& found) : found_(found) {}
  // Adds a match; false once the callback has stopped the scan.
  bool Add(uint64_t pos) {
    batch_[size_++] = pos;
    return size_ < batch_.size() || Flush();
  }
  bool Flush() {
    if (size_ > 0 && !found_(std::span<const uint64_t>(batch_.data(), size_))) stopped_ = true;
    size_ = 0;
    return !stopped_;
  }
  bool stopped() const { return stopped_; }

 private:
  const std::function<bool(std::span<const uint64_t>)>& found_;
  std::array<uint64_t, 256> batch_;
  size_t size_ = 0;
  bool stopped_ = false;
};

// Adds to `batches` where `folded` (in lower case) matches wholly within
// `text` and starts in [at, stop), as positions from `base`, each after the
// one before; returns where the next match may start.
uint64_t FindIn(std::string_view text, uint64_t at, uint64_t stop, std::string_view folded, uint64_t base,
                MatchBatches& batches) {
  if (folded.size() > text.size()) return at;
  const char* data = text.data();
  const auto matches_at = [&](uint64_t pos) {
    for (size_t k = 0; k < folded.size(); ++k)
      if (InCase(data[pos + k], LetterCase::kLower) != folded[k]) return false;
    return true;
  };
  // Eight places are looked at a time for the term's first character; for
  // a term of one character, every place marked is a match.
  const Wanted first(folded[0]);
  const uint64_t end = std::min<uint64_t>(stop, text.size() - folded.size() + 1);  // past the last start
  while (at < end) {
    if (at + 8 <= end) {
      uint64_t marks = first.Marks(data + at);
      if (marks == 0) {
        at += 8;
        continue;
      }
      if (folded.size() == 1) {
        for (; marks != 0; marks &= marks - 1)
          if (!batches.Add(base + at + FirstMarked(marks))) return at;
        at += 8;
        continue;
      }
      at += FirstMarked(marks);
    }
    if (!matches_at(at)) {
      ++at;
      continue;
    }
    if (!batches.Add(base + at)) return at;
    at += folded.size();
  }
  return at;
}

}  // namespace

uint64_t ChatLines::ForEachMatch(std::string_view term, uint64_t from, uint64_t to,
                                 const std::function<bool(std::span<const uint64_t>)>& found) const {
  if (term.empty() || term.size() > size()) return std::max(from, to);
  std::string folded(term);
  for (char& c : folded) c = InCase(c, LetterCase::kLower);
  MatchBatches batches(found);
  // The head, the matches that run from the head into the tail, the tail.
  uint64_t at = FindIn(head(), from, std::min(to, head_size()), folded, 0, batches);
  const uint64_t across_end = std::min({head_size(), size() - folded.size() + 1, to});
  if (at < across_end) at = std::max(at, head_size() >= folded.size() ? head_size() - folded.size() + 1 : 0);
  while (at < across_end && !batches.stopped()) {
    size_t k = 0;
    while (k < folded.size() && InCase(At(at + k), LetterCase::kLower) == folded[k]) ++k;
    if (k < folded.size()) {
      ++at;
      continue;
    }
    batches.Add(at);
    at += folded.size();
  }
  if (at < to && !batches.stopped())
    at = head_size() + FindIn(tail(), std::max(at, head_size()) - head_size(), to - std::min(to, head_size()), folded,
                              head_size(), batches);
  batches.Flush();
  return std::max(at, to);
}

std::vector<uint64_t> ChatLines::FindAll(std::string_view term) const {
  std::vector<uint64_t> found;
  if (term.size() == 1) {
    // A single character, as when a letter is typed into the find box: its
    // places, counted eight at a time first, so that a list of millions is
    // made once at its length rather than copied as it grows.
    const Wanted wanted(InCase(term[0], LetterCase::kLower));
    const size_t count =
        CountOf(head_.data(), 0, head_size(), wanted) + CountOf(tail().data(), 0, tail().size(), wanted);
    found.reserve(count);
    memory_internal::Populate(found.data(), count * sizeof(uint64_t));
  }
  ForEachMatch(term, 0, UINT64_MAX, [&](std::span<const uint64_t> batch) {
    found.insert(found.end(), batch.begin(), batch.end());
    return true;
  });
  return found;
}

std::string TextAsShown(const ChatLines& chat, uint64_t begin, uint64_t end, LetterCase letter_case,
                        std::string_view line_break) {
  std::string text = chat.Slice(begin, end, line_break);
  if (letter_case != LetterCase::kAsIs)
    for (char& c : text) c = InCase(c, letter_case);
  return text;
}

}  // namespace murvik
