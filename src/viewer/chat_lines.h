// The chat as the window keeps it: every line's characters once, in one
// buffer, with an index of where each line starts. Plain C++, so that the
// window's reader thread can build it and tests can check it without Qt.
#ifndef MURVIK_VIEWER_CHAT_LINES_H_
#define MURVIK_VIEWER_CHAT_LINES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "extract/chat.h"

namespace murvik {

// Positions count one character per line break, as a text box counts them:
// line i starts at LineStart(i) and its break, if it has one, stands at
// LineEnd(i). There is always at least one line; a text that ends with a
// break ends with an empty line.
class ChatLines {
 public:
  ChatLines() = default;
  // `text` split at every CR LF, lone CR or lone LF.
  static ChatLines FromText(std::string_view text);

  // Appends `messages` in order: each message's characters, and a line break
  // after each sent one.
  void Append(const MessageList& messages);

  // Characters, line breaks included.
  uint64_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  size_t line_count() const { return starts_.size(); }
  uint64_t LineStart(size_t line) const { return starts_[line]; }
  // Where line `line`'s characters end: its break, or the end of the text.
  uint64_t LineEnd(size_t line) const { return line + 1 < starts_.size() ? starts_[line + 1] - 1 : text_.size(); }
  std::string_view Line(size_t line) const {
    return std::string_view(text_).substr(LineStart(line), LineEnd(line) - LineStart(line));
  }
  // The character at `pos` (< size()), a line break being '\n'.
  char At(uint64_t pos) const { return text_[pos]; }
  // The line that holds position `pos` (a break belongs to the line it ends).
  size_t LineOf(uint64_t pos) const;

  // Characters [begin, end), clamped to the text, each break as `line_break`.
  std::string Slice(uint64_t begin, uint64_t end, std::string_view line_break = "\n") const;

  // Where every match of `term` starts, ignoring the case of A-Z, in order,
  // each after the end of the one before. Nothing for an empty term.
  std::vector<uint64_t> FindAll(std::string_view term) const;

 private:
  std::string text_;                 // the lines, each break stored as '\n'
  std::vector<uint64_t> starts_{0};  // where each line starts
};

// How the window shows the chat's letters.
enum class LetterCase { kAsIs, kLower, kUpper };

// `c` in `letter_case`; only A-Z and a-z change.
inline char InCase(char c, LetterCase letter_case) {
  if (letter_case == LetterCase::kLower && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if (letter_case == LetterCase::kUpper && c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  return c;
}

}  // namespace murvik

#endif  // MURVIK_VIEWER_CHAT_LINES_H_
