// frmMurvik, the program's one window: a path box, a Go button, a Lowercase
// check box, and the output box that shows a replay's chat.
#ifndef MURVIK_VIEWER_FRM_MURVIK_H_
#define MURVIK_VIEWER_FRM_MURVIK_H_

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "extract/extract.h"
#include "viewer/layout.h"
#include "viewer/twips.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShortcut;
class QTimer;

namespace murvik {

class ChatRead;
class ChatView;
class FindBox;
class ReadingPanel;
class ReplayWatch;
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
  // How the window's reads go from now on; tests and benchmarks shape them
  // (chunk sizes, a slowed read). The window sets on_sent itself.
  void SetReadOptions(ExtractOptions options) { read_options_ = std::move(options); }
  // How long a replay followed on disk must be quiet after a change before
  // it is read again.
  void SetFollowQuietTime(std::chrono::milliseconds quiet);
  // Whether a replay is being read.
  bool Reading() const { return read_ != nullptr; }

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
  // Reads `path`; `again` for the replay shown, read again after it changed
  // on disk: the box stays as it is until the new chat replaces it, at the
  // same place, unless the read takes long.
  void Read(const QString& path, bool again);
  // The replay followed on disk was removed, or has changed.
  void ReplayRemoved();
  void ReplayChanged();
  // Shows `text` over the output box's top-right corner: for a few seconds,
  // or until the next read when `lasting`.
  void ShowNotice(const QString& text, bool lasting = false);
  void PlaceNotice();
  // Shows the outcome of the read that has just ended.
  void ShowRead();
  // After each tick of a read: the reading panel once the read takes long.
  void ShowProgress();
  void EndReading();
  // Moves every control to its place in `geometry_`.
  void Place();

  QCheckBox* chk_lowercase_;
  QLineEdit* txt_replay_;
  ChatView* text1_;
  QPushButton* cmd_go_;
  FindBox* find_box_;
  ReadingPanel* reading_panel_;
  QShortcut* cancel_key_;
  QTimer* read_ticks_;
  ExtractOptions read_options_;
  std::unique_ptr<ChatRead> read_;  // the read going on, if any
  uint64_t reads_started_ = 0;
  QString read_path_;
  bool read_again_ = false;  // the read is of the replay shown, changed on disk
  bool was_at_end_ = false;  // where the view stood when it began
  size_t was_top_line_ = 0;
  ReplayWatch* watch_;
  QLabel* lbl_notice_;
  QTimer* notice_time_;
  QElapsedTimer read_time_;
  TwipScale scale_;
  ControlGeometry geometry_;
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_FRM_MURVIK_H_
