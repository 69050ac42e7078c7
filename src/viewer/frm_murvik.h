// frmMurvik, the program's one window: a path box, a Go button, a Lowercase
// check box, and the output box that shows a replay's chat.
#ifndef MURVIK_VIEWER_FRM_MURVIK_H_
#define MURVIK_VIEWER_FRM_MURVIK_H_

#include <QString>
#include <QWidget>
#include <optional>

#include "viewer/layout.h"
#include "viewer/twips.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace murvik {

class FindBox;
class OutputBox;

class frmMurvik : public QWidget {
  Q_OBJECT

 public:
  // Creates the window and its controls at their design geometry, then loads:
  // the path box gets the default replay path, or `command_line` when that is
  // not empty, which is then opened at once. `scale` maps twips to pixels;
  // without one, the window chooses the scale its default font needs.
  explicit frmMurvik(const QString& command_line = QString(), std::optional<TwipScale> scale = std::nullopt,
                     QWidget* parent = nullptr);

  // The smallest scale, from the screen's logical DPI up, at which the
  // controls' captions and a line of the path box fit their design sizes.
  TwipScale FittingScale() const;

  TwipScale scale() const { return scale_; }
  // The controls' geometry in twips, as last laid out.
  const ControlGeometry& geometry_twips() const { return geometry_; }

 public slots:
  // Opens the replay named in the path box and shows its chat.
  void Go();
  // Turns the output box's text to lower case when the check box is checked,
  // to upper case otherwise.
  void Lowercase();
  // Opens the find box over the output box.
  void Find();
  // Asks for a replay with a file dialog (object name "dlgOpen", open while it
  // is asked) that starts in the folder of the path box's path; a chosen file
  // goes into the path box and is opened with Go.
  void OpenFile();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Load(const QString& command_line);
  // Moves every control to its place in `geometry_`.
  void Place();

  QCheckBox* chk_lowercase_;
  QLineEdit* txt_replay_;
  OutputBox* text1_;
  QPushButton* cmd_go_;
  FindBox* find_box_;
  TwipScale scale_;
  ControlGeometry geometry_;
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_FRM_MURVIK_H_
