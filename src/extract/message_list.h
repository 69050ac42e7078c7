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
#include <vector>

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
// one text.
class MessageList {
 public:
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  Message operator[](size_t i) const {
    const size_t begin = i == 0 ? 0 : entries_[i - 1].end;
    return Message{std::string_view(text_).substr(begin, entries_[i].end - begin), entries_[i].offset,
                   entries_[i].sent};
  }
  Message back() const { return (*this)[size() - 1]; }
  // Every message's characters, one message after the other.
  std::string_view text() const { return text_; }
  // The memory the messages take.
  size_t bytes() const { return text_.size() + entries_.size() * sizeof(Entry); }

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

  // Adds a message at the end.
  void Add(std::string_view text, uint64_t offset, bool sent);
  // Adds the messages of `other` from its `from`th on, at the end.
  void Append(const MessageList& other, size_t from = 0);
  // Removes the last message.
  void PopBack();
  // Forgets every message, keeping the memory.
  void Clear();
  void swap(MessageList& other) noexcept {
    text_.swap(other.text_);
    entries_.swap(other.entries_);
  }
  // Makes room for `messages` more messages holding `chars` characters.
  void Reserve(size_t messages, size_t chars);

  // Changes to the last message: drops its last `n` characters (all it has
  // when fewer), appends `text`, marks it sent or not.
  void EraseFromLast(uint64_t n);
  void AppendToLast(std::string_view text);
  void SetLastSent(bool sent);

  // Puts every letter A-Z in lower case.
  void LowercaseLetters();

  // The same messages, in the same order.
  friend bool operator==(const MessageList& a, const MessageList& b) {
    return a.text_ == b.text_ && a.entries_ == b.entries_;
  }

 private:
  struct Entry {
    uint64_t offset;
    size_t end;  // of its characters in text_; they begin at the previous one's
    bool sent;
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  std::string text_;
  std::vector<Entry> entries_;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_MESSAGE_LIST_H_
