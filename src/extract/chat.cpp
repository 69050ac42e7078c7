#include "extract/chat.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace murvik {

void ChatBuilder::Restart(Before before) {
  in_lead_ = before == Before::kUnknown;
  open_ = in_lead_ ? 1 : 0;  // the lead takes keys as an open message does
  pos_ = begin_ = lead_end_ = 0;
  spans_.clear();
  lead_ = ChatPiece::Lead::kRunsOn;
  lead_erasures_ = first_erasures_ = 0;
}

void ChatBuilder::Reserve(size_t keys) {
  const size_t need = pos_ + keys + 1;  // a character is stored even where it is dropped
  if (need <= capacity_) return;
  const size_t capacity = std::max({need, 2 * capacity_, size_t{4096}});
  std::unique_ptr<char[]> text(new char[capacity]);
  if (pos_ > 0) std::memcpy(text.get(), text_.get(), pos_);
  text_ = std::move(text);
  capacity_ = capacity;
}

void ChatBuilder::ApplyControl(uint8_t key, uint64_t offset) {
  switch (kKeyCodes[key].action) {
    case KeyAction::kStart:
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
    case KeyAction::kEnd:
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
    case KeyAction::kErase:
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
