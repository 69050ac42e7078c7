#include "viewer/find_box.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "viewer/output_box.h"

namespace murvik {

namespace {

constexpr int kMargin = 4;  // pixels between the find box and the output box's edges

}  // namespace

FindBox::FindBox(OutputBox* box) : QFrame(box), box_(box) {
  setObjectName(QStringLiteral("fraFind"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  txt_find_ = new QLineEdit(this);
  txt_find_->setObjectName(QStringLiteral("txtFind"));
  txt_find_->setPlaceholderText(tr("Find"));
  txt_find_->setAccessibleName(tr("Find in chat"));
  txt_find_->setAccessibleDescription(
      tr("Finds text in the chat as it is typed; Enter or F3 goes to the next match, "
         "Shift+Enter or Shift+F3 to the previous, Esc closes"));
  txt_find_->setMinimumWidth(txt_find_->fontMetrics().averageCharWidth() * 20);
  lbl_count_ = new QLabel(this);
  lbl_count_->setObjectName(QStringLiteral("lblFindCount"));
  lbl_count_->setMinimumWidth(lbl_count_->fontMetrics().horizontalAdvance(tr("No matches")));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  row->addWidget(txt_find_);
  row->addWidget(lbl_count_);
  txt_find_->installEventFilter(this);
  box_->installEventFilter(this);
  connect(txt_find_, &QLineEdit::textEdited, this, &FindBox::Search);
  hide();
}

void FindBox::Open() {
  adjustSize();
  Place();
  show();
  raise();
  txt_find_->selectAll();
  txt_find_->setFocus(Qt::ShortcutFocusReason);
  Search();
}

void FindBox::Close() {
  hide();
  box_->setExtraSelections({});
  box_->setFocus(Qt::OtherFocusReason);
}

void FindBox::Search() {
  // From the current match on, so that it stays current while the term grows
  // and when the same text comes back in the other case.
  const int from = current_ >= 0 ? starts_[current_] : box_->textCursor().selectionStart();
  starts_.clear();
  current_ = -1;
  const QString term = txt_find_->text();
  QList<QTextEdit::ExtraSelection> highlights;
  if (!term.isEmpty()) {
    // The document's plain text has one character for each line break, as
    // the document's positions count them.
    const QString text = box_->document()->toPlainText();
    QTextEdit::ExtraSelection highlight;
    highlight.format.setBackground(palette().color(QPalette::Highlight).lighter(160));
    highlight.cursor = QTextCursor(box_->document());
    for (int at = text.indexOf(term, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(term, at + term.size(), Qt::CaseInsensitive)) {
      if (current_ < 0 && at >= from) current_ = starts_.size();
      starts_.append(at);
      highlight.cursor.setPosition(at);
      highlight.cursor.setPosition(at + term.size(), QTextCursor::KeepAnchor);
      highlights.append(highlight);
    }
    if (current_ < 0 && !starts_.isEmpty()) current_ = 0;
  }
  box_->setExtraSelections(highlights);
  Select();
}

void FindBox::Step(int by) {
  if (starts_.isEmpty()) return;
  current_ = (current_ + by + starts_.size()) % starts_.size();
  Select();
}

void FindBox::Select() {
  if (current_ < 0) {
    lbl_count_->setText(txt_find_->text().isEmpty() ? QString() : tr("No matches"));
    return;
  }
  QTextCursor cursor(box_->document());
  cursor.setPosition(starts_[current_]);
  cursor.setPosition(starts_[current_] + txt_find_->text().size(), QTextCursor::KeepAnchor);
  box_->setTextCursor(cursor);
  box_->ensureCursorVisible();
  lbl_count_->setText(tr("%1 of %2").arg(current_ + 1).arg(starts_.size()));
}

bool FindBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_) {
    if (event->type() == QEvent::Resize) Place();
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (key->matches(QKeySequence::FindNext) || (enter && key->modifiers() == Qt::NoModifier)) {
    Next();
  } else if (key->matches(QKeySequence::FindPrevious) || (enter && key->modifiers() == Qt::ShiftModifier)) {
    Previous();
  } else if (key->key() == Qt::Key_Escape) {
    Close();
  } else {
    return false;
  }
  return true;
}

void FindBox::Place() {
  const QRect inside = box_->viewport()->geometry();
  move(inside.right() + 1 - width() - kMargin, inside.bottom() + 1 - height() - kMargin);
}

}  // namespace murvik
