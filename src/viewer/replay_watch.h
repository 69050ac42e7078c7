// Following a replay on disk: tells when the file has been rewritten, replaced,
// grown, shrunk or removed, so that the window can read it again.
#ifndef MURVIK_VIEWER_REPLAY_WATCH_H_
#define MURVIK_VIEWER_REPLAY_WATCH_H_

#include <sys/types.h>

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <ctime>

namespace murvik {

class ReplayWatch : public QObject {
  Q_OBJECT

 public:
  // Watches nothing yet; a change is reported once the file has been quiet for `quiet`.
  explicit ReplayWatch(std::chrono::milliseconds quiet = std::chrono::milliseconds(500), QObject* parent = nullptr);

  // Watches `path` (in place of what was watched), its state now being the one already read.
  void Watch(const QString& path);
  // Watches nothing; no signal comes until the next Watch.
  void Stop();
  // How long the file must be quiet before a change is reported.
  void SetQuietTime(std::chrono::milliseconds quiet) { quiet_.setInterval(quiet); }
  // The path watched, or empty.
  const QString& path() const { return path_; }

 signals:
  // The file changed (rewritten, replaced, grown, shrunk, or back after a removal) and has been quiet since.
  void Changed();
  // The file is gone; sent at once, and once until it comes back.
  void Removed();

 private:
  // What tells one state of the file from another.
  struct Snapshot {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified = {};
    bool operator==(const Snapshot& o) const;
  };
  // The file that bears the path now; a missing or irregular one does not exist.
  Snapshot SnapshotNow() const;
  // Looks at the file after an event; `from_file` when the event was the file's own.
  void Check(bool from_file);
  // The quiet time has passed since the last change: reports it, unless the file moved again.
  void QuietTimeOver();
  // Watches the folder, and the file that now bears the path.
  void Rewatch(const Snapshot& now);

  QString path_;
  QString folder_;  // the folder holding the path, absolute
  QFileSystemWatcher watcher_;
  QTimer quiet_;
  Snapshot last_;      // the file as last seen
  ino_t watched_ = 0;  // the inode the file watch follows
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_REPLAY_WATCH_H_
