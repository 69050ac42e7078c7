#include "viewer/output_box.h"

namespace murvik {

OutputBox::OutputBox(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  document()->setUndoRedoEnabled(false);  // read-only: no edits to undo, and setting the text is quicker
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void OutputBox::SetText(const QString& text) {
  text_ = text;
  setPlainText(text);
}

}  // namespace murvik
