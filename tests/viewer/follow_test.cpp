// The pieces the window follows games with: the replays beside one, stepped
// through in a file manager's order, and a replay changing on disk, seen
// through the watch's signals with a short quiet time.
#include <QtTest>
#include <cstdio>
#include <fstream>

#include "viewer/replay_folder.h"
#include "viewer/replay_watch.h"

using namespace murvik;

constexpr int kQuietMs = 50;

static void Write(const QString& path, const std::string& bytes, std::ios::openmode mode = std::ios::out) {
  std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary | mode) << bytes;
}

class FollowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  const QString path_ = dir_.filePath("replay.rep");
  ReplayWatch watch_{std::chrono::milliseconds(kQuietMs)};
  QSignalSpy changed_{&watch_, &ReplayWatch::Changed}, removed_{&watch_, &ReplayWatch::Removed};
  qint64 size_ = 0;        // the file's size at the last Changed
  qsizetype signals_ = 0;  // the signals expected so far

 private slots:
  // A folder of replays, current for the steps' relative paths.
  void initTestCase() {
    // In order: game2.Rep, Game9.rep, game9.rep, game10.rep (a link to a
    // file), Game11.REP, replay.rep; the rest, a link to a folder among
    // them, is no replay.
    for (const char* name : {"Game11.REP", "game9.rep", "Game9.rep", "game2.Rep", "notes.txt", "game10.rep.bak", "rep"})
      Write(dir_.filePath(QString::fromLatin1(name)), {});
    QVERIFY(QFile::link("notes.txt", dir_.filePath("game10.rep")));
    QVERIFY(QFile::link(".", dir_.filePath("zzz.rep")));
    QVERIFY(QDir::setCurrent(dir_.path()));
    connect(&watch_, &ReplayWatch::Changed, this, [this] { size_ = QFileInfo(path_).size(); });
  }
  void init() {
    Write(path_, "0123456789");
    watch_.Watch(path_);
  }

  void steps() {
    Step("game9.rep", ReplayStep::kNext, FolderStep::kFound, "game10.rep");   // numbers by value
    Step("game10.rep", ReplayStep::kNext, FolderStep::kFound, "Game11.REP");  // extension in upper case
    Step("Game9.rep", ReplayStep::kNext, FolderStep::kFound, "game9.rep");    // equal but for case
    Step("replay.rep", ReplayStep::kNext, FolderStep::kAtLast, "");           // folder, links and other files skipped
    Step("game2.Rep", ReplayStep::kPrevious, FolderStep::kAtFirst, "");
    Step("game10.rep", ReplayStep::kFirst, FolderStep::kFound, "game2.Rep");
    Step("game9.rep", ReplayStep::kLast, FolderStep::kFound, "replay.rep");
    Step("game5.rep", ReplayStep::kNext, FolderStep::kFound, "Game9.rep");  // from a replay since removed
    Step(dir_.filePath("gone/game9.rep"), ReplayStep::kNext, FolderStep::kNoFolder, "");
  }

  // One signal for each change, in a row: the file renamed over the path is
  // the one followed after it, and writes closer together than the quiet
  // time give one signal, once the file is whole.
  void changes() {
    Write(dir_.filePath("new.rep"), "abcdefghij");
    QCOMPARE(std::rename(QFile::encodeName(dir_.filePath("new.rep")), QFile::encodeName(path_)), 0);
    ExpectOne(&changed_, "replaced by rename");
    Write(path_, "ABCDEFGHIJ", std::ios::in | std::ios::out);
    ExpectOne(&changed_, "rewritten in place");
    for (int i = 0; i < 8; ++i) {
      Write(path_, std::string(1000, 'x'), i ? std::ios::app : std::ios::out);
      QTest::qWait(kQuietMs / 5);
    }
    ExpectOne(&changed_, "truncated and written in a burst");
    QCOMPARE(size_, 8000);
    QVERIFY(QFile::remove(path_));
    ExpectOne(&removed_, "removed");
    Write(path_, "back");
    ExpectOne(&changed_, "restored");
  }

  // Nothing fires for the folder's other files, the path watched before, or after Stop.
  void quiet() {
    Write("next.rep", "next");
    QTest::qWait(3 * kQuietMs);
    watch_.Watch("next.rep");
    Write(path_, "changed");
    watch_.Stop();
    Write("next.rep", "changed");
    QTest::qWait(3 * kQuietMs);
    QCOMPARE(changed_.count() + removed_.count(), signals_);
  }

 private:
  void Step(const QString& from, ReplayStep step, FolderStep::Outcome outcome, const QString& to) {
    const FolderStep stepped = StepThroughFolder(from, step);
    QVERIFY2(stepped.outcome == outcome && stepped.path == to, qPrintable(from + " to " + stepped.path));
  }
  // Waits for a signal of `spy`, and then for the quiet time: it must be the only one since the last.
  void ExpectOne(QSignalSpy* spy, const char* what) {
    QVERIFY2(spy->wait(), what);
    QTest::qWait(3 * kQuietMs);
    QVERIFY2(changed_.count() + removed_.count() == ++signals_, what);
  }
};

QTEST_GUILESS_MAIN(FollowTest)
#include "follow_test.moc"
