#include "viewer/replay_watch.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

namespace murvik {

bool ReplayWatch::Snapshot::operator==(const Snapshot& o) const {
  return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
         modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
}

ReplayWatch::ReplayWatch(std::chrono::milliseconds quiet, QObject* parent) : QObject(parent) {
  quiet_.setSingleShot(true);
  quiet_.setInterval(quiet);
  connect(&quiet_, &QTimer::timeout, this, &ReplayWatch::QuietTimeOver);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this](const QString& p) {
    if (p == path_) Check(true);
  });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& p) {
    if (p == folder_) Check(false);
  });
}

void ReplayWatch::Watch(const QString& path) {
  Stop();
  path_ = path;
  folder_ = QFileInfo(path).absolutePath();
  last_ = SnapshotNow();
  Rewatch(last_);
}

void ReplayWatch::Stop() {
  quiet_.stop();
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  path_.clear();
  folder_.clear();
  watched_ = 0;
}

ReplayWatch::Snapshot ReplayWatch::SnapshotNow() const {
  Snapshot s;
  struct stat st;
  // Only a regular file can be read as a replay; anything else counts as gone.
  if (::stat(QFile::encodeName(path_).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.modified = st.st_mtim;
  return s;
}

void ReplayWatch::Rewatch(const Snapshot& now) {
  // The folder watch sees a new file renamed over the path, which the file
  // watch, bound to the old file, never would; it also sees the file return.
  if (!watcher_.directories().contains(folder_) && QFileInfo(folder_).isDir()) watcher_.addPath(folder_);
  if (!now.exists || (now.inode == watched_ && watcher_.files().contains(path_))) return;
  if (watcher_.files().contains(path_)) watcher_.removePath(path_);
  watched_ = watcher_.addPath(path_) ? now.inode : 0;
}

void ReplayWatch::Check(bool from_file) {
  const Snapshot now = SnapshotNow();
  if (!now.exists) {
    quiet_.stop();
    if (last_.exists) {
      last_ = now;
      emit Removed();
    }
    return;
  }
  Rewatch(now);
  // The folder also reports its other files; only a different snapshot of
  // this one is a change. The file's own events are its writes.
  if (!from_file && now == last_) return;
  last_ = now;
  quiet_.start();  // (re)started by every write of a burst
}

void ReplayWatch::QuietTimeOver() {
  const Snapshot now = SnapshotNow();
  if (!(now == last_)) {
    // Changed since the last event, which may still be on its way: wait again.
    Check(false);
    return;
  }
  emit Changed();
}

}  // namespace murvik
