// Chat messages and the rules that build them from recorded keys, applied in
// file order, or stretch by stretch and then joined.
#ifndef MURVIK_EXTRACT_CHAT_H_
#define MURVIK_EXTRACT_CHAT_H_

#ifndef MURVIK_EXTRACT_INTERNAL
#error "extract/chat.h is the core's own: outside it, include extract/extract.h"
#endif

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "extract/keycodes.h"
#include "extract/message_list.h"

namespace murvik {

// What a stretch of keys does to the chat, worked out without knowing what
// came before it. Only a message open at the stretch's start changes what
// its keys do, and only up to its first start or end key: before that point
// (the lead) characters and erasures act on the open message, and with none
// open do nothing; a first start key opens a message only when none is open
// (else the open one runs on with that message's keys); a first end key
// sends the open one. From that key on, the rules give the same messages
// either way. So a piece holds the lead's net effect and the messages from
// that key on, as if none were open before. ChatJoin puts pieces together.
struct ChatPiece {
  enum class Lead : uint8_t {
    kRunsOn,   // no start or end key: every key acts on a message open before
    kEnded,    // an end key came first
    kStarted,  // a start key came first: messages[0] opened there
  };
  Lead lead = Lead::kRunsOn;
  uint64_t lead_erasures = 0;  // the lead's erasures that reach past its characters
  // The lead's characters that stay; they lie in the memory of `messages`,
  // before its first message, and last as long as it.
  std::string_view lead_text;
  // When kStarted, the erasures that reach past the start of messages[0]
  // (before its end): with a message open before, they act on that one.
  uint64_t first_erasures = 0;
  MessageList messages;      // as if no message were open before
  bool open_at_end = false;  // the last of them is still open
};

namespace chat_internal {

// What each pair of bytes, read as a little-endian word, does: 0 if it is
// no code, kStart, kEnd or kErase for those keys, else the character it
// types (never below ' ').
inline constexpr uint8_t kStart = 1, kEnd = 2, kErase = 3;
constexpr std::array<uint8_t, 65536> PairTypes() {
  std::array<uint8_t, 65536> types{};
  for (const KeyCode& k : kKeyCodes) {
    uint8_t& type = types[k.first | k.second << 8];
    switch (k.action) {
      case KeyAction::kStart:
        type = kStart;
        break;
      case KeyAction::kEnd:
        type = kEnd;
        break;
      case KeyAction::kErase:
        type = kErase;
        break;
      default:
        type = static_cast<uint8_t>(k.ch);
    }
  }
  return types;
}
inline constexpr std::array<uint8_t, 65536> kPairTypes = PairTypes();

constexpr bool CharactersAreNoKeys() {
  for (const KeyCode& k : kKeyCodes)
    if (k.action == KeyAction::kChar && static_cast<uint8_t>(k.ch) <= kErase) return false;
  return true;
}
static_assert(CharactersAreNoKeys(), "a character must not read as a start, end or erase key");

}  // namespace chat_internal

// Applies recorded keys (a row at a time), in file order:
// - start opens a message unless one is open (then the message runs on);
// - a character is appended to the open message;
// - erase removes the open message's last character, if it has one;
// - end sends the open message;
// outside a message every key does nothing.
// The characters of all messages held lie in one buffer, one message after
// the other, so that the characters between two start, end or erase keys
// are copied into it as one block. Built for a stretch (kUnknown), it also
// works out what the keys do to a message open before them (see ChatPiece).
class ChatBuilder {
 public:
  enum class Before { kNothingOpen, kUnknown };
  explicit ChatBuilder(Before before = Before::kNothingOpen) { Restart(before); }

  // Forgets everything, keeping the buffer, and starts as given.
  void Restart(Before before);

  // A row to write the types (kPairTypes) of `n` keys into, for ApplyRow;
  // reused, and valid until the next call.
  uint8_t* Row(size_t n);
  // Applies `n` keys whose types the row holds, the first found at byte
  // `offset` and each next `stride` bytes further on. The row is taken a
  // block of 32 at a time (ApplyBlock), a key at a time (ApplyKey) only in
  // the block where a stretch's lead ends or its first message opens.
  void ApplyRow(size_t n, uint64_t offset, uint64_t stride);

  // Hands over the messages no key can change any more, all of them but an
  // open last one, which stays, into `into` (emptied first): copied when
  // they are few, else swapped in, the builder going on in the memory `into`
  // had. Not for a builder made for a stretch.
  void TakeFinished(MessageList& into);
  // Hands over every message held, and starts afresh with none open.
  MessageList TakeMessages();
  // What a builder made for a stretch found, swapped into `into` (whose
  // memory the builder goes on in); it then starts afresh.
  void TakePiece(ChatPiece& into);
  ChatPiece TakePiece() {
    ChatPiece piece;
    TakePiece(piece);
    return piece;
  }

 private:
  // The rules above for one key of type `type` (kPairTypes), found at byte
  // `offset`: the one place that states them.
  void ApplyKey(uint8_t type, uint64_t offset);
  // The same rules for a block of 32 types, the first at byte `offset` and
  // the next `stride` further on; false, having done nothing, for a block
  // where a stretch's lead ends or its first message opens.
  bool ApplyBlock(const uint8_t* types, uint64_t offset, uint64_t stride);
  // Sets the list's sizes and last flag from the builder's state.
  void SyncList();

  // The messages, written straight into the list's memory: a message's
  // characters run from its entry's begin to the next one's, or to pos_.
  // An entry is written at every start, end or erase key and counted only
  // when a message opens.
  MessageList list_;
  std::unique_ptr<uint8_t[]> row_;  // see Row
  size_t row_capacity_ = 0;
  size_t pos_ = 0;    // where the next character goes
  size_t count_ = 0;  // messages in list_
  size_t open_ = 0;   // 1 while a message (or the lead) is open, else 0
  size_t begin_ = 0;  // where the open message's characters begin
  // A stretch's lead: keys before its first start or end key.
  bool in_lead_ = false;
  ChatPiece::Lead lead_ = ChatPiece::Lead::kRunsOn;
  size_t lead_end_ = 0;  // the lead's characters are text [0, lead_end_)
  uint64_t lead_erasures_ = 0, first_erasures_ = 0;
};

// Joins pieces in file order into the chat the keys make when applied in
// that order. It holds only the open message, in memory of its own that
// stays where it grows; the messages a piece finishes are handed on at once.
class ChatJoin {
 public:
  // Receives finished messages, in file order, in lists that stay the
  // join's or the piece's: it reads them or swaps them out, and may leave
  // them changed (the join empties them after).
  using Sink = std::function<void(MessageList& finished)>;

  // Adds the next piece, handing the messages it finishes to `sink`. The
  // piece is spent. Copies no more than the piece's own characters, and
  // its messages only when a start key ran on into the open message.
  void Add(ChatPiece& piece, const Sink& sink);
  // The open message, if any; then starts afresh.
  MessageList TakeOpen();

 private:
  MessageList open_;     // the open message, or none
  MessageList scratch_;  // a piece's messages but its first
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_CHAT_H_
