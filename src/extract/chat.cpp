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
  pos_ = begin_ = lead_end_ = 0;
  spans_.clear();
  lead_ = ChatPiece::Lead::kRunsOn;
  lead_erasures_ = first_erasures_ = 0;
}

namespace {

// Keys are taken a block at a time; characters are copied a block at a time
// too, so the row and the text end with a block's room.
constexpr size_t kBlock = 16;

// Which of a block's types are start, end or erase keys (bit i for types[i]),
// and which are no key.
struct BlockMasks {
  uint32_t controls, gaps;
};

BlockMasks Masks(const uint8_t* types) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(types));
  const __m128i gap = _mm_cmpeq_epi8(v, _mm_setzero_si128());
  const __m128i small = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(chat_internal::kErase)), v);
  return {static_cast<uint32_t>(_mm_movemask_epi8(_mm_andnot_si128(gap, small))),
          static_cast<uint32_t>(_mm_movemask_epi8(gap))};
#else
  BlockMasks m{0, 0};
  for (size_t i = 0; i < kBlock; ++i) {
    m.gaps |= uint32_t{types[i] == 0} << i;
    m.controls |= uint32_t{types[i] != 0 && types[i] <= chat_internal::kErase} << i;
  }
  return m;
#endif
}

}  // namespace

uint8_t* ChatBuilder::Row(size_t n) {
  if (n + kBlock > row_capacity_) {
    row_capacity_ = n + kBlock;
    row_.reset(new uint8_t[row_capacity_]);
  }
  return row_.get();
}

void ChatBuilder::ApplyRow(size_t n, uint64_t offset, uint64_t stride) {
  const size_t need = pos_ + n + kBlock;
  if (need > capacity_) {
    const size_t capacity = std::max({need, 2 * capacity_, size_t{4096}});
    std::unique_ptr<char[]> text(new char[capacity]);
    if (pos_ > 0) std::memcpy(text.get(), text_.get(), pos_);
    text_ = std::move(text);
    capacity_ = capacity;
  }
  // The last block is filled up with no keys.
  uint8_t* const row = row_.get();
  std::memset(row + n, 0, kBlock);
  for (size_t block = 0; block < n; block += kBlock) {
    const uint8_t* types = row + block;
    const BlockMasks m = Masks(types);
    if (m.gaps == 0xFFFF) continue;  // no key at all: most blocks of most replays
    size_t from = 0;
    for (uint32_t controls = m.controls; controls != 0; controls &= controls - 1) {
      const size_t at = static_cast<size_t>(std::countr_zero(controls));
      Append(types + from, at - from, (m.gaps >> from) & ((1u << (at - from)) - 1));
      const uint8_t type = types[at];
      if (in_lead_ || (type == chat_internal::kErase && pos_ == begin_)) [[unlikely]] {
        ApplyControl(type, offset + (block + at) * stride);
      } else if (type == chat_internal::kErase) {
        pos_ -= open_;
      } else if (type == chat_internal::kEnd) {
        if (open_) spans_.back().sent = true;
        open_ = 0;
      } else if (!open_) {
        spans_.push_back(Span{offset + (block + at) * stride, pos_, false});
        begin_ = pos_;
        open_ = 1;
      }
      from = at + 1;
    }
    Append(types + from, kBlock - from, m.gaps >> from);
  }
}

void ChatBuilder::Append(const uint8_t* types, size_t n, uint32_t gaps) {
  if (!open_ || n == 0) return;  // typed outside a message
  char* to = text_.get() + pos_;
  if (gaps == 0) {
    // A whole block: what lands past the last character is overwritten later.
    std::memcpy(to, types, kBlock);
    pos_ += n;
    return;
  }
  size_t kept = 0;
  for (size_t i = 0; i < n; ++i) {
    to[kept] = static_cast<char>(types[i]);
    kept += types[i] != 0;
  }
  pos_ += kept;
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
      spans_.push_back(Span{offset, pos_, false});
      begin_ = pos_;
      open_ = 1;
      return;
    case chat_internal::kEnd:
      if (!open_) return;
      if (in_lead_) {
        in_lead_ = false;
        lead_ = ChatPiece::Lead::kEnded;
        lead_end_ = pos_;
      } else {
        spans_.back().sent = true;
      }
      open_ = 0;
      return;
    case chat_internal::kErase:
      if (!open_) return;
      if (pos_ > begin_) {
        --pos_;
      } else if (in_lead_) {
        ++lead_erasures_;
      } else if (spans_.size() == 1) {
        ++first_erasures_;
      }
      return;
    default:
      return;
  }
}

std::vector<Message> ChatBuilder::MakeMessages(size_t from, size_t to) const {
  std::vector<Message> messages;
  messages.reserve(to - from);
  for (size_t i = from; i < to; ++i) {
    const size_t end = i + 1 < spans_.size() ? spans_[i + 1].begin : pos_;
    messages.push_back(
        Message{std::string(text_.get() + spans_[i].begin, end - spans_[i].begin), spans_[i].offset, spans_[i].sent});
  }
  return messages;
}

std::vector<Message> ChatBuilder::TakeFinished() {
  const size_t finished = spans_.size() - open_;
  if (finished == 0) return {};
  std::vector<Message> messages = MakeMessages(0, finished);
  if (open_) {
    // Keep the open message's characters, at the front of the buffer.
    const size_t begin = spans_.back().begin;
    std::memmove(text_.get(), text_.get() + begin, pos_ - begin);
    pos_ -= begin;
    begin_ = 0;
    spans_ = {Span{spans_.back().offset, 0, false}};
  } else {
    pos_ = begin_ = 0;
    spans_.clear();
  }
  return messages;
}

std::vector<Message> ChatBuilder::TakeMessages() {
  std::vector<Message> messages = MakeMessages(0, spans_.size());
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
  piece.messages = MakeMessages(0, spans_.size());
  piece.open_at_end = !in_lead_ && open_ == 1;
  Restart(Before::kUnknown);
  return piece;
}

void ChatJoin::Add(ChatPiece& piece) {
  auto from = piece.messages.begin();
  if (open_) {
    // The lead, and with kStarted the piece's first message up to its end,
    // act on the message open here.
    Message& open = messages_.back();
    const auto erase = [&open](uint64_t n) {
      open.text.resize(open.text.size() - std::min<uint64_t>(n, open.text.size()));
    };
    erase(piece.lead_erasures);
    open.text += piece.lead_text;
    if (piece.lead == ChatPiece::Lead::kRunsOn) return;
    if (piece.lead == ChatPiece::Lead::kStarted) {
      erase(piece.first_erasures);
      open.text += from->text;
      open.sent = from->sent;
      ++from;
    } else {
      open.sent = true;
    }
  } else if (piece.lead == ChatPiece::Lead::kRunsOn) {
    return;  // keys with no message open do nothing
  }
  if (messages_.empty() && from == piece.messages.begin()) {
    messages_ = std::move(piece.messages);
  } else {
    messages_.insert(messages_.end(), std::make_move_iterator(from), std::make_move_iterator(piece.messages.end()));
  }
  open_ = piece.open_at_end;
}

std::vector<Message> ChatJoin::TakeFinished() {
  std::vector<Message> finished;
  finished.swap(messages_);
  if (open_) {
    messages_.push_back(std::move(finished.back()));
    finished.pop_back();
  }
  return finished;
}

std::vector<Message> ChatJoin::TakeMessages() {
  open_ = false;
  return std::move(messages_);
}

std::string ChatText(const std::vector<Message>& messages) {
  size_t size = 0;
  for (const Message& m : messages) size += m.text.size() + 2;
  std::string text;
  text.reserve(size);
  for (const Message& m : messages) {
    text += m.text;
    if (m.sent) text += "\r\n";
  }
  return text;
}

std::string LowercaseLetters(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace murvik
