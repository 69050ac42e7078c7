// The chat as a front end keeps it: every line's characters once, with a
// compact index of where the lines start. Plain C++, so that the window's
// reader thread and the web page's worker can build it and tests can check
// it without Qt.
#ifndef MURVIK_CHAT_CHAT_LINES_H_
#define MURVIK_CHAT_CHAT_LINES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "extract/message_list.h"

namespace murvik {

// Positions count one character per line break, as a text box counts them:
// line i starts at LineStart(i) and its break, if it has one, stands at
// LineEnd(i). There is always at least one line; a text that ends with a
// break ends with an empty line.
//
// The index costs about an eighth of a byte per line: only the start of every
// kBlock-th line is kept, and the lines between are found by scanning the
// text for breaks, except in blocks of lines that span more than kScanned
// characters, whose every start is kept (at most an eighth of a byte per
// character).
class ChatLines {
 public:
  static constexpr size_t kBlock = 128;
  static constexpr uint64_t kScanned = 8192;

  ChatLines() = default;
  // `text` split at every CR LF, lone CR or lone LF.
  static ChatLines FromText(std::string_view text);

  // Appends `messages` in order: each message's characters, and a line break
  // after each sent one.
  void Append(const MessageList& messages);
  // The same, but a message left open at the end that starts a line of its
  // own is kept where it lies, in `messages`, rather than copied: that is
  // the core's whole chat when the replay ends inside one long message.
  void Append(MessageList&& messages);

  // Makes room for `characters` characters in all, so that growing to them
  // moves nothing.
  void Reserve(uint64_t characters);

  // Characters, line breaks included.
  uint64_t size() const { return head_size() + tail().size(); }
  bool empty() const { return size() == 0; }
  size_t line_count() const { return sealed_.size() * kBlock + open_size_; }
  uint64_t LineStart(size_t line) const;
  // Where line `line`'s characters end: its break, or the end of the text.
  uint64_t LineEnd(size_t line) const { return line + 1 < line_count() ? LineStart(line + 1) - 1 : size(); }
  std::string_view Line(size_t line) const;
  // The character at `pos` (< size()), a line break being '\n'.
  char At(uint64_t pos) const { return pos < head_size() ? head_.data()[pos] : tail()[pos - head_size()]; }
  // The line that holds position `pos` (a break belongs to the line it ends).
  size_t LineOf(uint64_t pos) const;

  // Characters [begin, end), clamped to the text, each break as `line_break`.
  std::string Slice(uint64_t begin, uint64_t end, std::string_view line_break = "\n") const;

  // Where every match of `term` starts, ignoring the case of A-Z, in order,
  // each after the end of the one before. Nothing for an empty term.
  std::vector<uint64_t> FindAll(std::string_view term) const;
  // Hands `found` where the matches of `term` that start in [from, to)
  // start, as FindAll finds them, a batch at a time, in order; `found`
  // returns false to stop the scan. `from` is where a match may start: 0,
  // the start of one of FindAll's matches, or what an earlier call returned.
  // Returns where the next match may start (at least `to`), unless stopped.
  uint64_t ForEachMatch(std::string_view term, uint64_t from, uint64_t to,
                        const std::function<bool(std::span<const uint64_t>)>& found) const;

 private:
  struct Block {
    uint64_t start;  // of its first line
    uint32_t kept;   // 1 + which kBlock starts of kept_starts_ are its lines', or 0 when found by scanning
  };

  // The text is the head, whose lines end with a break, then the tail: the
  // last line, when it is a message kept in kept_.
  uint64_t head_size() const { return head_.size(); }
  std::string_view head() const { return {head_.data(), head_.size()}; }
  std::string_view tail() const { return kept_.empty() ? std::string_view() : kept_.back().text; }
  // Appends messages [from, to) of `messages`.
  void Append(const MessageList& messages, size_t from, size_t to);
  // A line starts at `start`, after a break just added.
  void LineStarts(uint64_t start) {
    if (open_size_ == kBlock) Seal(start);
    open_[open_size_++] = start;
  }
  // Puts the complete last block with the others; the next starts at `next`.
  void Seal(uint64_t next);
  // Copies the tail into the head, so that more can follow it.
  void TakeInTail();

  GrowingArray<char> head_;
  MessageList kept_;                     // as handed over, its last message the tail
  std::vector<Block> sealed_;            // every complete block of kBlock lines but the last
  std::vector<uint64_t> kept_starts_;    // the starts of the blocks that span more than kScanned
  std::array<uint64_t, kBlock> open_{};  // the starts of the last block's lines
  size_t open_size_ = 1;                 // 1 to kBlock
};

// How the window shows the chat's letters.
enum class LetterCase { kAsIs, kLower, kUpper };

// `c` in `letter_case`; only A-Z and a-z change.
inline char InCase(char c, LetterCase letter_case) {
  if (letter_case == LetterCase::kLower && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if (letter_case == LetterCase::kUpper && c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  return c;
}

// Characters [begin, end) of `chat` as a front end shows, copies and saves
// them: in `letter_case`, each line break as `line_break`.
std::string TextAsShown(const ChatLines& chat, uint64_t begin, uint64_t end, LetterCase letter_case,
                        std::string_view line_break = "\n");

}  // namespace murvik

#endif  // MURVIK_CHAT_CHAT_LINES_H_
