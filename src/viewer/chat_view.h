// The window's output box: a read-only view of a chat of any size.
#ifndef MURVIK_VIEWER_CHAT_VIEW_H_
#define MURVIK_VIEWER_CHAT_VIEW_H_

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QFont>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "chat/caret.h"
#include "chat/chat_lines.h"
#include "chat/row_layout.h"

class QMenu;

namespace murvik {

// Shows a chat kept once (ChatLines) and lays out only the lines on screen,
// so a chat of a million lines costs no more to show than one of ten. Long
// lines wrap at the view's width; the vertical scroll bar is always shown
// and counts characters. Text is selected with the mouse and the keyboard and
// copied (to X11's primary selection too, as a text box does); Tab moves
// the focus on. Positions count one character per line break.
class ChatView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit ChatView(QWidget* parent = nullptr);

  // Shows `chat` from its start, with nothing selected and no highlights.
  void SetChat(std::shared_ptr<const ChatLines> chat);
  // Shows `text`, split into lines at CR LF, CR or LF.
  void SetText(std::string_view text) { SetChat(std::make_shared<ChatLines>(ChatLines::FromText(text))); }
  const ChatLines& chat() const { return *chat_; }
  // The text as shown, each line break as CR LF, as the chat was read.
  QString Text() const;

  // Shows the letters in `letter_case` from now on; the chat is unchanged.
  // The text is the same text, so textChanged is not emitted.
  void SetLetterCase(LetterCase letter_case);
  LetterCase letter_case() const { return case_; }

  // The grey hint shown while there is no text.
  void SetPlaceholderText(const QString& text);
  const QString& placeholder_text() const { return placeholder_; }

  uint64_t caret() const { return caret_; }
  uint64_t selection_start() const { return std::min(anchor_, caret_); }
  uint64_t selection_end() const { return std::max(anchor_, caret_); }
  // Characters [begin, end) in the case shown, each break as `line_break`.
  QString Shown(uint64_t begin, uint64_t end, std::string_view line_break = "\n") const;
  // The selection as shown, each line break as LF, as Copy puts it.
  QString SelectedText() const;
  // Selects from `anchor` to `caret`, each clamped to the text, and scrolls
  // the caret into view.
  void Select(uint64_t anchor, uint64_t caret);
  void SelectAll();
  // Puts the selection on the clipboard; nothing when none is selected.
  void Copy() const;
  // Makes the context menu with `make` (the window's actions); it deletes
  // itself when closed. Without it there is no context menu.
  void SetContextMenu(std::function<QMenu*(QWidget* parent)> make) { make_menu_ = std::move(make); }

  // Marks `length` characters at each of `starts` (ascending, apart), as the
  // find box's matches; none when empty.
  void SetHighlights(std::vector<uint64_t> starts, uint64_t length);
  const std::vector<uint64_t>& highlights() const { return highlights_; }

  // Scrolls the least that brings position `pos` into view.
  void ScrollTo(uint64_t pos);

  // Scrolls line `line` to the top, as far as the chat's end allows, with
  // the caret at its start; past the last line, scrolls to the end.
  void ScrollToLine(size_t line);

  // The line at the top of the view.
  size_t top_line() const { return top_.line; }
  // Whether the view shows the chat's last row.
  bool AtEnd() const;
  // Rows the view shows whole.
  int PageRows() const;
  // Where the character at `pos` is drawn, in viewport coordinates.
  QRect CharacterRect(uint64_t pos) const;
  // The position nearest to `point`, in viewport coordinates.
  uint64_t PositionAt(QPoint point) const;

 signals:
  // A new chat is shown.
  void textChanged();
  // The caret or the selection moved.
  void selectionChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetTop(RowPos top);
  void SyncScrollBar();
  // The scroll bar's value that puts `row` at the top.
  int ScrollValue(RowPos row) const;
  void ScrollBarAction(int action);
  void MoveCaret(uint64_t pos, bool keep_anchor);
  void SelectionMade();
  void UpdateMetrics();

  std::function<QMenu*(QWidget*)> make_menu_;
  std::shared_ptr<const ChatLines> chat_;
  LetterCase case_ = LetterCase::kAsIs;
  QString placeholder_;
  QFont font_;        // the widget's font, drawn without kerning or ligatures
  RowLayout layout_;  // the chat's rows, at the font's advances as shown and the viewport's width
  int row_height_ = 1;
  int ascent_ = 0;

  RowPos top_;
  uint64_t anchor_ = 0, caret_ = 0;
  int64_t preferred_x_ = -1;  // where Up and Down keep the caret, 1/64 pixel
  std::vector<uint64_t> highlights_;
  uint64_t highlight_length_ = 0;
  bool syncing_ = false;  // the scroll bar is being set from top_
  int scroll_shift_ = 0;  // the scroll bar counts characters shifted right by this
  bool dragging_ = false;
  QPoint drag_at_;
  QBasicTimer drag_scroll_;
  int wheel_rest_ = 0;  // wheel angle not yet scrolled
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_CHAT_VIEW_H_
