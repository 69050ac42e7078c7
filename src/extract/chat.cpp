#include "extract/chat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace murvik {

void ChatBuilder::Restart(Before before) {
  in_lead_ = before == Before::kUnknown;
  open_ = in_lead_ ? 1 : 0;  // the lead takes keys as an open message does
  pos_ = begin_ = lead_end_ = spans_size_ = 0;
  lead_ = ChatPiece::Lead::kRunsOn;
  lead_erasures_ = first_erasures_ = 0;
}

namespace {

// Keys are taken a block at a time; characters are copied a block at a time
// too, so the row and the text end with a block's room.
constexpr size_t kBlock = 32;
constexpr uint64_t kAllGaps = (uint64_t{1} << kBlock) - 1;

// Which of a block's types are start, end or erase keys (bit i for types[i]),
// and which are no key.
struct BlockMasks {
  uint64_t controls, gaps;
};

BlockMasks Masks(const uint8_t* types) {
  BlockMasks m{0, 0};
#if defined(__SSE2__)
  for (size_t i = 0; i < kBlock; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(types + i));
    const __m128i gap = _mm_cmpeq_epi8(v, _mm_setzero_si128());
    const __m128i small = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(chat_internal::kErase)), v);
    m.controls |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(_mm_andnot_si128(gap, small)))} << i;
    m.gaps |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(gap))} << i;
  }
#else
  for (size_t i = 0; i < kBlock; ++i) {
    m.gaps |= uint64_t{types[i] == 0} << i;
    m.controls |= uint64_t{types[i] != 0 && types[i] <= chat_internal::kErase} << i;
  }
#endif
  return m;
}

}  // namespace

uint8_t* ChatBuilder::Row(size_t n) {
  if (n + kBlock > row_capacity_) {
    row_capacity_ = n + kBlock;
    row_.reset(new uint8_t[row_capacity_]);
  }
  return row_.get();
}

void ChatBuilder::ReserveSpans(size_t more) {
  if (spans_size_ + more <= spans_capacity_) return;
  const size_t capacity = std::max({spans_size_ + more, 2 * spans_capacity_, size_t{256}});
  std::unique_ptr<Span[]> spans(new Span[capacity]);
  std::copy(spans_.get(), spans_.get() + spans_size_, spans.get());
  spans_ = std::move(spans);
  spans_capacity_ = capacity;
}

void ChatBuilder::ApplyRow(size_t n, uint64_t offset, uint64_t stride) {
  if (pos_ + n + kBlock > capacity_) {
    const size_t capacity = std::max({pos_ + n + kBlock, 2 * capacity_, size_t{4096}});
    std::unique_ptr<char[]> text(new char[capacity]);
    if (pos_ > 0) std::memcpy(text.get(), text_.get(), pos_);
    text_ = std::move(text);
    capacity_ = capacity;
  }
  uint8_t* const row = row_.get();
  std::memset(row + n, 0, kBlock);  // the last block is filled up with no keys
  // The state, in copies the compiler can keep in registers.
  char* const text = text_.get();
  Span* spans = spans_.get();
  size_t pos = pos_, open = open_, begin = begin_, count = spans_size_;
  uint64_t first_erasures = first_erasures_;
  bool in_lead = in_lead_;
  // Appends the characters among `len` types, no key where `gaps` has a bit.
  const auto append = [&](const uint8_t* types, size_t len, uint64_t gaps) {
    if (gaps == 0) [[likely]] {
      // A whole block, stored even outside a message: only pos says what
      // counts, and whatever lands past it is overwritten later.
      std::memcpy(text + pos, types, kBlock);
      pos += len & (0 - open);
    } else if (open) {
      for (size_t i = 0; i < len; ++i) {
        text[pos] = static_cast<char>(types[i]);
        pos += types[i] != 0;
      }
    }
  };
  for (size_t block = 0; block < n; block += kBlock) {
    const uint8_t* types = row + block;
    const BlockMasks m = Masks(types);
    if (m.gaps == kAllGaps) continue;  // no key at all: most blocks of most replays
    if (count + kBlock > spans_capacity_) [[unlikely]] {
      // Room for a span at each key of the block, as one is stored at each.
      spans_size_ = count;
      ReserveSpans(kBlock);
      spans = spans_.get();
    }
    size_t from = 0;
    for (uint64_t controls = m.controls; controls != 0; controls &= controls - 1) {
      const size_t at = static_cast<size_t>(std::countr_zero(controls));
      append(types + from, at - from, (m.gaps >> from) & ((uint64_t{1} << (at - from)) - 1));
      from = at + 1;
      const uint8_t type = types[at];
      if (in_lead) [[unlikely]] {
        pos_ = pos, open_ = open, begin_ = begin, spans_size_ = count, first_erasures_ = first_erasures;
        ApplyControl(type, offset + (block + at) * stride);
        pos = pos_, open = open_, begin = begin_, count = spans_size_, first_erasures = first_erasures_;
        in_lead = in_lead_;
        continue;
      }
      // The rules without a branch: which key this is can no more be
      // foreseen than the characters.
      const size_t start = type == chat_internal::kStart, end = type == chat_internal::kEnd;
      const size_t erase = type == chat_internal::kErase;
      const size_t opens = start & (open ^ 1);
      spans[count] = Span{offset + (block + at) * stride, pos};
      count += opens;
      begin = opens ? pos : begin;
      const size_t empty = pos == begin;
      first_erasures += erase & open & empty & (count == 1);
      pos -= erase & open & (empty ^ 1);
      open = (open | start) & (end ^ 1);
    }
    append(types + from, kBlock - from, m.gaps >> from);
  }
  pos_ = pos, open_ = open, begin_ = begin, spans_size_ = count, first_erasures_ = first_erasures;
}

void ChatBuilder::ApplyControl(uint8_t type, uint64_t offset) {
  switch (type) {
    case chat_internal::kStart:
      if (in_lead_) {
        // A message may be open before the stretch; the piece opens its own,
        // and ChatJoin decides which stands.
        in_lead_ = false;
        lead_ = ChatPiece::Lead::kStarted;
        lead_end_ = pos_;
        open_ = 0;
      }
      if (open_) return;
      spans_[spans_size_++] = Span{offset, pos_};  // ApplyRow made room for one
      begin_ = pos_;
      open_ = 1;
      return;
    case chat_internal::kEnd:
      if (!open_) return;
      if (in_lead_) {
        in_lead_ = false;
        lead_ = ChatPiece::Lead::kEnded;
        lead_end_ = pos_;
      }
      open_ = 0;
      return;
    case chat_internal::kErase:
      if (!open_) return;
      if (pos_ > begin_) {
        --pos_;
      } else if (in_lead_) {
        ++lead_erasures_;
      } else if (spans_size_ == 1) {
        ++first_erasures_;
      }
      return;
    default:
      return;
  }
}

MessageList ChatBuilder::MakeMessages(size_t to) const {
  MessageList messages;
  if (to == 0) return messages;
  const auto end = [this](size_t i) { return i + 1 < spans_size_ ? spans_[i + 1].begin : pos_; };
  messages.Reserve(to, end(to - 1) - spans_[0].begin);
  for (size_t i = 0; i < to; ++i) {
    // Every message but an open last one was sent: one opens only when
    // none is open.
    const bool sent = i + 1 < spans_size_ || open_ == 0;
    messages.Add(std::string_view(text_.get() + spans_[i].begin, end(i) - spans_[i].begin), spans_[i].offset, sent);
  }
  return messages;
}

MessageList ChatBuilder::TakeFinished() {
  const size_t finished = spans_size_ - open_;
  if (finished == 0) return {};
  MessageList messages = MakeMessages(finished);
  if (open_) {
    // Keep the open message's characters, at the front of the buffer.
    const size_t begin = spans_[spans_size_ - 1].begin;
    std::memmove(text_.get(), text_.get() + begin, pos_ - begin);
    pos_ -= begin;
    begin_ = 0;
    spans_[0] = Span{spans_[spans_size_ - 1].offset, 0};
    spans_size_ = 1;
  } else {
    pos_ = begin_ = 0;
    spans_size_ = 0;
  }
  return messages;
}

MessageList ChatBuilder::TakeMessages() {
  MessageList messages = MakeMessages(spans_size_);
  Restart(Before::kNothingOpen);
  return messages;
}

ChatPiece ChatBuilder::TakePiece() {
  if (in_lead_) lead_end_ = pos_;
  ChatPiece piece;
  piece.lead = lead_;
  piece.lead_erasures = lead_erasures_;
  piece.lead_text.assign(text_.get(), lead_end_);
  piece.first_erasures = first_erasures_;
  piece.messages = MakeMessages(spans_size_);
  piece.open_at_end = !in_lead_ && open_ == 1;
  Restart(Before::kUnknown);
  return piece;
}

void ChatJoin::Add(ChatPiece& piece) {
  size_t from = 0;  // the piece's first message not yet joined
  if (open_) {
    // The lead, and with kStarted the piece's first message up to its end,
    // act on the message open here.
    messages_.EraseFromLast(piece.lead_erasures);
    messages_.AppendToLast(piece.lead_text);
    if (piece.lead == ChatPiece::Lead::kRunsOn) return;
    if (piece.lead == ChatPiece::Lead::kStarted) {
      messages_.EraseFromLast(piece.first_erasures);
      const Message first = piece.messages[0];
      messages_.AppendToLast(first.text);
      messages_.SetLastSent(first.sent);
      from = 1;
    } else {
      messages_.SetLastSent(true);
    }
  } else if (piece.lead == ChatPiece::Lead::kRunsOn) {
    return;  // keys with no message open do nothing
  }
  if (messages_.empty() && from == 0) {
    messages_ = std::move(piece.messages);
  } else {
    messages_.Append(piece.messages, from);
  }
  open_ = piece.open_at_end;
}

MessageList ChatJoin::TakeFinished() {
  MessageList finished;
  finished.swap(messages_);
  if (open_) {
    const Message open = finished.back();
    messages_.Add(open.text, open.offset, open.sent);
    finished.PopBack();
  }
  return finished;
}

MessageList ChatJoin::TakeMessages() {
  open_ = false;
  return std::move(messages_);
}

std::string ChatText(const MessageList& messages) {
  std::string text;
  text.reserve(messages.text().size() + 2 * messages.size());
  for (const Message m : messages) {
    text += m.text;
    if (m.sent) text += "\r\n";
  }
  return text;
}

}  // namespace murvik
