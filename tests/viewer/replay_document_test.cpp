// The replay the window shows, without a window: what each read ends in, a
// slow read's progress, cancelling and replacing it, and following the
// replay on disk. Every signal is logged as a word, so that a failure shows
// the whole run. And the pieces under following: the replays beside one,
// stepped through in a file manager's order, and a replay changing on disk,
// seen through the watch's signals with a short quiet time.
#include "viewer/replay_document.h"

#include <sys/stat.h>

#include <QtTest>
#include <cstdio>
#include <fstream>

#include "replay_writer.h"
#include "viewer/replay_folder.h"
#include "viewer/replay_watch.h"

using namespace murvik;

namespace {

constexpr int kQuietMs = 50;

QString Write(const QString& path, const std::string& bytes, std::ios::openmode mode = std::ios::out) {
  std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary | mode) << bytes;
  return path;
}

// `lines` messages, then `last`.
std::string Chat(int lines, const std::string& last) {
  ReplayWriter r(5);
  for (int i = 0; i < lines; ++i) r.Noise(3).Say("LINE " + std::to_string(i));
  return r.Say(last).Take();
}

}  // namespace

class ReplayDocumentTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_, folder_;
  std::unique_ptr<ReplayDocument> doc_;
  QStringList events_;  // every signal but Progress, in order
  QList<double> shares_;
  std::optional<ViewPlace> place_;  // where the view stands, as the document is told

 private:
  // A replay of 3000 messages, and a read of it that takes long: 4 KiB at a
  // time, each with a pause.
  QString BigReplay() {
    ReplayWriter big(9);
    for (int i = 0; i < 3000; ++i) big.Noise(20).Say("MESSAGE");
    return Write(dir_.filePath("big.rep"), big.Take());
  }
  static ExtractOptions Slow() {
    ExtractOptions slow;
    slow.chunk_size = 4096;
    slow.on_progress = [](uint64_t) { return QThread::msleep(2), true; };
    return slow;
  }

 private slots:
  void init() {
    doc_ = std::make_unique<ReplayDocument>();
    doc_->SetFollowQuietTime(std::chrono::milliseconds(kQuietMs));
    doc_->SetViewPlace([this] { return place_; });
    events_.clear();
    shares_.clear();
    place_.reset();
    connect(doc_.get(), &ReplayDocument::Started, this, [this](bool again) { events_ << (again ? "again" : "read"); });
    connect(doc_.get(), &ReplayDocument::Progress, this, [this](double share) { shares_ << share; });
    connect(doc_.get(), &ReplayDocument::Loaded, this,
            [this](std::shared_ptr<const ChatLines> chat, std::optional<ViewPlace> restore) {
              QString at = !restore ? "" : restore->at_end ? " at end" : QString(" at %1").arg(restore->top_line);
              events_ << "loaded " + QString::fromStdString(chat->Slice(0, chat->size(), "|")) + at;
            });
    connect(doc_.get(), &ReplayDocument::Failed, this, [this] { events_ << "failed"; });
    connect(doc_.get(), &ReplayDocument::Cancelled, this, [this] { events_ << "cancelled"; });
    connect(doc_.get(), &ReplayDocument::Removed, this, [this] { events_ << "removed"; });
  }

  // Each read ends in one outcome. No read may block: the test's time limit
  // ends one that waits on the FIFO.
  void open_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("events");
    ReplayWriter chat(7);
    chat.Noise(5).Say("GL HF").Noise(3).Start().Type("GO MID").End().Noise(2).Start().Type("BYE");
    QTest::newRow("chat") << Write(dir_.filePath("chat.rep"), chat.Take())
                          << QStringList{"read", "loaded GL HF|GO MID|BYE"};
    QTest::newRow("no chat") << Write(dir_.filePath("quiet.rep"), ReplayWriter(3).Noise(20).Type("KEYS").Take())
                             << QStringList{"read", "loaded "};
    const QStringList failed = {"read", "failed"};
    QTest::newRow("missing") << dir_.filePath("gone.rep") << failed;
    QTest::newRow("empty path") << QString() << failed;
    QVERIFY(mkfifo(QFile::encodeName(dir_.filePath("fifo.rep")).constData(), 0600) == 0);
    QTest::newRow("fifo") << dir_.filePath("fifo.rep") << failed;
    QTest::newRow("device") << QStringLiteral("/dev/zero") << failed;
    QTest::newRow("nul in path") << dir_.filePath("chat.rep") + QChar(0) + ".rep" << failed;
  }
  void open() {
    QFETCH(QString, path);
    doc_->Open(path);
    QTRY_VERIFY(!doc_->reading());
    QFETCH(QStringList, events);
    QCOMPARE(events_, events);
  }

  // A read that takes long reports the share read as it goes. Cancel ends it in Cancelled, a
  // new Open replaces it and Close drops it: the dropped read's outcome never
  // comes, and the slow replay is not followed any more.
  void slowRead_data() {
    QTest::addColumn<QString>("then");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("cancel") << "cancel" << QStringList{"read", "cancelled"};
    QTest::newRow("open another") << "open" << QStringList{"read", "read", "loaded OTHER|"};
    QTest::newRow("close") << "close" << QStringList{"read"};
  }
  void slowRead() {
    QFETCH(QString, then);
    const QString big_path = BigReplay();
    const QString other = Write(dir_.filePath("other.rep"), ReplayWriter().Say("OTHER").Take());
    doc_->SetReadOptions(Slow());
    doc_->Open(big_path);
    QTRY_VERIFY(!shares_.empty() && shares_.back() > 0);
    QVERIFY(shares_.back() < 1);
    QVERIFY(doc_->reading());
    doc_->SetReadOptions({});
    if (then == "cancel") doc_->Cancel();
    if (then == "open") doc_->Open(other);
    if (then == "close") doc_->Close();
    QTRY_VERIFY(!doc_->reading());
    Write(big_path, "changed", std::ios::app);
    QTest::qWait(300);  // time for the dropped read to end, and for a change to be read
    QFETCH(QStringList, events);
    QCOMPARE(events_, events);
  }

  // A read's end also comes as an event; one that comes after a newer read
  // began is not taken for the newer one's.
  void staleEndIgnored() {
    doc_->Open(Write(dir_.filePath("quick.rep"), ReplayWriter().Say("QUICK").Take()));
    doc_->WaitFor(std::chrono::seconds(10));  // its end is queued by now
    doc_->SetReadOptions(Slow());
    doc_->Open(BigReplay());
    QTest::qWait(50);
    QCOMPARE(events_, QStringList({"read", "loaded QUICK|", "read"}));
  }

  // The replay opened is followed on disk: a change is read again once quiet,
  // with the place the view stood at when the read began, or none when no
  // chat was in view; a removal is told at once and the chat stands.
  void follows() {
    const QString path = Write(dir_.filePath("follow.rep"), Chat(0, "FIRST"));
    doc_->Open(path);
    QTRY_VERIFY(!doc_->reading());
    place_ = ViewPlace{false, 10};
    Write(path, Chat(1, "GROWN"));
    QTRY_COMPARE(events_.size(), 4);
    place_ = ViewPlace{true, 0};
    Write(path, Chat(0, "AT END"));
    QTRY_COMPARE(events_.size(), 6);
    QVERIFY(QFile::remove(path));
    QTRY_COMPARE(events_.size(), 7);
    place_.reset();
    Write(path, Chat(0, "BACK"));
    QTRY_COMPARE(events_.size(), 9);
    QCOMPARE(events_, QStringList({"read", "loaded FIRST|", "again", "loaded LINE 0|GROWN| at 10", "again",
                                   "loaded AT END| at end", "removed", "again", "loaded BACK|"}));
  }

  // Nothing is followed after a read that failed.
  void notFollowedAfterFailure() {
    const QString path = dir_.filePath("later.rep");
    doc_->Open(path);
    QTRY_VERIFY(!doc_->reading());
    Write(path, Chat(1, "UNSEEN"));
    QTest::qWait(6 * kQuietMs);
    QCOMPARE(events_, QStringList({"read", "failed"}));
  }
  // The replays beside one, in order: game2.Rep, Game9.rep, game9.rep,
  // game10.rep (a link to a file), Game11.REP, replay.rep; the rest, a link
  // to a folder among them, is no replay. Steps from paths relative to the
  // folder.
  void steps() {
    for (const char* name :
         {"Game11.REP", "game9.rep", "Game9.rep", "game2.Rep", "notes.txt", "game10.rep.bak", "rep", "replay.rep"})
      Write(folder_.filePath(QString::fromLatin1(name)), {});
    QVERIFY(QFile::link("notes.txt", folder_.filePath("game10.rep")));
    QVERIFY(QFile::link(".", folder_.filePath("zzz.rep")));
    QVERIFY(QDir::setCurrent(folder_.path()));
    const QString kFound = "found ", kAtFirst = "at first ", kAtLast = "at last ", kNoFolder = "no folder ";
    for (const auto& [from, step, to] : std::initializer_list<std::tuple<QString, ReplayStep, QString>>{
             {"game9.rep", ReplayStep::kNext, kFound + "game10.rep"},   // numbers by value
             {"game10.rep", ReplayStep::kNext, kFound + "Game11.REP"},  // extension in upper case
             {"Game9.rep", ReplayStep::kNext, kFound + "game9.rep"},    // equal but for case
             {"replay.rep", ReplayStep::kNext, kAtLast},                // folder, links and other files skipped
             {"game2.Rep", ReplayStep::kPrevious, kAtFirst},
             {"game10.rep", ReplayStep::kFirst, kFound + "game2.Rep"},
             {"game9.rep", ReplayStep::kLast, kFound + "replay.rep"},
             {"game5.rep", ReplayStep::kNext, kFound + "Game9.rep"},  // from a replay since removed
             {folder_.filePath("gone/game9.rep"), ReplayStep::kNext, kNoFolder}}) {
      const FolderStep stepped = StepThroughFolder(from, step);
      const QString outcome[] = {kFound, kAtFirst, kAtLast, "no replays ", kNoFolder};
      QCOMPARE(from + ": " + outcome[stepped.outcome] + stepped.path, from + ": " + to);
    }
  }

  // The watch gives one signal for each change, in a row: the file renamed
  // over the path is the one followed after it, and writes closer together
  // than the quiet time give one signal, once the file is whole. Nothing
  // fires for the folder's other files, the path watched before, or after
  // Stop.
  void watch() {
    const QString path = Write(dir_.filePath("watched.rep"), "0123456789"), next = dir_.filePath("next.rep");
    ReplayWatch watch(std::chrono::milliseconds{kQuietMs});
    QSignalSpy changed(&watch, &ReplayWatch::Changed), removed(&watch, &ReplayWatch::Removed);
    qint64 size = 0;  // the file's size at the last Changed
    connect(&watch, &ReplayWatch::Changed, this, [&] { size = QFileInfo(path).size(); });
    watch.Watch(path);
    QStringList seen, expected;
    const auto expect_one = [&](QSignalSpy& spy, const char* what) {
      spy.wait();
      QTest::qWait(3 * kQuietMs);
      seen << QString("%1 %2").arg(what).arg(changed.count() + removed.count());
      expected << QString("%1 %2").arg(what).arg(expected.size() + 1);
    };
    Write(dir_.filePath("new.rep"), "abcdefghij");
    QCOMPARE(std::rename(QFile::encodeName(dir_.filePath("new.rep")), QFile::encodeName(path)), 0);
    expect_one(changed, "replaced by rename");
    Write(path, "ABCDEFGHIJ", std::ios::in | std::ios::out);
    expect_one(changed, "rewritten in place");
    for (int i = 0; i < 8; ++i) {
      Write(path, std::string(1000, 'x'), i ? std::ios::app : std::ios::out);
      QTest::qWait(kQuietMs / 5);
    }
    expect_one(changed, "truncated and written in a burst");
    QCOMPARE(size, 8000);
    QVERIFY(QFile::remove(path));
    expect_one(removed, "removed");
    Write(path, "back");
    expect_one(changed, "restored");
    QCOMPARE(seen, expected);
    Write(next, "next");
    QTest::qWait(3 * kQuietMs);
    watch.Watch(next);
    Write(path, "changed");
    watch.Stop();
    Write(next, "changed");
    QTest::qWait(3 * kQuietMs);
    QCOMPARE(changed.count() + removed.count(), expected.size());
  }
};

QTEST_GUILESS_MAIN(ReplayDocumentTest)
#include "replay_document_test.moc"
