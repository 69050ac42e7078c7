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
// too, so the text ends with a block's room and the row with two.
constexpr size_t kBlock = 32;
constexpr uint64_t kAll = (uint64_t{1} << kBlock) - 1;  // a bit for each type of a block

// Finished messages taking more bytes than this are handed over whole, not
// copied (see TakeFinished).
constexpr size_t kSwapFrom = size_t{1} << 20;

// Which of a block's types are characters, start, end and erase keys (bit i
// for types[i]).
struct BlockMasks {
  uint64_t chars, starts, ends, erases;
};

BlockMasks Masks(const uint8_t* types) {
  BlockMasks m{0, 0, 0, 0};
#if defined(__SSE2__)
  for (size_t i = 0; i < kBlock; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(types + i));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(chat_internal::kErase)), v);
    const auto bits = [](__m128i mask) { return uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(mask))}; };
    m.chars |= (bits(control) ^ 0xFFFF) << i;
    m.starts |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(chat_internal::kStart))) << i;
    m.ends |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(chat_internal::kEnd))) << i;
    m.erases |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(chat_internal::kErase))) << i;
  }
#else
  for (size_t i = 0; i < kBlock; ++i) {
    m.chars |= uint64_t{types[i] > chat_internal::kErase} << i;
    m.starts |= uint64_t{types[i] == chat_internal::kStart} << i;
    m.ends |= uint64_t{types[i] == chat_internal::kEnd} << i;
    m.erases |= uint64_t{types[i] == chat_internal::kErase} << i;
  }
#endif
  return m;
}

// How many of the low 32 bits of `x` are set, without a library call where
// the target has no instruction for it.
inline size_t Ones(uint64_t x) {
  uint32_t v = static_cast<uint32_t>(x);
  v -= (v >> 1) & 0x55555555u;
  v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
  return (((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
}

// The highest bit of `x`, or 0.
inline uint64_t HighestBit(uint64_t x) { return x == 0 ? 0 : uint64_t{1} << (63 - std::countl_zero(x)); }

}  // namespace

uint8_t* ChatBuilder::Row(size_t n) {
  if (n + 2 * kBlock > row_capacity_) {
    row_capacity_ = n + 2 * kBlock;
    row_.reset(new uint8_t[row_capacity_]);
  }
  return row_.get();
}

// The rules, one key at a time, as the class comment states them, with what
// a stretch's lead needs besides. ApplyBlock is the same rules a block at a
// time; the property (tests/extract, fuzz/) holds the two to each other.
// A branch per key, as a reader would check them: it takes only the block
// where a stretch's lead ends or its first message opens (one or two in a
// stretch of 43,690 keys), so its speed does not show.
void ChatBuilder::ApplyKey(uint8_t type, uint64_t offset) {
  switch (type) {
    case 0:  // no key
      return;
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
      list_.entries_.data()[count_++] = MessageList::Entry{offset, pos_};  // ApplyRow made room for one
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
        ++lead_erasures_;  // reaches into a message open before the stretch
      } else if (count_ == 1) {
        ++first_erasures_;  // see ChatPiece::first_erasures
      }
      return;
    default:  // a character
      if (open_) list_.text_.data()[pos_++] = static_cast<char>(type);
      return;
  }
}

// The rules a block at a time, each step over the whole block's bits:
// 1. whether a message is open before each key, carried from the end keys
//    through the keys between them to the next start key; so which start
//    keys open one, which characters are appended and which erasures act;
// 2. which characters survive: an erasure takes the nearest surviving
//    character before it in its message, the one just before it first of
//    all; one that finds none in the block's first message reaches back
//    into the text before the block (the lead's, or the first message's,
//    past its start: see ChatPiece);
// 3. each run of survivors copied with one 32-byte store; an entry written
//    at each start key that opens a message.
// Not for a block where a lead ends or a stretch's first message opens
// (false, having done nothing): ApplyKey takes that one.
// What it buys, against the four roads it replaced (a step per start, end or
// erase key, a lead's erasures one by one, blocks of erasures only and of
// start and end keys only apart), 1 GiB, least of 7 in turn with cat, on
// both cores and pinned to one: typing corrected everywhere 1.90x and 2.94x
// cat to 1.43x and 2.18x; the seeded jumble 2.72x and 4.50x to 1.84x and
// 3.06x; the worst case as before (1.25x and 2.19x to 1.25x and 2.20x);
// empty messages 1.47x and 2.34x to 1.55x and 2.41x. Of its tricks, in CPU
// time pinned: counting bits in a few operations, not the library call the
// compiler makes for x86-64 at its base level, 5 to 34% (typing corrected
// 254 to 225 ms, mix 291 to 193); no character copied where none survives,
// empty messages 326 to 199 ms; every run of survivors copied whole rather
// than one by one where the runs are many, 3 to 6% on the worst case and
// the jumble (3% dearer on typing corrected, whose runs are of one
// character).
bool ChatBuilder::ApplyBlock(const uint8_t* types, uint64_t offset, uint64_t stride) {
  const BlockMasks m = Masks(types);
  if (count_ == 0 && (m.starts | (in_lead_ ? m.ends : 0)) != 0) [[unlikely]]
    return false;
  char* const text = list_.text_.data();
  if (m.chars == kAll) [[likely]] {
    // Characters only: stored even outside a message, as only pos says what
    // counts, and whatever lands past it is overwritten later.
    std::memcpy(text + pos_, types, kBlock);
    pos_ += kBlock & (0 - open_);
    return true;
  }
  // 1. Closed before key i: right after an end key (or from the block's
  // start, when none is open), on through the keys that are no start or end
  // key and up to the next that is, as an add carries it across them (the
  // bits it flips). Bit 32 is the next block's first key.
  const uint64_t others = (~(m.starts | m.ends) & kAll) | (kAll + 1);
  const uint64_t after_end = (m.ends << 1) | (open_ ^ 1);
  const uint64_t carried = others + (after_end & others);
  const uint64_t closed = ((others ^ carried) | (after_end & ~others)) & (kAll << 1 | 1);
  const uint64_t open_before = ~closed & kAll;
  const uint64_t opens = m.starts & ~open_before;
  const uint64_t typed = m.chars & open_before;
  // 2. The erasures.
  uint64_t survivors = typed;
  size_t base = pos_;  // where the block's first survivor goes
  if (const uint64_t erases = m.erases & open_before) {
    const uint64_t next_to_char = erases & (typed << 1);
    survivors &= ~(next_to_char >> 1);
    uint64_t rest = erases & ~next_to_char;
    const uint64_t first = (survivors | opens) & (0 - (survivors | opens));
    const uint64_t before_any = rest & (first - 1);  // all of them when first is 0
    uint64_t reach = Ones(before_any);  // erasures that find nothing in the block: a message was open before it
    for (rest &= ~before_any; rest != 0; rest &= rest - 1) {
      const uint64_t below = (rest & (0 - rest)) - 1;
      const uint64_t floor = HighestBit(opens & below);  // where its message opened, if in the block
      const uint64_t taken = HighestBit(survivors & below & (floor == 0 ? ~uint64_t{0} : 0 - floor));
      survivors ^= taken;
      reach += (taken | floor) == 0;
    }
    const size_t back = std::min(static_cast<size_t>(reach), pos_ - begin_);
    (in_lead_ ? lead_erasures_ : first_erasures_) += (reach - back) & (0 - uint64_t{count_ <= 1});
    base -= back;
  }
  // 3. The survivors, each run of them with one 32-byte store, and an
  // entry at each start key that opens a message.
  MessageList::Entry* const entries = list_.entries_.data();
  size_t pos = base, count = count_, begin = begin_;  // copies the compiler can keep in registers
  for (uint64_t runs = survivors & ~(survivors << 1); runs != 0; runs &= runs - 1) {
    const size_t at = static_cast<size_t>(std::countr_zero(runs));
    std::memcpy(text + pos, types + at, kBlock);
    pos += static_cast<size_t>(std::countr_zero(~survivors >> at));
  }
  for (uint64_t o = opens; o != 0; o &= o - 1) {
    const size_t at = static_cast<size_t>(std::countr_zero(o));
    begin = base + (survivors == 0 ? 0 : Ones(survivors & ((uint64_t{1} << at) - 1)));  // empty messages: no count
    entries[count++] = MessageList::Entry{offset + at * stride, begin};
  }
  pos_ = pos, count_ = count, begin_ = begin;
  open_ = ((closed >> kBlock) & 1) ^ 1;
  return true;
}

void ChatBuilder::ApplyRow(size_t n, uint64_t offset, uint64_t stride) {
  list_.text_.Resize(pos_);  // what growing keeps: the characters so far
  list_.text_.Reserve(pos_ + n + kBlock);
  uint8_t* const row = row_.get();
  // The last block is filled up with no keys, and a block more, as a run
  // is copied 32 bytes at a time from any type of a block.
  std::memset(row + n, 0, 2 * kBlock);
  for (size_t block = 0; block < n; block += kBlock) {
    const uint8_t* types = row + block;
    uint64_t words[kBlock / 8];
    std::memcpy(words, types, kBlock);
    if ((words[0] | words[1] | words[2] | words[3]) == 0) continue;  // no key at all: most blocks of most replays
    if (count_ + kBlock > list_.entries_.capacity()) [[unlikely]] {
      // Room for an entry at each key of the block, as one is stored at each.
      list_.entries_.Resize(count_);
      list_.entries_.Reserve(count_ + kBlock);
    }
    if (!ApplyBlock(types, offset + block * stride, stride)) [[unlikely]]
      for (size_t i = 0; i < kBlock; ++i) ApplyKey(types[i], offset + (block + i) * stride);
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
