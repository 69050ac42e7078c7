// The window's output box.
#ifndef MURVIK_VIEWER_OUTPUT_BOX_H_
#define MURVIK_VIEWER_OUTPUT_BOX_H_

#include <QPlainTextEdit>
#include <QString>

namespace murvik {

// A read-only plain-text box whose text can be selected and copied with mouse
// and keyboard, that wraps long lines, keeps a vertical scroll bar and lets
// Tab move the focus on. It keeps its text exactly as set, CR LF pairs and
// lone CRs included, and shows each line break as a new line (the text
// document behind the box would turn every one of them into a plain break).
class OutputBox : public QPlainTextEdit {
 public:
  explicit OutputBox(QWidget* parent = nullptr);

  // Shows `text` and keeps it as given. Use this, not setPlainText() or
  // clear(), which would leave Text() behind.
  void SetText(const QString& text);
  // The text as last given to SetText; empty at first.
  const QString& Text() const { return text_; }

 private:
  QString text_;
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_OUTPUT_BOX_H_
