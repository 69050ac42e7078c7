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
  pos_ = begin_ = lead_end_ = count_ = 0;
  lead_ = ChatPiece::Lead::kRunsOn;
  lead_erasures_ = first_erasures_ = 0;
}

namespace {

// Keys are taken a block at a time; characters are copied a block at a time
// too, so the row and the text end with a block's room.
constexpr size_t kBlock = 32;
constexpr uint64_t kAllGaps = (uint64_t{1} << kBlock) - 1;

// Finished messages taking more bytes than this are handed over whole, not
// copied (see TakeFinished).
constexpr size_t kSwapFrom = size_t{1} << 20;

// Which of a block's types are start, end or erase keys (bit i for types[i]),
// which are start keys, which erase keys, and which are no key.
struct BlockMasks {
  uint64_t controls, starts, erases, gaps;
};

BlockMasks Masks(const uint8_t* types) {
  BlockMasks m{0, 0, 0, 0};
#if defined(__SSE2__)
  for (size_t i = 0; i < kBlock; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(types + i));
    const __m128i gap = _mm_cmpeq_epi8(v, _mm_setzero_si128());
    const __m128i small = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(chat_internal::kErase)), v);
    const __m128i start = _mm_cmpeq_epi8(v, _mm_set1_epi8(chat_internal::kStart));
    const __m128i erase = _mm_cmpeq_epi8(v, _mm_set1_epi8(chat_internal::kErase));
    m.controls |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(_mm_andnot_si128(gap, small)))} << i;
    m.starts |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(start))} << i;
    m.erases |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(erase))} << i;
    m.gaps |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(gap))} << i;
  }
#else
  for (size_t i = 0; i < kBlock; ++i) {
    m.gaps |= uint64_t{types[i] == 0} << i;
    m.controls |= uint64_t{types[i] != 0 && types[i] <= chat_internal::kErase} << i;
    m.starts |= uint64_t{types[i] == chat_internal::kStart} << i;
    m.erases |= uint64_t{types[i] == chat_internal::kErase} << i;
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

void ChatBuilder::ApplyRow(size_t n, uint64_t offset, uint64_t stride) {
  using Entry = MessageList::Entry;
  list_.text_.Resize(pos_);  // what growing keeps: the characters so far
  list_.text_.Reserve(pos_ + n + kBlock);
  uint8_t* const row = row_.get();
  std::memset(row + n, 0, kBlock);  // the last block is filled up with no keys
  // The state, in copies the compiler can keep in registers.
  char* const text = list_.text_.data();
  Entry* entries = list_.entries_.data();
  size_t pos = pos_, open = open_, begin = begin_, count = count_;
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
    uint64_t words[kBlock / 8];
    std::memcpy(words, types, kBlock);
    if ((words[0] | words[1] | words[2] | words[3]) == 0) continue;  // no key at all: most blocks of most replays
    const BlockMasks m = Masks(types);
    if (count + kBlock > list_.entries_.capacity()) [[unlikely]] {
      // Room for an entry at each key of the block, as one is stored at each.
      list_.entries_.Resize(count);
      list_.entries_.Reserve(count + kBlock);
      entries = list_.entries_.data();
    }
    // The rules without a branch: which key this is can no more be foreseen
    // than the characters.
    const auto apply = [&](uint8_t type, size_t at) {
      const size_t start = type == chat_internal::kStart, end = type == chat_internal::kEnd;
      const size_t erase = type == chat_internal::kErase;
      const size_t opens = start & (open ^ 1);
      entries[count] = Entry{offset + (block + at) * stride, pos};
      count += opens;
      begin = opens ? pos : begin;
      const size_t empty = pos == begin;
      first_erasures += erase & open & empty & (count == 1);
      pos -= erase & open & (empty ^ 1);
      open = (open | start) & (end ^ 1);
    };
    if ((m.gaps | m.controls) == kAllGaps) {
      // No characters: only start, end and erase keys (empty messages,
      // corrections).
      if (m.controls == m.erases) {
        // Only erasures: they take the open message's last characters, and
        // those that find it empty go on as one erasure each would.
        const size_t erasures = static_cast<size_t>(std::popcount(m.erases)) & (0 - open);
        const size_t taken = std::min(erasures, pos - begin);
        pos -= taken;
        if (in_lead)
          lead_erasures_ += erasures - taken;
        else
          first_erasures += (erasures - taken) & (0 - size_t{count == 1});
        continue;
      }
      if (!in_lead && m.erases == 0) {
        // Only start and end keys: every message they open is empty, and a
        // start opens one exactly when the key before it (or the state
        // before the block) is an end. Adding each end's next place to the
        // gaps carries it through them to the key that follows the end, so
        // no key is looked at one by one.
        const uint64_t ends = m.controls & ~m.starts;
        const uint64_t after_ends = (ends << 1) | (open ^ 1);
        const uint64_t opening = (m.gaps + after_ends) & m.controls & ~ends;
        for (uint64_t opens = opening; opens != 0; opens &= opens - 1) {
          const size_t at = static_cast<size_t>(std::countr_zero(opens));
          entries[count++] = Entry{offset + (block + at) * stride, pos};
        }
        begin = opening != 0 ? pos : begin;
        open = (ends >> (63 - std::countl_zero(m.controls)) & 1) ^ 1;
        continue;
      }
      if (!in_lead) {
        for (uint64_t controls = m.controls; controls != 0; controls &= controls - 1) {
          const size_t at = static_cast<size_t>(std::countr_zero(controls));
          apply(types[at], at);
        }
        continue;
      }
    }
    size_t from = 0;
    for (uint64_t controls = m.controls; controls != 0; controls &= controls - 1) {
      const size_t at = static_cast<size_t>(std::countr_zero(controls));
      append(types + from, at - from, (m.gaps >> from) & ((uint64_t{1} << (at - from)) - 1));
      from = at + 1;
      const uint8_t type = types[at];
      if (in_lead) [[unlikely]] {
        pos_ = pos, open_ = open, begin_ = begin, count_ = count, first_erasures_ = first_erasures;
        ApplyControl(type, offset + (block + at) * stride);
        pos = pos_, open = open_, begin = begin_, count = count_, first_erasures = first_erasures_;
        in_lead = in_lead_;
        continue;
      }
      apply(type, at);
    }
    append(types + from, kBlock - from, m.gaps >> from);
  }
  pos_ = pos, open_ = open, begin_ = begin, count_ = count, first_erasures_ = first_erasures;
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
      list_.entries_[count_++] = MessageList::Entry{offset, pos_};  // ApplyRow made room for one
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
      } else if (count_ == 1) {
        ++first_erasures_;
      }
      return;
    default:
      return;
  }
}

void ChatBuilder::SyncList() {
  list_.text_.Resize(pos_);
  list_.entries_.Resize(count_);
  list_.last_open_ = count_ > 0 && open_ == 1;
}

void ChatBuilder::TakeFinished(MessageList& into) {
  into.Clear();
  const size_t finished = count_ - open_;
  if (finished == 0) return;
  const size_t end = open_ ? list_.entries_[finished].begin : pos_;
  if (end + finished * sizeof(MessageList::Entry) > kSwapFrom) {
    // Too large to copy: handed over whole, the builder going on in the
    // memory `into` had, with the open message copied there.
    SyncList();
    if (open_) {
      const Message last = list_.back();
      into.Add(last.text, last.offset, false);
      list_.PopBack();
    }
    list_.swap(into);
    pos_ = list_.text_.size();
    count_ = list_.size();
    begin_ = 0;
    return;
  }
  // Copied out, so that the builder keeps its memory and fills it again.
  into.text_.Append(list_.text_.data(), end);
  into.entries_.Append(list_.entries_.data(), finished);
  if (open_) {
    // The open message goes to the front. It opened after the last
    // hand-over (a message is finished only once the one before it is), so
    // this costs no more than the keys applied since.
    std::memmove(list_.text_.data(), list_.text_.data() + end, pos_ - end);
    pos_ -= end;
    list_.entries_[0] = MessageList::Entry{list_.entries_[finished].offset, 0};
  } else {
    pos_ = 0;
  }
  count_ = open_;
  begin_ = 0;
}

MessageList ChatBuilder::TakeMessages() {
  SyncList();
  MessageList messages = std::move(list_);
  list_ = MessageList();
  Restart(Before::kNothingOpen);
  return messages;
}

void ChatBuilder::TakePiece(ChatPiece& into) {
  if (in_lead_) lead_end_ = pos_;
  // Handed over whole; the builder goes on in the memory the piece had (a
  // joined piece's, used again: see StretchQueue).
  into.messages.Clear();
  SyncList();
  list_.last_open_ = !in_lead_ && open_ == 1;
  list_.swap(into.messages);
  into.lead = lead_;
  into.lead_erasures = lead_erasures_;
  into.lead_text = std::string_view(into.messages.text_.data(), lead_end_);
  into.first_erasures = first_erasures_;
  into.open_at_end = !in_lead_ && open_ == 1;
  Restart(Before::kUnknown);
}

void ChatJoin::Add(ChatPiece& piece, const Sink& sink) {
  size_t from = 0;  // the piece's first message not yet joined
  if (!open_.empty()) {
    // The lead, and with kStarted the piece's first message up to its end,
    // act on the message open here.
    open_.EraseFromLast(piece.lead_erasures);
    open_.AppendToLast(piece.lead_text);
    if (piece.lead == ChatPiece::Lead::kRunsOn) return;
    if (piece.lead == ChatPiece::Lead::kStarted) {
      open_.EraseFromLast(piece.first_erasures);
      const Message first = piece.messages[0];
      open_.AppendToLast(first.text);
      open_.SetLastSent(first.sent);
      from = 1;
    } else {
      open_.SetLastSent(true);
    }
    if (!open_.back().sent) return;  // it runs on to the piece's end
    sink(open_);
    open_.Clear();
  } else if (piece.lead == ChatPiece::Lead::kRunsOn) {
    return;  // keys with no message open do nothing
  }
  MessageList& messages = piece.messages;
  if (from >= messages.size()) return;
  if (piece.open_at_end) {
    // The last goes on in the join's memory: it opened in this piece, so
    // copying it costs no more than the piece's keys.
    const Message last = messages.back();
    open_.Add(last.text, last.offset, false);
    messages.PopBack();
  }
  if (from == 0) {
    if (!messages.empty()) sink(messages);
  } else if (messages.size() > from) {
    scratch_.Append(messages, from);
    sink(scratch_);
    scratch_.Clear();
  }
}

MessageList ChatJoin::TakeOpen() {
  MessageList open = std::move(open_);
  open_ = MessageList();
  return open;
}

}  // namespace murvik
