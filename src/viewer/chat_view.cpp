#include "viewer/chat_view.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "viewer/chat_view_accessible.h"

namespace murvik {

namespace {

constexpr int kMargin = 4;  // pixels between the text and the view's edges, as a text box has

QString Latin1(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

// Text taken from a chat only when somebody pastes it: copying a whole
// chat of many megabytes costs nothing until then, and the chat it comes
// from is kept alive by the copy.
class ChatMimeData : public QMimeData {
 public:
  ChatMimeData(std::shared_ptr<const ChatLines> chat, uint64_t begin, uint64_t end, LetterCase letter_case)
      : chat_(std::move(chat)), begin_(begin), end_(end), case_(letter_case) {}

  QStringList formats() const override { return {QStringLiteral("text/plain")}; }
  bool hasFormat(const QString& mime_type) const override { return mime_type == QLatin1String("text/plain"); }

 protected:
  QVariant retrieveData(const QString& mime_type, QMetaType) const override {
    if (mime_type != QLatin1String("text/plain")) return {};
    return Latin1(TextAsShown(*chat_, begin_, end_, case_));
  }

 private:
  std::shared_ptr<const ChatLines> chat_;
  uint64_t begin_, end_;
  LetterCase case_;
};

}  // namespace

ChatView::ChatView(QWidget* parent) : QAbstractScrollArea(parent), chat_(std::make_shared<ChatLines>()) {
  static const bool accessible = (QAccessible::installFactory(&ChatViewAccessible), true);
  (void)accessible;
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setCursor(Qt::IBeamCursor);
  verticalScrollBar()->installEventFilter(this);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &ChatView::ScrollBarAction);
  layout_.SetChat(*chat_);
  UpdateMetrics();
}

void ChatView::SetChat(std::shared_ptr<const ChatLines> chat) {
  chat_ = chat ? std::move(chat) : std::make_shared<ChatLines>();
  layout_.SetChat(*chat_);
  top_ = {};
  anchor_ = caret_ = 0;
  preferred_x_ = -1;
  highlights_.clear();
  highlight_length_ = 0;
  SyncScrollBar();
  viewport()->update();
  emit textChanged();
  emit selectionChanged();
}

QString ChatView::Text() const { return Shown(0, chat_->size(), "\r\n"); }

void ChatView::SetLetterCase(LetterCase letter_case) {
  if (letter_case == case_) return;  // (a line of millions of characters takes a while to wrap again)
  case_ = letter_case;
  UpdateMetrics();  // the letters' widths change, and with them the rows
}

void ChatView::SetPlaceholderText(const QString& text) {
  placeholder_ = text;
  if (chat_->empty()) viewport()->update();
}

QString ChatView::SelectedText() const { return Shown(selection_start(), selection_end()); }

void ChatView::Select(uint64_t anchor, uint64_t caret) {
  anchor_ = std::min(anchor, chat_->size());
  MoveCaret(caret, true);
}

void ChatView::SelectAll() {
  anchor_ = 0;
  caret_ = chat_->size();
  viewport()->update();
  SelectionMade();
  emit selectionChanged();
}

void ChatView::Copy() const {
  if (selection_start() == selection_end()) return;
  QGuiApplication::clipboard()->setMimeData(new ChatMimeData(chat_, selection_start(), selection_end(), case_));
}

void ChatView::SetHighlights(std::vector<uint64_t> starts, uint64_t length) {
  highlights_ = std::move(starts);
  highlight_length_ = length;
  viewport()->update();
}

void ChatView::ScrollToLine(size_t line) {
  if (line >= chat_->line_count()) return Select(chat_->size(), chat_->size());
  anchor_ = caret_ = chat_->LineStart(line);
  SetTop({line, 0});
}

bool ChatView::AtEnd() const { return top_ >= layout_.LastTop(PageRows()); }

int ChatView::PageRows() const { return std::max(1, (viewport()->height() - kMargin) / row_height_); }

QRect ChatView::CharacterRect(uint64_t pos) const {
  pos = std::min(pos, chat_->size());
  const RowPos row = layout_.RowOf(pos);
  RowPos at = top_;
  int rows = 0;
  while (at < row && rows < PageRows() && layout_.Move(at, 1) == 1) ++rows;
  if (at != row) return {};  // not on screen
  const char c = pos < chat_->size() ? chat_->At(pos) : ' ';
  return QRect(kMargin + int(layout_.XOf(row, pos) / 64), kMargin + rows * row_height_,
               std::max(1, layout_.advances()[static_cast<unsigned char>(IsBlank(c) ? ' ' : c)] / 64), row_height_);
}

uint64_t ChatView::PositionAt(QPoint point) const {
  if (chat_->empty()) return 0;
  const int64_t want = static_cast<int64_t>(std::floor(double(point.y() - kMargin) / row_height_));
  RowPos at = top_;
  const int64_t moved = layout_.Move(at, want);
  if (moved < want) return chat_->size();  // below the last row
  if (moved > want) return 0;              // above the first
  return layout_.PositionAtX(at, int64_t(point.x() - kMargin) * 64);
}

QString ChatView::Shown(uint64_t begin, uint64_t end, std::string_view line_break) const {
  return Latin1(TextAsShown(*chat_, begin, end, case_, line_break));
}

void ChatView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& colours = palette();
  layout_.Trim();
  if (chat_->empty()) {
    if (!placeholder_.isEmpty()) {
      painter.setPen(colours.color(QPalette::PlaceholderText));
      painter.drawText(viewport()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, placeholder_);
    }
    if (hasFocus()) painter.fillRect(kMargin, kMargin, 1, row_height_, colours.color(QPalette::Text));
    return;
  }
  painter.setFont(font_);
  const uint64_t s0 = selection_start(), s1 = selection_end();
  const RowPos caret_row = layout_.RowOf(caret_);
  const QColor mark = colours.color(QPalette::Highlight).lighter(160);
  const RowPos last = layout_.LastRow();
  RowPos at = top_;
  for (int y = kMargin; y < viewport()->height(); y += row_height_) {
    const uint64_t begin = layout_.RowBegin(at), end = layout_.RowEnd(at);
    const auto x_of = [&](uint64_t pos) { return kMargin + layout_.XOf(at, pos) / 64.0; };
    const auto fill = [&](uint64_t from, uint64_t to, double extra, const QColor& colour) {
      painter.fillRect(QRectF(x_of(from), y, x_of(to) - x_of(from) + extra, row_height_), colour);
    };
    // The find box's matches, then the selection over them, a selected line
    // break shown as a space's width after the line.
    auto match = std::lower_bound(highlights_.begin(), highlights_.end(),
                                  begin >= highlight_length_ ? begin - highlight_length_ + 1 : 0);
    for (; match != highlights_.end() && *match < end; ++match)
      fill(std::max(*match, begin), std::min(*match + highlight_length_, end), 0, mark);
    const uint64_t from = std::max(s0, begin), to = std::min(s1, end);
    const bool break_selected =
        end == chat_->LineEnd(at.line) && at.line + 1 < chat_->line_count() && s0 <= end && s1 > end;
    if (from < to || break_selected)
      fill(from, std::max(from, to), break_selected ? layout_.advances()[' '] / 64.0 : 0,
           colours.color(QPalette::Highlight));
    painter.setPen(colours.color(QPalette::Text));
    painter.drawText(QPointF(kMargin, y + ascent_), Shown(begin, end));
    if (from < to) {
      painter.setPen(colours.color(QPalette::HighlightedText));
      painter.drawText(QPointF(x_of(from), y + ascent_), Shown(from, to));
    }
    if (at == caret_row && hasFocus())
      painter.fillRect(QRectF(x_of(caret_), y, 1, row_height_), colours.color(QPalette::Text));
    if (at == last) break;
    layout_.Move(at, 1);
  }
}

void ChatView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const int64_t width = int64_t(std::max(1, viewport()->width() - 2 * kMargin)) * 64;
  if (layout_.SetWidth(width)) top_ = layout_.Clamped(top_);
  SyncScrollBar();
}

void ChatView::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::SelectAll) return SelectAll();
  if (event == QKeySequence::Copy) return Copy();
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    // Shift+F10 opens the context menu as the Menu key does, as on Windows and KDE.
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    return contextMenuEvent(&menu);
  }
  using K = QKeySequence;
  static constexpr struct {
    K::StandardKey move, select;
    Motion motion;
  } kKeys[] = {
      {K::MoveToPreviousChar, K::SelectPreviousChar, Motion::kPrevChar},
      {K::MoveToNextChar, K::SelectNextChar, Motion::kNextChar},
      {K::MoveToPreviousWord, K::SelectPreviousWord, Motion::kPrevWord},
      {K::MoveToNextWord, K::SelectNextWord, Motion::kNextWord},
      {K::MoveToPreviousLine, K::SelectPreviousLine, Motion::kPrevRow},
      {K::MoveToNextLine, K::SelectNextLine, Motion::kNextRow},
      {K::MoveToStartOfLine, K::SelectStartOfLine, Motion::kRowStart},
      {K::MoveToEndOfLine, K::SelectEndOfLine, Motion::kRowEnd},
      {K::MoveToPreviousPage, K::SelectPreviousPage, Motion::kPrevPage},
      {K::MoveToNextPage, K::SelectNextPage, Motion::kNextPage},
      {K::MoveToStartOfDocument, K::SelectStartOfDocument, Motion::kStart},
      {K::MoveToEndOfDocument, K::SelectEndOfDocument, Motion::kEnd},
  };
  for (const auto& key : kKeys) {
    const bool select = event->matches(key.select);
    if (!select && !event->matches(key.move)) continue;
    const bool vertical = MovesByRows(key.motion);
    if (vertical && preferred_x_ < 0) preferred_x_ = layout_.XOf(layout_.RowOf(caret_), caret_);
    const uint64_t target = MotionTarget(*chat_, layout_, key.motion, caret_, preferred_x_, PageRows());
    if (key.motion == Motion::kPrevPage || key.motion == Motion::kNextPage) {
      RowPos top = top_;
      layout_.Move(top, key.motion == Motion::kNextPage ? PageRows() : -PageRows());
      SetTop(top);
    }
    const int64_t keep_x = preferred_x_;
    MoveCaret(target, select);
    if (vertical) preferred_x_ = keep_x;
    if (select) SelectionMade();
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void ChatView::MoveCaret(uint64_t pos, bool keep_anchor) {
  caret_ = std::min(pos, chat_->size());
  if (!keep_anchor) anchor_ = caret_;
  preferred_x_ = -1;
  ScrollTo(caret_);
  viewport()->update();
  emit selectionChanged();
  if (QAccessible::isActive()) {
    QAccessibleTextCursorEvent moved(this, int(std::min<uint64_t>(caret_, INT_MAX)));
    QAccessible::updateAccessibility(&moved);
  }
}

void ChatView::ScrollTo(uint64_t pos) {
  const RowPos top = TopShowing(layout_, top_, std::min(pos, chat_->size()), PageRows());
  if (top != top_) SetTop(top);
}

// A selection made by the user goes to X11's primary selection, as a text
// box puts it there, and is announced to screen readers.
void ChatView::SelectionMade() {
  if (QAccessible::isActive()) {
    QAccessibleTextSelectionEvent selected(this, int(std::min<uint64_t>(selection_start(), INT_MAX)),
                                           int(std::min<uint64_t>(selection_end(), INT_MAX)));
    QAccessible::updateAccessibility(&selected);
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (selection_start() == selection_end() || !clipboard->supportsSelection()) return;
  clipboard->setMimeData(new ChatMimeData(chat_, selection_start(), selection_end(), case_), QClipboard::Selection);
}

void ChatView::SetTop(RowPos top) {
  top_ = std::min(top, layout_.LastTop(PageRows()));
  SyncScrollBar();
  viewport()->update();
}

// The scroll bar counts characters, not lines, so that its handle is sized
// and placed by the share of the chat above the view in a chat of any
// shape, one line of millions of characters too: its value is where the top
// row starts, shifted right as far as it takes to fit an int.
void ChatView::SyncScrollBar() {
  const RowPos last_top = layout_.LastTop(PageRows());
  top_ = std::min(top_, last_top);
  const uint64_t last = layout_.RowBegin(last_top);
  RowPos below = top_;
  const uint64_t page_end = layout_.Move(below, PageRows()) == PageRows() ? layout_.RowBegin(below) : chat_->size();
  const uint64_t page = std::max<uint64_t>(1, page_end - layout_.RowBegin(top_));
  scroll_shift_ = 0;
  while (((last + page) >> scroll_shift_) > (1u << 30)) ++scroll_shift_;
  syncing_ = true;
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, int(last >> scroll_shift_));
  bar->setPageStep(std::max(1, int(page >> scroll_shift_)));
  bar->setSingleStep(1);
  bar->setValue(ScrollValue(top_));
  syncing_ = false;
}

int ChatView::ScrollValue(RowPos row) const { return int(layout_.RowBegin(row) >> scroll_shift_); }

// The scroll bar's arrows and its trough move the view by rows and pages, as
// the keys do; a drag puts the top row at the share of the chat dragged to.
void ChatView::ScrollBarAction(int action) {
  const int64_t rows = action == QAbstractSlider::SliderSingleStepAdd   ? 1
                       : action == QAbstractSlider::SliderSingleStepSub ? -1
                       : action == QAbstractSlider::SliderPageStepAdd   ? PageRows()
                       : action == QAbstractSlider::SliderPageStepSub   ? -PageRows()
                                                                        : 0;
  if (rows == 0) return;
  RowPos top = top_;
  layout_.Move(top, rows);
  top_ = std::min(top, layout_.LastTop(PageRows()));
  verticalScrollBar()->setSliderPosition(ScrollValue(top_));
  viewport()->update();  // (in a chat of over a billion characters, a row may not change the value)
}

void ChatView::scrollContentsBy(int, int) {
  if (syncing_) return;
  const QScrollBar* bar = verticalScrollBar();
  const int value = bar->value();
  if (value >= bar->maximum()) {
    top_ = layout_.LastTop(PageRows());
  } else if (value != ScrollValue(top_)) {
    top_ =
        std::min(layout_.RowOf(std::min(uint64_t(value) << scroll_shift_, chat_->size())), layout_.LastTop(PageRows()));
  }
  viewport()->update();
}

bool ChatView::eventFilter(QObject* watched, QEvent* event) {
  // The wheel over the scroll bar scrolls rows, as over the text.
  if (watched != verticalScrollBar() || event->type() != QEvent::Wheel)
    return QAbstractScrollArea::eventFilter(watched, event);
  wheelEvent(static_cast<QWheelEvent*>(event));
  return true;
}

void ChatView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  dragging_ = true;
  drag_at_ = event->position().toPoint();
  MoveCaret(PositionAt(drag_at_), event->modifiers().testFlag(Qt::ShiftModifier));
}

void ChatView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  drag_at_ = event->position().toPoint();
  const bool outside = drag_at_.y() < 0 || drag_at_.y() >= viewport()->height();
  if (outside && !drag_scroll_.isActive()) drag_scroll_.start(50, this);
  if (!outside) drag_scroll_.stop();
  MoveCaret(PositionAt(drag_at_), true);
}

void ChatView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return QAbstractScrollArea::mouseReleaseEvent(event);
  dragging_ = false;
  drag_scroll_.stop();
  SelectionMade();
}

void ChatView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || chat_->empty()) return;
  // The word under the pointer, or the blanks there.
  const auto [begin, end] = WordAt(*chat_, std::min(PositionAt(event->position().toPoint()), chat_->size() - 1));
  anchor_ = begin;
  MoveCaret(end, true);
  SelectionMade();
}

void ChatView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != drag_scroll_.timerId()) return QAbstractScrollArea::timerEvent(event);
  RowPos top = top_;
  layout_.Move(top, drag_at_.y() < 0 ? -1 : 1);
  SetTop(top);
  MoveCaret(PositionAt(drag_at_), true);
}

void ChatView::wheelEvent(QWheelEvent* event) {
  // A notch is 120; each scrolls the platform's number of rows.
  wheel_rest_ += event->angleDelta().y();
  const int rows = wheel_rest_ / 120 * QApplication::wheelScrollLines();
  wheel_rest_ %= 120;
  if (rows == 0) return;
  RowPos top = top_;
  layout_.Move(top, -rows);
  SetTop(top);
  event->accept();
}

void ChatView::contextMenuEvent(QContextMenuEvent* event) {
  if (!make_menu_) return;
  QMenu* menu = make_menu_(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Keyboard) {
    // From the keyboard the menu opens at the caret, kept within the view.
    const QRect inside = viewport()->rect();
    const QPoint below = CharacterRect(caret_).bottomLeft();
    at = viewport()->mapToGlobal(
        QPoint(std::clamp(below.x(), 0, inside.right()), std::clamp(below.y(), 0, inside.bottom())));
  }
  menu->popup(at);
}

void ChatView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateMetrics();
}

void ChatView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void ChatView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

// The font as drawn: without kerning or ligatures, so that each character
// takes exactly its own advance and rows can be measured a character at a
// time.
void ChatView::UpdateMetrics() {
  font_ = font();
  font_.setKerning(false);
  font_.setStyleStrategy(QFont::PreferNoShaping);
  const QFontMetricsF metrics(font_);
  Advances advance;
  for (int c = 0; c < 256; ++c)
    advance[c] = int32_t(std::lround(metrics.horizontalAdvance(QLatin1Char(InCase(char(c), case_))) * 64));
  layout_.SetAdvances(advance);
  row_height_ = std::max(1, int(std::ceil(metrics.lineSpacing())));
  ascent_ = int(std::ceil(metrics.ascent()));
  top_ = layout_.Clamped(top_);
  SyncScrollBar();
  viewport()->update();
}

}  // namespace murvik
