#include "viewer/find_box.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <string>

#include "viewer/chat_view.h"

namespace murvik {

namespace {

constexpr int kMargin = 4;  // pixels between the find box and the output box's edges

}  // namespace

FindBox::FindBox(ChatView* view) : QFrame(view), view_(view) {
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
  view_->installEventFilter(this);
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
  view_->SetHighlights({}, 0);
  view_->setFocus(Qt::OtherFocusReason);
  emit matchesChanged();
}

void FindBox::Search() {
  // From the current match on, so that it stays current while the term grows
  // and when the same text comes back in the other case.
  const std::vector<uint64_t>& found = view_->highlights();
  // (The view drops its highlights with its chat, so where the current match
  // was is kept here.)
  const uint64_t from = current_ >= 0 ? current_at_ : view_->selection_start();
  // The chat is ASCII, so a term with any other character matches nothing.
  const QString term = txt_find_->text();
  const bool ascii = std::all_of(term.begin(), term.end(), [](QChar c) { return c.unicode() < 128; });
  term_length_ = size_t(term.size());
  view_->SetHighlights(ascii ? view_->chat().FindAll(term.toStdString()) : std::vector<uint64_t>{}, term_length_);
  const auto at = std::lower_bound(found.begin(), found.end(), from);
  current_ = found.empty() ? -1 : at == found.end() ? 0 : long(at - found.begin());
  Select();
  emit matchesChanged();
}

void FindBox::Step(int by) {
  const long count = long(view_->highlights().size());
  if (count == 0) return;
  current_ = (current_ + by + count) % count;
  Select();
}

void FindBox::Select() {
  if (current_ < 0) {
    lbl_count_->setText(txt_find_->text().isEmpty() ? QString() : tr("No matches"));
    return;
  }
  current_at_ = view_->highlights()[size_t(current_)];
  view_->Select(current_at_, current_at_ + term_length_);
  lbl_count_->setText(tr("%1 of %2").arg(current_ + 1).arg(view_->highlights().size()));
}

bool FindBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_) {
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
  const QRect inside = view_->viewport()->geometry();
  move(inside.right() + 1 - width() - kMargin, inside.bottom() + 1 - height() - kMargin);
}

}  // namespace murvik
