// What the page's worker keeps: the replay being read, the chat shown and
// the view over it (caret, selection, top row, find), in plain C++ over the
// chat model, so that the page's main thread only draws the rows it is
// given and passes the user's input on.
#ifndef MURVIK_WEB_WEB_CHAT_H_
#define MURVIK_WEB_WEB_CHAT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chat/caret.h"
#include "chat/chat_lines.h"
#include "chat/chat_matches.h"
#include "chat/row_layout.h"
#include "extract/extract.h"

namespace murvik {

class WebChat {
 public:
  WebChat();
  ~WebChat();

  // Reading. Begin drops the chat shown and starts reading a replay of
  // `length` bytes; Buffer gives room for the next `size` bytes, which Feed
  // then scans; Finish shows the chat read, or fails for an empty replay.
  void Begin(uint64_t length);
  unsigned char* Buffer(size_t size);
  void Feed(size_t size);
  bool Finish();
  // The reason the last read failed.
  const std::string& reason() const { return reason_; }
  // Ends a read without a chat: shows `text` (the failure text) or nothing.
  void Drop(std::string_view text);

  // The view. Advances in 1/64 pixel, the width rows wrap at likewise, and
  // the rows the box shows whole.
  void SetMetrics(const Advances& advance, int64_t width, int page_rows);
  void SetLowercase(bool lower);
  void Move(Motion motion, bool select);
  void ScrollBy(int64_t rows);
  // Puts the top row at `share` (0 to 1) of the chat, as a scroll bar does.
  void ScrollToShare(double share);
  // A click in row `row` of the screen (0 is the top row; may lie past the
  // last one) before its `column`th character.
  void Click(int64_t row, uint64_t column, bool extend);
  // Selects the word, or the blanks, at that place.
  void SelectWord(int64_t row, uint64_t column);
  void SelectAll();
  // Characters [begin, end) as shown, each line break as CR LF: the
  // selection's, or the whole chat's, taken a part at a time.
  std::string Shown(uint64_t begin, uint64_t end) const;

  // Find: every match of `term` (case ignored), the current one the first
  // at or after the selection's start; Step goes to the next or previous,
  // wrapping; Close drops the matches, leaving the current one selected.
  void Find(std::string_view term);
  void Step(int by);
  void CloseFind();

  // The screen: its rows, caret, selection and matches, and the facts the
  // page shows around them, as one JSON object.
  std::string Screen() const;

  const ChatLines& chat() const { return *chat_; }
  uint64_t caret() const { return caret_; }
  uint64_t anchor() const { return anchor_; }

 private:
  uint64_t PositionAt(int64_t row, uint64_t column) const;
  void MoveCaret(uint64_t pos, bool keep_anchor);
  void ScrollTo(uint64_t pos);
  void SetTop(RowPos top);
  void SelectMatch();
  void Show(std::unique_ptr<ChatLines> chat);

  std::unique_ptr<ChatLines> chat_;
  RowLayout layout_;
  LetterCase case_ = LetterCase::kAsIs;
  int page_rows_ = 1;
  RowPos top_;
  uint64_t anchor_ = 0, caret_ = 0;
  int64_t preferred_x_ = -1;

  // The read in progress.
  std::unique_ptr<ChatReader> reader_;
  std::unique_ptr<ChatLines> reading_;
  std::vector<unsigned char> buffer_;
  std::string reason_;

  // Find.
  std::string term_;
  std::optional<ChatMatches> matches_;
  uint64_t current_ = 0;  // index of the current match
};

}  // namespace murvik

#endif  // MURVIK_WEB_WEB_CHAT_H_
