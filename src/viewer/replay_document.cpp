#include "viewer/replay_document.h"

#include <QFile>
#include <QTimer>

#include "viewer/chat_read.h"
#include "viewer/replay_watch.h"

namespace murvik {

namespace {

using std::chrono::milliseconds;
// A read that ends within this long is emitted before Open returns, so a
// typical replay appears before the window draws again: no flash of the
// hidden box. Long enough for a replay of a few megabytes; short enough
// that the window still answers at once.
constexpr milliseconds kQuickRead{30};
// A read that takes longer than this reports its progress, every tick.
constexpr int kProgressAfterMs = 200;
constexpr int kTickMs = 50;
// A game rewrites its replay in bursts: it is read again once it has been
// quiet this long, so once per burst, and still within a moment of the end.
constexpr milliseconds kFollowQuietTime{500};

}  // namespace

ReplayDocument::ReplayDocument(QObject* parent) : QObject(parent) {
  read_ticks_ = new QTimer(this);
  read_ticks_->setInterval(kTickMs);
  connect(read_ticks_, &QTimer::timeout, this, &ReplayDocument::Tick);
  watch_ = new ReplayWatch(kFollowQuietTime, this);
  connect(watch_, &ReplayWatch::Changed, this, [this] { Read(watch_->path(), true); });
  connect(watch_, &ReplayWatch::Removed, this, &ReplayDocument::Removed);
}

ReplayDocument::~ReplayDocument() = default;

void ReplayDocument::SetFollowQuietTime(milliseconds quiet) { watch_->SetQuietTime(quiet); }

void ReplayDocument::Open(const QString& path) { Read(path, false); }

void ReplayDocument::Read(const QString& path, bool again) {
  EndRead();
  restore_ = again && view_place_ ? view_place_() : std::nullopt;
  // Followed from now on: a change during the read is read again after it.
  if (!again) watch_->Watch(path);
  const uint64_t serial = ++reads_started_;
  read_ = std::make_unique<ChatRead>(QFile::encodeName(path).toStdString(), read_options_, this, [this, serial] {
    if (read_ && serial == reads_started_) Finish();
  });
  path_ = path;
  read_time_.start();
  read_ticks_->start();
  emit Started(again);
  WaitFor(kQuickRead);
}

void ReplayDocument::WaitFor(milliseconds timeout) {
  if (read_ && read_->WaitFor(timeout)) Finish();
}

void ReplayDocument::Finish() {
  ChatRead::Outcome outcome = read_->Take();
  EndRead();
  if (outcome.status.ok()) {
    emit Loaded(std::move(outcome.chat), restore_);
  } else {
    watch_->Stop();
    emit Failed(QString::fromStdString(outcome.status.reason()));
  }
}

void ReplayDocument::Cancel() {
  if (!read_) return;
  EndRead();
  watch_->Stop();
  emit Cancelled();
}

void ReplayDocument::Close() {
  EndRead();
  watch_->Stop();
}

void ReplayDocument::EndRead() {
  read_.reset();
  read_ticks_->stop();
}

void ReplayDocument::Tick() {
  if (read_ && read_time_.elapsed() >= kProgressAfterMs) emit Progress(read_->Share());
}

}  // namespace murvik
