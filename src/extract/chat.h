// Chat messages and the rules that build them from recorded keys, applied in
// file order, or stretch by stretch and then joined.
#ifndef MURVIK_EXTRACT_CHAT_H_
#define MURVIK_EXTRACT_CHAT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "extract/keycodes.h"

namespace murvik {

struct Message {
  std::string text;     // the characters typed, upper-case letters
  uint64_t offset = 0;  // byte offset of the start code that opened it
  bool sent = false;    // an end code closed it

  friend bool operator==(const Message&, const Message&) = default;
};

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
  std::string lead_text;       // the lead's characters that stay
  // When kStarted, the erasures that reach past the start of messages[0]
  // (before its end): with a message open before, they act on that one.
  uint64_t first_erasures = 0;
  std::vector<Message> messages;  // as if no message were open before
  bool open_at_end = false;       // the last of them is still open
};

namespace chat_internal {

inline constexpr uint8_t kFirstCharKey = 3;  // kKeyCodes: start, end, erase, then characters

// What the pair in each cell of the lookup grid (see PairCell) does, in one
// word: the character it types in bits 0-7 (0 if none), bit 8 set if it
// types one, bit 9 set for a start, end or erase key, and its key index in
// bits 16-23 (kNoKey for a pair that is no code).
inline constexpr uint32_t kTypes = 1u << 8, kControl = 1u << 9;
constexpr std::array<uint32_t, 8 * 256> Steps() {
  std::array<uint32_t, 8 * 256> steps{};
  for (size_t cell = 0; cell < steps.size(); ++cell) {
    const uint8_t key = keycodes_internal::kGrid.key[cell >> 8][cell & 0xFF];
    steps[cell] = uint32_t{key} << 16;
    if (key < kFirstCharKey) steps[cell] |= kControl;
    if (key != kNoKey && key >= kFirstCharKey) steps[cell] |= kTypes | static_cast<uint8_t>(kKeyCodes[key].ch);
  }
  return steps;
}
inline constexpr std::array<uint32_t, 8 * 256> kSteps = Steps();

}  // namespace chat_internal

// Applies recorded keys (through a Run), in file order:
// - start opens a message unless one is open (then the message runs on);
// - a character is appended to the open message;
// - erase removes the open message's last character, if it has one;
// - end sends the open message;
// outside a message every key does nothing.
// The characters of all messages held lie in one buffer, one message after
// the other, so that a character costs a store and an add, with no branch on
// whether a message is open. Built for a stretch (kUnknown), it also works
// out what the keys do to a message open before them (see ChatPiece).
class ChatBuilder {
 public:
  enum class Before { kNothingOpen, kUnknown };
  explicit ChatBuilder(Before before = Before::kNothingOpen) { Restart(before); }

  // Forgets everything, keeping the buffer, and starts as given.
  void Restart(Before before);

  // Applies keys through copies of the builder's state, which the compiler
  // can keep in registers, and writes them back at its end. Room for `keys`
  // keys is made first; no more may be applied.
  class Run {
   public:
    Run(ChatBuilder& builder, size_t keys) : builder_(builder) {
      builder.Reserve(keys);
      text_ = builder.text_.get();
      pos_ = builder.pos_;
      open_ = builder.open_;
    }
    ~Run() {
      builder_.pos_ = pos_;
      builder_.open_ = open_;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // Applies the pair in grid cell `cell` (see PairCell), found at byte
    // `offset`; a pair that is no code does nothing.
    [[gnu::always_inline]] void Apply(uint32_t cell, uint64_t offset) {
      const uint32_t step = chat_internal::kSteps[cell];
      // Every pair stores a character; only one typed in an open message
      // moves on past it (open_ is 0 or 1).
      text_[pos_] = static_cast<char>(step);
      pos_ += open_ & (step >> 8);
      if (step & chat_internal::kControl) [[unlikely]] {
        builder_.pos_ = pos_;
        builder_.open_ = open_;
        builder_.ApplyControl(static_cast<uint8_t>(step >> 16), offset);
        pos_ = builder_.pos_;
        open_ = builder_.open_;
      }
    }

   private:
    ChatBuilder& builder_;
    char* text_;
    size_t pos_, open_;
  };

  // Hands over the messages no key can change any more: all of them but an
  // open last one, which stays. Not for a builder made for a stretch.
  std::vector<Message> TakeFinished();
  // Hands over every message held, and starts afresh with none open.
  std::vector<Message> TakeMessages();
  // What a builder made for a stretch found; it then starts afresh.
  ChatPiece TakePiece();

 private:
  struct Span {
    uint64_t offset;  // of the start key
    size_t begin;     // of its characters in text_; they run to the next one's
    bool sent;
  };

  // Makes room for `keys` more characters.
  void Reserve(size_t keys);
  // Applies a start, end or erase key.
  void ApplyControl(uint8_t key, uint64_t offset);
  // Messages made from spans_[from, to).
  std::vector<Message> MakeMessages(size_t from, size_t to) const;

  std::unique_ptr<char[]> text_;
  size_t capacity_ = 0;
  size_t pos_ = 0;    // where the next character goes
  size_t open_ = 0;   // 1 while a message (or the lead) is open, else 0
  size_t begin_ = 0;  // where the open message's characters begin
  std::vector<Span> spans_;
  // A stretch's lead: keys before its first start or end key.
  bool in_lead_ = false;
  ChatPiece::Lead lead_ = ChatPiece::Lead::kRunsOn;
  size_t lead_end_ = 0;  // the lead's characters are text_[0, lead_end_)
  uint64_t lead_erasures_ = 0, first_erasures_ = 0;
};

static_assert(kKeyCodes[0].action == KeyAction::kStart && kKeyCodes[1].action == KeyAction::kEnd &&
                  kKeyCodes[2].action == KeyAction::kErase && kKeyCodes[3].action == KeyAction::kChar,
              "ChatBuilder tells the keys apart by their place in kKeyCodes");

// Joins pieces in file order into the chat the keys make when applied in
// that order.
class ChatJoin {
 public:
  // Adds the next piece; its messages are moved out of it.
  void Add(ChatPiece& piece);
  // As ChatBuilder::TakeFinished and TakeMessages.
  std::vector<Message> TakeFinished();
  std::vector<Message> TakeMessages();

 private:
  std::vector<Message> messages_;
  bool open_ = false;  // the last message is open
};

// The chat as one text: each message's characters, and CR LF after each sent
// one; a message left open at the end has no line break after it.
std::string ChatText(const std::vector<Message>& messages);

// `text` with its letters A-Z in lower case.
std::string LowercaseLetters(std::string text);

}  // namespace murvik

#endif  // MURVIK_EXTRACT_CHAT_H_
