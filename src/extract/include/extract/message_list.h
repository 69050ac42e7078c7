// Chat messages, as the core hands them over: many at a time, their
// characters in one text, so that a message costs no allocation of its own
// (a dense chat has a message every few hundred bytes of replay).
#ifndef MURVIK_EXTRACT_MESSAGE_LIST_H_
#define MURVIK_EXTRACT_MESSAGE_LIST_H_

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "extract/growing_array.h"

namespace murvik {

// One message of a MessageList; its characters stay in the list, and last
// until the list is changed.
struct Message {
  std::string_view text;  // the characters typed, upper-case letters
  uint64_t offset = 0;    // byte offset of the start code that opened it
  bool sent = false;      // an end code closed it

  friend bool operator==(const Message&, const Message&) = default;
};

// Messages in file order, their characters one message after the other in
// one text. Only the last message can be unsent: the rules open a message
// only when none is open. Its memory grows without copying (GrowingArray),
// and is kept when the list is cleared or swapped, so that lists passed back
// and forth between the core and its caller reuse it.
class MessageList {
 public:
  MessageList() = default;
  MessageList(MessageList&&) noexcept = default;
  MessageList& operator=(MessageList&&) noexcept = default;

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.size() == 0; }
  Message operator[](size_t i) const {
    const size_t begin = entries_[i].begin;
    const size_t end = i + 1 < size() ? entries_[i + 1].begin : text_.size();
    return Message{std::string_view(text_.data() + begin, end - begin), entries_[i].offset,
                   i + 1 < size() || !last_open_};
  }
  Message back() const { return (*this)[size() - 1]; }
  // Every message's characters, one message after the other.
  std::string_view text() const {
    const size_t begin = empty() ? text_.size() : entries_[0].begin;
    return std::string_view(text_.data() + begin, text_.size() - begin);
  }
  // The memory the messages take.
  size_t bytes() const { return text().size() + entries_.size() * sizeof(Entry); }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Message;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Message;
    Iterator() = default;
    Iterator(const MessageList* list, size_t i) : list_(list), i_(i) {}
    Message operator*() const { return (*list_)[i_]; }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    Iterator operator++(int) { return Iterator(list_, i_++); }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.i_ == b.i_; }

   private:
    const MessageList* list_ = nullptr;
    size_t i_ = 0;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, size()); }

  // Adds a message at the end; the one before it, if any, counts as sent.
  void Add(std::string_view text, uint64_t offset, bool sent);
  // Adds the messages of `other` from its `from`th on, at the end.
  void Append(const MessageList& other, size_t from = 0);
  // Removes the last message; the one before it, if any, is sent.
  void PopBack();
  // Forgets every message, keeping the memory unless it is large.
  void Clear();
  void swap(MessageList& other) noexcept {
    text_.swap(other.text_);
    entries_.swap(other.entries_);
    std::swap(last_open_, other.last_open_);
  }

  // Changes to the last message: drops its last `n` characters (all it has
  // when fewer), appends `text`, marks it sent or not.
  void EraseFromLast(uint64_t n);
  void AppendToLast(std::string_view text);
  void SetLastSent(bool sent) { last_open_ = !sent; }

  // Puts every letter A-Z in lower case.
  void LowercaseLetters();

  // The same messages, in the same order.
  friend bool operator==(const MessageList& a, const MessageList& b);

 private:
  friend class ChatBuilder;  // writes its messages straight into a list

  struct Entry {
    uint64_t offset;  // of the start key
    uint64_t begin;   // of its characters in text_; they run to the next one's
  };

  // The characters. Before the first message's there may be others, which
  // belong to no message (see ChatBuilder::TakePiece).
  GrowingArray<char> text_;
  GrowingArray<Entry> entries_;
  bool last_open_ = false;  // the last message is unsent
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_MESSAGE_LIST_H_
