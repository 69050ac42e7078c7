// Chat messages and the rules that build them from recorded keys.
#ifndef MURVIK_EXTRACT_CHAT_H_
#define MURVIK_EXTRACT_CHAT_H_

#include <cstddef>
#include <cstdint>
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

// Applies recorded keys, in file order, to the chat:
// - start opens a message unless one is open (then the message runs on);
// - a character is appended to the open message;
// - erase removes the open message's last character, if it has one;
// - end sends the open message;
// outside a message every key does nothing.
class ChatBuilder {
 public:
  // Applies `key`, found at byte `offset` of the replay.
  void Apply(const KeyCode& key, uint64_t offset) {
    switch (key.action) {
      case KeyAction::kStart:
        if (!open_) {
          messages_.push_back(Message{{}, offset, false});
          open_ = true;
        }
        break;
      case KeyAction::kEnd:
        if (open_) {
          messages_.back().sent = true;
          open_ = false;
        }
        break;
      case KeyAction::kErase:
        if (open_ && !messages_.back().text.empty()) messages_.back().text.pop_back();
        break;
      case KeyAction::kChar:
        if (open_) messages_.back().text.push_back(key.ch);
        break;
      case KeyAction::kNone:
        break;
    }
  }

  // Messages so far, in order; only the last can still be open.
  const std::vector<Message>& messages() const { return messages_; }
  // Hands over the messages no key can change any more: all of them but an
  // open last one, which stays.
  std::vector<Message> TakeFinished() {
    std::vector<Message> finished;
    finished.swap(messages_);
    if (open_) {
      messages_.push_back(std::move(finished.back()));
      finished.pop_back();
    }
    return finished;
  }
  // Hands over every message held; the builder starts afresh.
  std::vector<Message> TakeMessages() {
    open_ = false;
    return std::move(messages_);
  }

 private:
  std::vector<Message> messages_;
  bool open_ = false;
};

// The chat as one text: each message's characters, and CR LF after each sent
// one; a message left open at the end has no line break after it.
std::string ChatText(const std::vector<Message>& messages);

// `text` with its letters A-Z in lower case.
std::string LowercaseLetters(std::string text);

}  // namespace murvik

#endif  // MURVIK_EXTRACT_CHAT_H_
