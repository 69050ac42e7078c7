#include "viewer/chat_view_accessible.h"

#include <QAccessibleWidget>
#include <algorithm>
#include <climits>
#include <utility>

#include "viewer/chat_view.h"

namespace murvik {

namespace {

// Offsets are ints here; a chat past INT_MAX characters reads up to there.
int Clamped(uint64_t offset) { return int(std::min<uint64_t>(offset, INT_MAX)); }

// The chat view's text as a screen reader reads it, a line break being one
// "\n", in the case shown. Each query builds only the text asked for, so a
// chat of millions of lines answers as fast as a short one.
class ChatViewInterface : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ChatViewInterface(ChatView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}
  using QAccessibleWidget::text;  // the name and description; text(start, end) below is the chat

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
  }

  void selection(int index, int* start, int* end) const override {
    const bool any = index == 0 && selectionCount() == 1;
    *start = any ? Clamped(view()->selection_start()) : 0;
    *end = any ? Clamped(view()->selection_end()) : 0;
  }
  int selectionCount() const override { return view()->selection_start() != view()->selection_end() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override { view()->Select(view()->caret(), view()->caret()); }
  void setSelection(int, int start, int end) override {
    view()->Select(uint64_t(std::max(0, start)), uint64_t(std::max(0, end)));
  }
  int cursorPosition() const override { return Clamped(view()->caret()); }
  void setCursorPosition(int position) override { setSelection(0, position, position); }

  QString text(int start, int end) const override {
    const int count = characterCount();
    if (end < 0 || end > count) end = count;
    start = std::clamp(start, 0, end);
    return view()->Shown(uint64_t(start), uint64_t(end));
  }
  int characterCount() const override { return Clamped(view()->chat().size()); }

  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start, int* end) const override {
    std::tie(*start, *end) = Around(offset, boundary);
    return text(*start, *end);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start, int* end) const override {
    const int at = Around(offset, boundary).first;
    if (at <= 0) return *start = *end = 0, QString();
    return textAtOffset(at - 1, boundary, start, end);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start, int* end) const override {
    const int at = Around(offset, boundary).second;
    if (at >= characterCount()) return *start = *end = characterCount(), QString();
    return textAtOffset(at, boundary, start, end);
  }

  QRect characterRect(int offset) const override {
    const QRect r = view()->CharacterRect(uint64_t(std::max(0, offset)));
    return r.isValid() ? QRect(view()->viewport()->mapToGlobal(r.topLeft()), r.size()) : QRect();
  }
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint at = view()->viewport()->mapFromGlobal(point);
    return view()->viewport()->rect().contains(at) ? Clamped(view()->PositionAt(at)) : -1;
  }
  void scrollToSubstring(int start, int) override { view()->ScrollTo(uint64_t(std::max(0, start))); }
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

 private:
  ChatView* view() const { return static_cast<ChatView*>(widget()); }

  // The span of `boundary` kind around `offset`: a character; a word and
  // the blanks after it; a line (a message) with its line break; or all.
  std::pair<int, int> Around(int offset, QAccessible::TextBoundaryType boundary) const {
    const ChatLines& chat = view()->chat();
    const int count = characterCount();
    offset = std::clamp(offset, 0, count);
    const size_t line = chat.LineOf(uint64_t(offset));
    const int line_start = Clamped(chat.LineStart(line));
    switch (boundary) {
      case QAccessible::CharBoundary:
        return {offset, std::min(offset + 1, count)};
      case QAccessible::WordBoundary: {
        const std::string_view text = chat.Line(line);
        size_t begin = size_t(offset - line_start), end = begin;
        while (begin > 0 && text[begin - 1] != ' ') --begin;
        while (end < text.size() && text[end] != ' ') ++end;
        while (end < text.size() && text[end] == ' ') ++end;
        return {line_start + int(begin), line_start + int(end)};
      }
      case QAccessible::SentenceBoundary:
      case QAccessible::ParagraphBoundary:
      case QAccessible::LineBoundary:
        return {line_start, std::min(count, Clamped(chat.LineEnd(line)) + (line + 1 < chat.line_count() ? 1 : 0))};
      case QAccessible::NoBoundary:
        break;
    }
    return {0, count};
  }
};

}  // namespace

QAccessibleInterface* ChatViewAccessible(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("murvik::ChatView") && object && object->isWidgetType())
    return new ChatViewInterface(static_cast<ChatView*>(object));
  return nullptr;
}

}  // namespace murvik
