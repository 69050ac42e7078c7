// Following a replay on disk: each way a game may change the file, seen
// through the watch's signals, with a short quiet time.
#include "viewer/replay_watch.h"

#include <QtTest>
#include <cstdio>

using namespace murvik;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds kQuiet = 50ms;

void Write(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly) {
  QFile file(path);
  QVERIFY(file.open(mode));
  QCOMPARE(file.write(bytes), bytes.size());
}

enum Action { kRewrite, kRename, kAppend, kTruncate, kOtherFiles };

}  // namespace

class ReplayWatchTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path_ = dir_.filePath("replay.rep");

 private slots:
  void init() { Write(path_, "0123456789"); }

  void follows_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("changes");
    QTest::newRow("rewritten in place") << int(kRewrite) << 1;
    QTest::newRow("replaced by rename") << int(kRename) << 1;
    QTest::newRow("appended to") << int(kAppend) << 1;
    QTest::newRow("truncated") << int(kTruncate) << 1;
    QTest::newRow("other files of the folder") << int(kOtherFiles) << 0;
  }
  // One signal per change, and the file is still followed after it.
  void follows() {
    QFETCH(int, action);
    QFETCH(int, changes);
    ReplayWatch watch(kQuiet);
    watch.Watch(path_);
    QSignalSpy changed(&watch, &ReplayWatch::Changed), removed(&watch, &ReplayWatch::Removed);
    const QString other = dir_.filePath("other.rep");
    switch (action) {
      case kRewrite:
        Write(path_, "abcdefghij", QIODevice::ReadWrite);
        break;
      case kRename:
        Write(other, "abcdefghij");
        QCOMPARE(std::rename(QFile::encodeName(other), QFile::encodeName(path_)), 0);
        break;
      case kAppend:
        Write(path_, "more", QIODevice::Append);
        break;
      case kTruncate:
        QVERIFY(QFile::resize(path_, 4));
        break;
      case kOtherFiles:
        Write(other, "abc");
        Write(other, "more", QIODevice::Append);
        QVERIFY(QFile::rename(other, dir_.filePath("renamed.rep")));
        QVERIFY(QFile::remove(dir_.filePath("renamed.rep")));
        QVERIFY(QDir(dir_.path()).mkdir("sub"));
        QVERIFY(QDir(dir_.path()).rmdir("sub"));
        break;
    }
    if (changes) QVERIFY(changed.wait());
    QTest::qWait(3 * kQuiet.count());
    QCOMPARE(changed.count(), changes);
    Write(path_, "more", QIODevice::Append);
    QVERIFY(changed.wait());
    QCOMPARE(removed.count(), 0);
  }

  // Writes closer together than the quiet time give one signal, once the file is whole.
  void burst() {
    ReplayWatch watch(kQuiet);
    watch.Watch(path_);
    QList<qint64> sizes;
    connect(&watch, &ReplayWatch::Changed, this, [&] { sizes << QFileInfo(path_).size(); });
    QFile file(path_);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int i = 0; i < 8; ++i) {
      file.write(QByteArray(1000, 'x'));
      file.flush();
      QTest::qWait(kQuiet.count() / 5);
    }
    QTRY_COMPARE_WITH_TIMEOUT(sizes.count(), 1, 5000);
    QTest::qWait(3 * kQuiet.count());
    QCOMPARE(sizes, QList<qint64>{8000});
  }

  void removed_and_restored() {
    ReplayWatch watch(kQuiet);
    watch.Watch(path_);
    QSignalSpy changed(&watch, &ReplayWatch::Changed), removed(&watch, &ReplayWatch::Removed);
    QVERIFY(QFile::remove(path_));
    QVERIFY(removed.wait());
    Write(path_, "back");
    QVERIFY(changed.wait());
    QCOMPARE(removed.count(), 1);
    QCOMPARE(changed.count(), 1);
  }

  // A new path replaces the old one, and Stop leaves nothing watched.
  void stops() {
    const QString next = dir_.filePath("next.rep");
    Write(next, "next");
    ReplayWatch watch(kQuiet);
    watch.Watch(path_);
    watch.Watch(next);
    QSignalSpy changed(&watch, &ReplayWatch::Changed);
    Write(path_, "changed");
    QTest::qWait(3 * kQuiet.count());
    QCOMPARE(changed.count(), 0);
    watch.Stop();
    Write(next, "changed");
    QVERIFY(QFile::remove(next));
    QTest::qWait(3 * kQuiet.count());
    QCOMPARE(changed.count(), 0);
  }
};

QTEST_GUILESS_MAIN(ReplayWatchTest)
#include "replay_watch_test.moc"
