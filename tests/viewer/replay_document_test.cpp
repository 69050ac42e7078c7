// The replay the window shows, without a window: a read that fails, a slow
// read cancelled and replaced, and following the replay on disk with a short
// quiet time. Every signal is logged as a word, so that a failure shows the
// whole run. And the replays beside one, stepped through in a file manager's
// order.
#include "viewer/replay_document.h"

#include <sys/stat.h>

#include <QtTest>
#include <cstdio>
#include <fstream>

#include "replay_writer.h"
#include "viewer/replay_folder.h"

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
  QStringList events_;              // every signal but Progress, in order
  std::optional<ViewPlace> place_;  // where the view stands, as the document is told

 private:
  // A replay of a MiB, and a read of it that takes long: 4 KiB at a time,
  // each with a pause.
  QString BigReplay() { return Write(dir_.filePath("big.rep"), SynthesizedReplay("chat", 1 << 20, 9)); }
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
    place_.reset();
    connect(doc_.get(), &ReplayDocument::Started, this, [this](bool again) { events_ << (again ? "again" : "read"); });
    connect(doc_.get(), &ReplayDocument::Loaded, this,
            [this](std::shared_ptr<const ChatLines> chat, std::optional<ViewPlace> restore) {
              QString at = !restore ? "" : restore->at_end ? " at end" : QString(" at %1").arg(restore->top_line);
              events_ << "loaded " + QString::fromStdString(chat->Slice(0, chat->size(), "|")) + at;
            });
    connect(doc_.get(), &ReplayDocument::Failed, this, [this] { events_ << "failed"; });
    connect(doc_.get(), &ReplayDocument::Cancelled, this, [this] { events_ << "cancelled"; });
    connect(doc_.get(), &ReplayDocument::Removed, this, [this] { events_ << "removed"; });
  }

  // A read that fails ends in Failed, and its replay is not followed: one
  // written after it is not read. No read may block: the test's time limit
  // ends one that waits on the FIFO. A path cut at a NUL would name a replay.
  void fails_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << dir_.filePath("later.rep");
    QTest::newRow("empty path") << QString();
    QVERIFY(mkfifo(QFile::encodeName(dir_.filePath("fifo.rep")).constData(), 0600) == 0);
    QTest::newRow("fifo") << dir_.filePath("fifo.rep");
    QTest::newRow("device") << QStringLiteral("/dev/zero");
    QTest::newRow("nul in path") << Write(dir_.filePath("chat.rep"), Chat(0, "CHAT")) + QChar(0) + ".rep";
  }
  void fails() {
    QFETCH(QString, path);
    doc_->Open(path);
    QTRY_VERIFY(!doc_->reading());
    if (path.endsWith("later.rep")) {
      Write(path, Chat(1, "UNSEEN"));
      QTest::qWait(6 * kQuietMs);
    }
    QCOMPARE(events_, QStringList({"read", "failed"}));
  }

  // A read that takes long is dropped by Cancel (Cancelled), by a new Open
  // and by Close: the dropped read's outcome never comes, and the slow replay
  // is not followed any more. Its progress is the window's to show.
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
    doc_->SetReadOptions(Slow());
    doc_->Open(big_path);
    QVERIFY(doc_->reading());
    doc_->SetReadOptions({});
    if (then == "cancel") doc_->Cancel();
    if (then == "open") doc_->Open(Write(dir_.filePath("other.rep"), ReplayWriter().Say("OTHER").Take()));
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
  // chat was in view. A file renamed over the path is the one followed after
  // it; a rewrite in place, the same bytes, is a change; writes closer
  // together than the quiet time are read once, whole. A removal is told at
  // once and the chat stands. The folder's other files are not followed.
  void follows() {
    const QString path = Write(dir_.filePath("follow.rep"), Chat(0, "FIRST")), other = dir_.filePath("new.rep");
    doc_->Open(path);
    QTRY_VERIFY(!doc_->reading());
    place_ = ViewPlace{false, 10};
    Write(other, Chat(1, "RENAMED"));
    QCOMPARE(std::rename(QFile::encodeName(other), QFile::encodeName(path)), 0);
    QTRY_COMPARE(events_.size(), 4);
    place_ = ViewPlace{true, 0};
    Write(path, Chat(1, "RENAMED"), std::ios::in | std::ios::out);
    QTRY_COMPARE(events_.size(), 6);
    place_.reset();
    for (int i = 0; i < 8; ++i) Write(path, Chat(i, "BURST")), QTest::qWait(kQuietMs / 5);
    QTRY_COMPARE(events_.size(), 8);
    QVERIFY(QFile::remove(path));
    QTRY_COMPARE(events_.size(), 9);
    Write(path, Chat(0, "BACK"));
    QTRY_COMPARE(events_.size(), 11);
    Write(other, "other");
    QTest::qWait(4 * kQuietMs);
    QCOMPARE(events_, QStringList({"read", "loaded FIRST|", "again", "loaded LINE 0|RENAMED| at 10", "again",
                                   "loaded LINE 0|RENAMED| at end", "again",
                                   "loaded LINE 0|LINE 1|LINE 2|LINE 3|LINE 4|LINE 5|LINE 6|BURST|", "removed", "again",
                                   "loaded BACK|"}));
  }

  // The replays beside one, in order: game2.Rep, Game9.rep, game9.rep,
  // game10.rep (a link to a file), Game11.REP, replay.rep; the rest, a link
  // to a folder among them, is no replay. Steps to the next from paths
  // relative to the folder (the other steps and the first and last are the
  // window's keys').
  void steps() {
    for (const char* name :
         {"Game11.REP", "game9.rep", "Game9.rep", "game2.Rep", "notes.txt", "game10.rep.bak", "rep", "replay.rep"})
      Write(folder_.filePath(QString::fromLatin1(name)), {});
    QVERIFY(QFile::link("notes.txt", folder_.filePath("game10.rep")));
    QVERIFY(QFile::link(".", folder_.filePath("zzz.rep")));
    QVERIFY(QDir::setCurrent(folder_.path()));
    const QString kFound = "found ";
    for (const auto& [from, to] : std::initializer_list<std::pair<QString, QString>>{
             {"game9.rep", kFound + "game10.rep"},   // numbers by value
             {"game10.rep", kFound + "Game11.REP"},  // extension in upper case
             {"Game9.rep", kFound + "game9.rep"},    // equal but for case
             {"replay.rep", "at last "},             // folder, links and other files skipped
             {"game5.rep", kFound + "Game9.rep"},    // from a replay since removed
             {folder_.filePath("gone/game9.rep"), "no folder "}}) {
      const FolderStep stepped = StepThroughFolder(from, ReplayStep::kNext);
      const QString outcome[] = {kFound, "at first ", "at last ", "no replays ", "no folder "};
      QCOMPARE(from + ": " + outcome[stepped.outcome] + stepped.path, from + ": " + to);
    }
  }
};

QTEST_GUILESS_MAIN(ReplayDocumentTest)
#include "replay_document_test.moc"
