// The find box: a small bar over the output box's bottom-right corner that
// finds text in the chat as it is typed.
#ifndef MURVIK_VIEWER_FIND_BOX_H_
#define MURVIK_VIEWER_FIND_BOX_H_

#include <QFrame>
#include <cstdint>

class QLabel;
class QLineEdit;

namespace murvik {

class ChatView;

class FindBox : public QFrame {
  Q_OBJECT

 public:
  // A hidden find box inside `view`, which it searches.
  explicit FindBox(ChatView* view);

  // Shows the box with its text selected and the focus in it, and searches.
  void Open();
  // Hides the box and the highlights; the current match stays selected in
  // the view, which takes the focus.
  void Close();
  // Finds every match of the box's text in the view's chat, ignoring case,
  // highlights them all and selects the current one: the first that starts
  // where the current selection starts, or after it, else the first. Run
  // after the view's text changes while the box is open.
  void Search();
  // Selects the next or the previous match, wrapping at the ends.
  void Next() { Step(1); }
  void Previous() { Step(-1); }

 signals:
  // The matches were found again, or dropped as the box closed.
  void matchesChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int by);
  // Selects match `current_`, scrolls it into view and shows "N of M".
  void Select();
  void Place();

  ChatView* view_;
  QLineEdit* txt_find_;
  QLabel* lbl_count_;
  size_t term_length_ = 0;
  long current_ = -1;        // which of the view's highlights is the current match
  uint64_t current_at_ = 0;  // where it starts
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_FIND_BOX_H_
