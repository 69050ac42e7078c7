// frmMurvik, the program's one window: a path box, a Go button, a Lowercase
// check box, and the output box that shows a replay's chat. The replay
// itself, read and followed on disk, is the window's ReplayDocument; the
// window builds the controls and connects them to it.
#ifndef MURVIK_VIEWER_FRM_MURVIK_H_
#define MURVIK_VIEWER_FRM_MURVIK_H_

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "chat/chat_lines.h"
#include "viewer/layout.h"
#include "viewer/replay_document.h"
#include "viewer/twips.h"
#include "viewer/window_actions.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace murvik {

class ChatView;
class FindBox;
class ReadingPanel;
enum class ReplayStep;

class frmMurvik : public QWidget {
  Q_OBJECT

 public:
  // Creates the window and its controls at their design geometry, then loads:
  // the path box gets the default replay path, or `command_line` when that is
  // not empty, which is then opened at once. `scale` maps twips to pixels;
  // without one, the window chooses the scale its default font needs.
  explicit frmMurvik(const QString& command_line = QString(), std::optional<TwipScale> scale = std::nullopt,
                     QWidget* parent = nullptr);
  ~frmMurvik() override;

  // The smallest scale, from the screen's logical DPI up, at which the
  // controls' captions and a line of the path box fit their design sizes.
  TwipScale FittingScale() const;

  TwipScale scale() const { return scale_; }
  // The controls' geometry in twips, as last laid out.
  const ControlGeometry& geometry_twips() const { return geometry_; }
  // The replay shown, read and followed; tests and benchmarks shape its
  // reads (chunk sizes, a slowed read, the quiet time before a change is read).
  ReplayDocument& document() { return *document_; }
  // Whether a replay is being read.
  bool reading() const { return document_->reading(); }
  // The window's actions: the keys it answers, its menus' entries.
  const WindowActions& actions() const { return *actions_; }

 public slots:
  // Starts reading the replay named in the path box, on a thread of its
  // own, and shows its chat when read; a read still going is dropped.
  void Go();
  // Stops the read going on, if any, and says so in the output box.
  void Cancel();
  // Opens the replay that `step` leads to in the folder of the path box's
  // replay, as Go does; at either end, says so in a notice over the box.
  void Step(ReplayStep step);
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
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Load(const QString& command_line);
  // The path box's text with every double quote removed: the path Go opens.
  QString PathBoxPath() const;
  // Connects the document's signals to the controls.
  void ConnectDocument();
  // Makes the window's actions, binds their keys and names them in tooltips.
  void MakeActions();
  // Enables each action as the window now stands.
  void UpdateActions();
  // A read has begun; `again` for the replay shown, read again after it
  // changed on disk: the box stays as it is until the new chat replaces it,
  // at the same place, unless the read takes long.
  void ShowStarted(bool again);
  // What became of a read: its chat, its failure, its cancelling.
  void ShowLoaded(std::shared_ptr<const ChatLines> chat, std::optional<ViewPlace> restore);
  void ShowFailed(const QString& reason);
  void ShowCancelled();
  // Shows the box's text, whatever it holds now, in the check box's letter case.
  void ShowInLetterCase();
  // Shows `text` over the output box's top-right corner: for a few seconds,
  // or until the next read when `lasting`.
  void ShowNotice(const QString& text, bool lasting = false);
  void PlaceNotice();
  // The reading panel in the box's place, with the share read.
  void ShowProgress(double share);
  // Hides the reading panel; the focus it held goes to the path box.
  void EndReading();
  // Moves every control to its place in `geometry_`.
  void Place();

  QCheckBox* chk_lowercase_;
  QLineEdit* txt_replay_;
  ChatView* text1_;
  QPushButton* cmd_go_;
  FindBox* find_box_;
  ReadingPanel* reading_panel_;
  std::unique_ptr<WindowActions> actions_;
  QString replays_listed_for_;  // the path whose folder was last listed
  bool other_replays_ = false;  // whether it held another replay
  QLabel* lbl_notice_;
  QTimer* notice_time_;
  ReplayDocument* document_;
  TwipScale scale_;
  ControlGeometry geometry_;
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_FRM_MURVIK_H_
