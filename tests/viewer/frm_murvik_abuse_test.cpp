// The window under abuse: hundreds of resizes through the layout's threshold,
// minimising, maximising and full screen, long runs of Go on good and hostile
// paths, and many Lowercase clicks on a long chat. After every step the
// controls stand where the layout puts them, the output box shows what the
// last action gives, and the window goes on working.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "viewer/frm_murvik.h"
#include "viewer/layout.h"
#include "viewer/twips.h"
#include "window_test_support.h"

namespace murvik {

// Lets QCOMPARE print geometry it finds different.
char* toString(const ControlGeometry& g) {
  const auto text = [](const TwipRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.left).arg(r.top).arg(r.width).arg(r.height);
  };
  return QTest::toString(QStringLiteral("chk %1, txt %2, Text1 %3, go %4")
                             .arg(text(g.chk_lowercase), text(g.txt_replay), text(g.text1), text(g.cmd_go)));
}

}  // namespace murvik

using murvik::ControlGeometry;
using murvik::frmMurvik;
using murvik::TwipScale;
using murvik::testing::Controls;
using murvik::testing::Find;
using murvik::testing::kFailure;
using murvik::testing::Shown;
using murvik::testing::Write;

// Runs `call`, a helper that checks with QCOMPARE/QVERIFY, and ends the test
// at its first failure, saying at which step it came.
#define CHECK_STEP(call, step)                                  \
  do {                                                          \
    call;                                                       \
    if (QTest::currentTestFailed()) {                           \
      qWarning("failed at step: %s", qPrintable(QString(step))); \
      return;                                                   \
    }                                                           \
  } while (false)

namespace {

const QString kChat = QStringLiteral("GL HF\r\nGO MID\r\nBYE\r\n");

// Line breaks as the output box shows them.
QString AsShown(QString text) { return text.replace(QLatin1String("\r\n"), QLatin1String("\n")); }

// Processes events until `done()` holds or two seconds have passed; says
// whether it holds.
template <typename Done>
bool Settle(Done done) {
  const QDeadlineTimer deadline(2000);
  QCoreApplication::processEvents();
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  QCoreApplication::processEvents();
  return done();
}

// Resizes the window so that its outer size, frame included, is `outer`.
bool ResizeOuter(frmMurvik& w, QSize outer) {
  w.resize(outer - (w.frameGeometry().size() - w.size()));
  return Settle([&] { return w.frameGeometry().size() == outer; });
}

// The fewest pixels that reach the layout's threshold at `scale`.
int PixelsAtThreshold(TwipScale scale) {
  int pixels = 1;
  while (scale.ToTwips(pixels) < murvik::kLayoutThreshold) ++pixels;
  return pixels;
}

// Lays `expected` out for the window's present outer and inner size, as the
// window should have on its last resize, and checks that the window holds
// that geometry and placed each control there at its scale.
void CheckLaidOut(const frmMurvik& w, ControlGeometry& expected) {
  const TwipScale s = w.scale();
  expected = murvik::LayOut(s.ToTwips(w.frameGeometry().size()), s.ToTwips(w.size()), expected);
  QCOMPARE(w.geometry_twips(), expected);
  const Controls c = Find(w);
  QCOMPARE(c.chk->geometry(), s.ToPixels(expected.chk_lowercase));
  QCOMPARE(c.txt->geometry(), s.ToPixels(expected.txt_replay));
  QCOMPARE(c.text1->geometry(), s.ToPixels(expected.text1));
  QCOMPARE(c.go->geometry(), s.ToPixels(expected.cmd_go));
}

// Checks that the output box holds `text`, shows it and is visible.
void CheckOutput(const Controls& c, const QString& text) {
  QCOMPARE(c.text1->Text(), text);
  QCOMPARE(c.text1->toPlainText(), AsShown(text));
  QVERIFY(c.text1->isVisible());
}

// Types `path` into the path box, clicks Go and checks the output box shows
// `text`, in lower case when the check box is checked.
void GoShows(const Controls& c, const QString& path, const QString& text) {
  c.txt->setText(path);
  QTest::mouseClick(c.go, Qt::LeftButton);
  QCOMPARE(c.txt->text(), path);
  CheckOutput(c, c.chk->isChecked() ? text.toLower() : text);
}

}  // namespace

class FrmMurvikAbuseTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString chat_path_;
  // Paths to Go on and what each must show; the chat or nothing for a
  // replay, the failure text for anything else.
  struct GoCase {
    const char* what;
    QString path;
    QString text;
  };
  std::vector<GoCase> go_cases_;
  // Files QTemporaryDir does not remove by itself, by their bytes.
  QList<QByteArray> special_files_;
  // A long replay's chat, as the window should build it.
  QString long_path_, long_chat_;

  // A Unix socket bound at `path`; false when the system refuses one.
  static bool MakeSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (static_cast<size_t>(name.size()) >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);  // the socket's file stays
    return bound;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    murvik::ReplayWriter chat(11);
    chat.Noise(4).Say("GL HF").Noise(2).Start().Type("GO MIDX").Erase().End().Noise(3).Say("BYE");
    chat_path_ = Write(dir_.filePath("chat.rep"), chat);
    murvik::ReplayWriter quiet(5);
    quiet.Noise(30);
    const QString quiet_path = Write(dir_.filePath("quiet.rep"), quiet);
    murvik::ReplayWriter nothing(1);
    nothing.Take();  // not even the header
    const QString empty_path = Write(dir_.filePath("empty.rep"), nothing);

    const QString blanks = dir_.filePath("  blanks at both ends.rep  ");
    const QString newline = dir_.filePath("new\nline.rep");
    const QString link = dir_.filePath("link.rep"), dangling = dir_.filePath("dangling.rep");
    const QString fifo = dir_.filePath("fifo.rep"), sock = dir_.filePath("socket.rep");
    QVERIFY(QFile::copy(chat_path_, blanks));
    QVERIFY(QFile::copy(chat_path_, newline));
    QVERIFY(QFile::link(chat_path_, link));
    QVERIFY(QFile::link(dir_.filePath("gone.rep"), dangling));
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    special_files_ << QFile::encodeName(fifo) << QFile::encodeName(sock);

    // No reader or writer ever opens the FIFO: a window that opened it to
    // read would wait for ever, and the test's time limit would end it.
    go_cases_ = {
        {"replay", chat_path_, kChat},
        {"symbolic link to the replay", link, kChat},
        {"replay with no chat", quiet_path, QString()},
        {"name with blanks at both ends", blanks, kChat},
        {"name with a newline", newline, kChat},
        {"replay's path and a blank after it", chat_path_ + ' ', kFailure},
        {"a blank and the replay's path", ' ' + chat_path_, kFailure},
        {"missing file", dir_.filePath("gone.rep"), kFailure},
        {"the replay's path and a NUL", chat_path_ + QChar(0), kFailure},
        {"a NUL inside the replay's path", chat_path_ + QChar(0) + QStringLiteral(".rep"), kFailure},
        {"a name longer than a directory entry holds", dir_.filePath(QString(300, 'n')), kFailure},
        {"a path longer than the system takes", dir_.path() + QStringLiteral("/.").repeated(3000), kFailure},
        {"empty path", QString(), kFailure},
        {"empty file", empty_path, kFailure},
        {"directory", dir_.path(), kFailure},
        {"dangling symbolic link", dangling, kFailure},
        {"FIFO", fifo, kFailure},
        {"/dev/zero", QStringLiteral("/dev/zero"), kFailure},
        {"/dev/null", QStringLiteral("/dev/null"), kFailure},
        {"/dev/urandom", QStringLiteral("/dev/urandom"), kFailure},
    };
    if (MakeSocket(sock))
      go_cases_.push_back({"Unix socket", sock, kFailure});
    else
      qWarning("no Unix socket could be bound in %s; Go on a socket is left out", qPrintable(dir_.path()));

    // Thousands of messages of every character a key types, some with
    // erased keys, the last one left unsent.
    const char kKeys[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 /.-;,";
    std::mt19937 rng(2024);
    murvik::ReplayWriter long_replay(9);
    std::string built;
    const int kMessages = 4000;
    for (int i = 0; i < kMessages; ++i) {
      std::string text;
      for (size_t n = 1 + rng() % 60; n > 0; --n) text.push_back(kKeys[rng() % (sizeof kKeys - 1)]);
      long_replay.Noise(rng() % 4).Start().Type(text);
      if (i % 7 == 0) long_replay.Type("Q").Erase();
      built += text;
      if (i + 1 < kMessages) {
        long_replay.End();
        built += "\r\n";
      }
    }
    long_path_ = Write(dir_.filePath("long.rep"), long_replay);
    long_chat_ = QString::fromLatin1(built);
  }

  void cleanupTestCase() {
    for (const QByteArray& path : special_files_) unlink(path.constData());
  }

  // --- Layout.

  void resizeThroughTheThreshold_data() {
    QTest::addColumn<int>("dpi");
    // 20 and 16 twips a pixel meet the threshold exactly; 15 and 14.85 do not.
    for (int dpi : {72, 90, 96, 97}) QTest::addRow("%d dpi", dpi) << dpi;
  }

  void resizeThroughTheThreshold() {
    QFETCH(int, dpi);
    const TwipScale scale(dpi);
    auto w = Shown(chat_path_, scale);
    const Controls c = Find(*w);
    ControlGeometry expected = murvik::DesignGeometry();
    CHECK_STEP(CheckLaidOut(*w, expected), "first show");

    const int at = PixelsAtThreshold(scale), below = at - 1;
    QVERIFY(scale.ToTwips(below) < murvik::kLayoutThreshold);
    int resizes = 0;
    for (int cycle = 0; cycle < 10; ++cycle) {
      // A different size above the threshold at every step, so that every
      // layout moves the controls and staying put is seen.
      const auto above = [&](int k) { return at + 1 + (cycle * 37 + k * 53) % 400; };
      const struct {
        const char* what;
        QSize outer;
      } steps[] = {
          {"above", {above(0), above(1)}},
          {"below in width only", {below, above(2)}},
          {"below in height only", {above(3), below}},
          {"below in both", {below, below}},
          {"at the threshold", {at, at}},
          {"above again", {above(4), above(5)}},
          {"at in width, below in height", {at, below}},
          {"below in width, at in height", {below, at}},
          {"at in width, above in height", {at, above(6)}},
          {"above in width, at in height", {above(7), at}},
          {"far below", {below - 1 - cycle * 20, below - 2 - cycle * 20}},
      };
      for (const auto& step : steps) {
        const QString where = QStringLiteral("cycle %1, %2, outer %3 x %4")
                                  .arg(cycle)
                                  .arg(step.what)
                                  .arg(step.outer.width())
                                  .arg(step.outer.height());
        const QList<QRect> before = {c.chk->geometry(), c.txt->geometry(), c.text1->geometry(), c.go->geometry()};
        QVERIFY2(ResizeOuter(*w, step.outer), qPrintable(where));
        ++resizes;
        CHECK_STEP(CheckLaidOut(*w, expected), where);
        if (step.outer.width() < at || step.outer.height() < at) {
          const QList<QRect> after = {c.chk->geometry(), c.txt->geometry(), c.text1->geometry(), c.go->geometry()};
          QVERIFY2(after == before, qPrintable(where));
        }
      }
    }
    CheckOutput(c, kChat);
    qInfo("%d resizes", resizes);
  }

  // The offscreen platform maximises to its screen and full screen drops the
  // frame; minimising changes no size there. Whatever the sizes, the layout
  // follows them, the text stays, Go works in every state, and the window
  // works afterwards.
  void minimiseMaximiseAndBack() {
    auto w = Shown(chat_path_);
    const Controls c = Find(*w);
    ControlGeometry expected = murvik::DesignGeometry();
    CHECK_STEP(CheckLaidOut(*w, expected), "first show");
    enum State { kNormal, kMinimised, kMaximised, kFullScreen };
    const char* const kStateNames[] = {"normal", "minimised", "maximised", "full screen"};
    const State steps[] = {kMaximised, kNormal,     kMinimised, kNormal,     kMinimised, kMaximised,
                           kMinimised, kFullScreen, kMaximised, kFullScreen, kNormal};
    const QSize normal_size = w->size();
    int changes = 0;
    std::set<QString> sizes;  // inner sizes seen, for the log
    for (int round = 0; round < 3; ++round) {
      for (const State state : steps) {
        const QString where = QStringLiteral("round %1, %2").arg(round).arg(kStateNames[state]);
        switch (state) {
          case kNormal: w->showNormal(); break;
          case kMinimised: w->showMinimized(); break;
          case kMaximised: w->showMaximized(); break;
          case kFullScreen: w->showFullScreen(); break;
        }
        ++changes;
        // Minimising keeps a maximised or full-screen window's state under
        // it, to restore it from.
        const bool settled = Settle([&] {
          return w->isMinimized() == (state == kMinimised) &&
                 (state == kMinimised ||
                  (w->isMaximized() == (state == kMaximised) && w->isFullScreen() == (state == kFullScreen)));
        });
        QVERIFY2(settled, qPrintable(where));
        if (state == kNormal) QVERIFY2(w->size() == normal_size, qPrintable(where));
        // The offscreen screen is larger than the window's design size.
        if (state == kMaximised || state == kFullScreen)
          QVERIFY2(w->width() > normal_size.width() && w->height() > normal_size.height(), qPrintable(where));
        sizes.insert(QStringLiteral("%1 %2 x %3").arg(kStateNames[state]).arg(w->width()).arg(w->height()));
        CHECK_STEP(CheckLaidOut(*w, expected), where);
        CHECK_STEP(CheckOutput(c, kChat), where);
        // In the second round, Go in every state.
        if (round == 1) CHECK_STEP(GoShows(c, chat_path_, kChat), where + ", Go");
      }
    }
    qInfo("%d state changes; inner sizes: %s", changes, qPrintable(QStringList(sizes.begin(), sizes.end()).join(", ")));
    CHECK_STEP(GoShows(c, dir_.filePath("gone.rep"), kFailure), "Go on a missing file afterwards");
    CHECK_STEP(GoShows(c, chat_path_, kChat), "Go on the replay afterwards");
    QTest::mouseClick(c.chk, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kChat.toLower());
  }

  // --- Go.

  // Every path in turn, in a new order each round, Go by button or Enter;
  // now and then the Lowercase box changes, which Go must follow.
  void goOnGoodAndHostilePathsInTurn() {
    auto w = Shown();
    const Controls c = Find(*w);
    std::mt19937 rng(7);
    std::vector<const GoCase*> order;
    for (const GoCase& g : go_cases_) order.push_back(&g);
    QString last_text;  // what the last Go showed, as built
    int gos = 0;
    for (int round = 0; round < 8; ++round) {
      std::shuffle(order.begin(), order.end(), rng);
      for (const GoCase* g : order) {
        const QString where = QStringLiteral("Go %1 (%2)").arg(gos).arg(g->what);
        if (gos % 5 == 4) {
          QTest::mouseClick(c.chk, Qt::LeftButton);
          CHECK_STEP(CheckOutput(c, c.chk->isChecked() ? last_text.toLower() : last_text.toUpper()),
                     where + ", Lowercase before it");
        }
        c.txt->setText(g->path);
        if (gos % 2 == 0)
          QTest::mouseClick(c.go, Qt::LeftButton);
        else
          QTest::keyClick(c.txt, Qt::Key_Return);
        ++gos;
        QVERIFY2(c.txt->text() == g->path, qPrintable(where));
        CHECK_STEP(CheckOutput(c, c.chk->isChecked() ? g->text.toLower() : g->text), where);
        last_text = g->text;
      }
    }
    qInfo("%d Go's on %zu paths", gos, go_cases_.size());
    if (c.chk->isChecked()) QTest::mouseClick(c.chk, Qt::LeftButton);
    CHECK_STEP(GoShows(c, chat_path_, kChat), "a last Go on the replay");
  }

  // A name the window can only open if the text it shows in the path box
  // turns back into the same bytes.
  void goOnANameThatIsNotUtf8() {
    const QByteArray name = QFile::encodeName(dir_.path()) + "/caf\xe9 \xff.rep";
    // A hard link: the replay under the new name.
    QVERIFY(link(QFile::encodeName(chat_path_).constData(), name.constData()) == 0);
    special_files_ << name;
    const QString decoded = QFile::decodeName(name);
    auto w = Shown();
    const Controls c = Find(*w);
    if (QFile::encodeName(decoded) == name) {
      CHECK_STEP(GoShows(c, decoded, kChat), "Go on the name");
      return;
    }
    // The path box cannot hold the name; what it holds names no file.
    CHECK_STEP(GoShows(c, decoded, kFailure), "Go on the name as decoded");
    CHECK_STEP(GoShows(c, chat_path_, kChat), "Go on the replay afterwards");
    QSKIP("Qt decodes file names here as UTF-8, which cannot hold bytes that are not UTF-8: the window cannot "
          "name such a file (Go on the name as decoded fails cleanly)");
  }

  // --- Lowercase.

  void lowercaseManyTimesOnALongChat() {
    auto w = Shown(long_path_);
    const Controls c = Find(*w);
    CHECK_STEP(CheckOutput(c, long_chat_), "Go on the long replay");
    int clicks = 0;
    for (int i = 0; i < 40; ++i) {
      const bool was_checked = c.chk->isChecked();
      // Mouse, or Space with the focus on the box.
      if (i % 3 == 2) {
        c.chk->setFocus();
        QTest::keyClick(c.chk, Qt::Key_Space);
      } else {
        QTest::mouseClick(c.chk, Qt::LeftButton);
      }
      ++clicks;
      QVERIFY(c.chk->isChecked() != was_checked);
      // The chat is built in upper case: unchecked, the box shows it as built.
      CHECK_STEP(CheckOutput(c, c.chk->isChecked() ? long_chat_.toLower() : long_chat_),
                 QStringLiteral("Lowercase click %1").arg(clicks));
    }
    qInfo("%d Lowercase clicks on %lld characters", clicks, static_cast<long long>(long_chat_.size()));
    // Go with the box checked shows the long chat in lower case at once.
    QTest::mouseClick(c.chk, Qt::LeftButton);
    QVERIFY(c.chk->isChecked());
    CHECK_STEP(GoShows(c, long_path_, long_chat_), "Go with the box checked");
  }
};

QTEST_MAIN(FrmMurvikAbuseTest)
#include "frm_murvik_abuse_test.moc"
