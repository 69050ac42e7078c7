// The replay the window shows, apart from any widget: reading it on a thread
// of its own, following it on disk, and telling the window what became of
// each read through signals. QtCore only, so that it is tested without a
// window.
#ifndef MURVIK_VIEWER_REPLAY_DOCUMENT_H_
#define MURVIK_VIEWER_REPLAY_DOCUMENT_H_

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "chat/chat_lines.h"
#include "extract/extract.h"

class QTimer;

namespace murvik {

class ChatRead;
class ReplayWatch;

// Where the view of a chat stands, to be put back when the chat is read again.
struct ViewPlace {
  bool at_end = false;  // at the end, where it stays as the chat grows
  size_t top_line = 0;  // otherwise the line at the top
  friend bool operator==(const ViewPlace&, const ViewPlace&) = default;
};

// One replay read at a time. Open starts a read and follows the file from
// then on: when it changes on disk and has been quiet, it is read again.
// Each read ends in exactly one of Loaded, Failed or Cancelled, unless a
// newer read or Close drops it first; a dropped read's result never comes.
class ReplayDocument : public QObject {
  Q_OBJECT

 public:
  explicit ReplayDocument(QObject* parent = nullptr);
  ~ReplayDocument() override;

  // How reads go from now on (chunk sizes, a slowed read); on_sent is the
  // document's own.
  void SetReadOptions(ExtractOptions options) { read_options_ = std::move(options); }
  // How long the replay must be quiet after a change before it is read again.
  void SetFollowQuietTime(std::chrono::milliseconds quiet);
  // Asked, when a change on disk starts a read, where the view stands;
  // nothing (the default) when no chat is in view to keep its place.
  void SetViewPlace(std::function<std::optional<ViewPlace>()> view_place) { view_place_ = std::move(view_place); }

  // Reads `path` (a read going on is dropped) and follows it on disk. A
  // read that ends within a moment has its outcome emitted before this
  // returns, so that a typical replay is shown with no flash of an empty view.
  void Open(const QString& path);
  // Waits up to `timeout` for the read going on; one that ends meanwhile has
  // its outcome emitted before this returns.
  void WaitFor(std::chrono::milliseconds timeout);
  // Stops the read going on, if any, and following the replay; emits Cancelled.
  void Cancel();
  // Drops the read going on, not waiting for it, and follows nothing; emits nothing.
  void Close();

  bool reading() const { return read_ != nullptr; }
  // The replay last opened.
  const QString& path() const { return path_; }

 signals:
  // A read has begun; `again` when it is of the replay opened, changed on disk.
  void Started(bool again);
  // The share read (0 to 1), every few tens of milliseconds once a read has
  // gone on long enough for a panel to be worth showing.
  void Progress(double share);
  // The whole chat read. `restore` is where the view stood when a change on
  // disk started the read: the view goes back there.
  void Loaded(std::shared_ptr<const ChatLines> chat, std::optional<ViewPlace> restore);
  // The replay could not be read, for `reason`; it is no longer followed.
  void Failed(const QString& reason);
  // The read was stopped by Cancel.
  void Cancelled();
  // The replay followed was removed from disk; what was read of it stands.
  void Removed();

 private:
  void Read(const QString& path, bool again);
  // Emits the outcome of the read that has just ended.
  void Finish();
  void EndRead();
  void Tick();

  ExtractOptions read_options_;
  std::function<std::optional<ViewPlace>()> view_place_;
  std::unique_ptr<ChatRead> read_;  // the read going on, if any
  uint64_t reads_started_ = 0;      // the serial of the latest read; an older one's end is ignored
  QString path_;
  std::optional<ViewPlace> restore_;  // for the read going on
  QElapsedTimer read_time_;
  QTimer* read_ticks_;
  ReplayWatch* watch_;
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_REPLAY_DOCUMENT_H_
