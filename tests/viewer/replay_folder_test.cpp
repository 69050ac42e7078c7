// Stepping through the replays of a folder in a file manager's order.
#include "viewer/replay_folder.h"

#include <QtTest>

using namespace murvik;

class ReplayFolderTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  QString At(const QString& name) const { return name.isEmpty() ? name : dir_.filePath(name); }

 private slots:
  void initTestCase() {
    // In order: game2.Rep, Game9.rep, game9.rep, game10.rep (a link to a
    // file), Game11.REP; the rest is no replay, or a link to none.
    for (const char* name :
         {"Game11.REP", "game9.rep", "Game9.rep", "game2.Rep", "notes.txt", "game10.rep.bak", "rep"}) {
      QFile file(dir_.filePath(QString::fromLatin1(name)));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir_.path()).mkdir("zz.rep"));
    QVERIFY(QFile::link("notes.txt", dir_.filePath("game10.rep")));
    QVERIFY(QFile::link("zz.rep", dir_.filePath("game12.rep")));
    QVERIFY(QFile::link("missing", dir_.filePath("game1.rep")));
  }

  void steps_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<ReplayStep>("step");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("to");
    const auto row = [](const char* name, const char* from, ReplayStep step, int outcome, const char* to) {
      QTest::newRow(name) << QString::fromLatin1(from) << step << outcome << QString::fromLatin1(to);
    };
    using R = ReplayBeside;
    row("numbers by value", "game9.rep", ReplayStep::kNext, R::kFound, "game10.rep");
    row("upper-case extension", "game10.rep", ReplayStep::kNext, R::kFound, "Game11.REP");
    row("names equal but for case", "Game9.rep", ReplayStep::kNext, R::kFound, "game9.rep");
    row("back over equal names", "game9.rep", ReplayStep::kPrevious, R::kFound, "Game9.rep");
    row("folder and other files skipped at the end", "Game11.REP", ReplayStep::kNext, R::kAtLast, "");
    row("at the start", "game2.Rep", ReplayStep::kPrevious, R::kAtFirst, "");
    row("first", "game10.rep", ReplayStep::kFirst, R::kFound, "game2.Rep");
    row("last", "game9.rep", ReplayStep::kLast, R::kFound, "Game11.REP");
    row("first when there", "game2.Rep", ReplayStep::kFirst, R::kAtFirst, "");
    row("last when there", "Game11.REP", ReplayStep::kLast, R::kAtLast, "");
    row("from a removed replay", "game5.rep", ReplayStep::kNext, R::kFound, "Game9.rep");
    row("back from a removed replay", "game5.rep", ReplayStep::kPrevious, R::kFound, "game2.Rep");
  }
  void steps() {
    QFETCH(QString, from);
    QFETCH(ReplayStep, step);
    QFETCH(int, outcome);
    QFETCH(QString, to);
    const ReplayBeside beside = FindReplayBeside(At(from), step);
    QCOMPARE(int(beside.outcome), outcome);
    QCOMPARE(beside.path, At(to));
  }

  // The folder part of the path is kept as it was given.
  void relative_path() {
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_.path()));
    const ReplayBeside beside = FindReplayBeside("game9.rep", ReplayStep::kNext);
    QVERIFY(QDir::setCurrent(cwd));
    QCOMPARE(beside.path, QStringLiteral("game10.rep"));
  }

  void no_replays_or_no_folder() {
    QTemporaryDir empty;
    QCOMPARE(FindReplayBeside(empty.filePath("a.rep"), ReplayStep::kFirst).outcome, ReplayBeside::kNoReplays);
    const QString gone = empty.filePath("a.rep");
    QVERIFY(empty.remove());
    QCOMPARE(FindReplayBeside(gone, ReplayStep::kNext).outcome, ReplayBeside::kNoFolder);
  }
};

QTEST_GUILESS_MAIN(ReplayFolderTest)
#include "replay_folder_test.moc"
