// What the window shows in the output box's place while a replay takes long
// to read: the file's name, the share read, and Cancel.
#ifndef MURVIK_VIEWER_READING_PANEL_H_
#define MURVIK_VIEWER_READING_PANEL_H_

#include <QFrame>
#include <QString>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace murvik {

class ReadingPanel : public QFrame {
  Q_OBJECT

 public:
  // A hidden panel; `on_cancel` runs when Cancel is clicked.
  ReadingPanel(QWidget* parent, std::function<void()> on_cancel);

  // Shows the panel for the replay `file`, nothing read yet.
  void Start(const QString& file);
  // Shows `share` (0 to 1) of the file read.
  void SetShare(double share);

 private:
  QLabel* lbl_reading_;
  QProgressBar* bar_;
  QPushButton* cmd_cancel_;
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_READING_PANEL_H_
