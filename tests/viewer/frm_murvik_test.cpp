// The window as a user meets it, and under abuse: controls found by name,
// driven with QTest, checked by where they stand, what they show and the text
// the window holds.
#include "viewer/frm_murvik.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "replay_writer.h"
#include "viewer/icon.h"
#include "viewer/layout.h"
#include "viewer/output_box.h"
#include "viewer/startup.h"

namespace murvik {
namespace {

// After a step's checks: ends the test at its first failure, saying where.
#define STOP_IF_FAILED(where) \
  if (QTest::currentTestFailed()) QFAIL(qPrintable(QStringLiteral("failed at ") + (where)))

const QString kFailure = QStringLiteral("Failed to open replay");
// The chat of the replay initTestCase writes, as the window builds it.
const QString kChat = QStringLiteral("GL HF\r\nGO MID, NOT TOP\r\nBYE");

QString Write(const QString& path, ReplayWriter& w) {
  std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << w.Take();
  return path;
}

struct Controls {
  QCheckBox* chk;
  QLineEdit* txt;
  OutputBox* text1;
  QPushButton* go;
};

Controls Find(const frmMurvik& w) {
  return {w.findChild<QCheckBox*>("chkLowercase"), w.findChild<QLineEdit*>("txtReplay"),
          w.findChild<OutputBox*>("Text1"), w.findChild<QPushButton*>("cmdGo")};
}

// A window shown and active, at 15 twips a pixel unless told otherwise.
std::unique_ptr<frmMurvik> Shown(const QString& command_line = {}, TwipScale scale = TwipScale(96)) {
  auto w = std::make_unique<frmMurvik>(command_line, scale);
  w->show();
  w->activateWindow();
  if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
  return w;
}

// Checks that the window placed each control at geometry `g` and holds it.
void CheckPlaced(const frmMurvik& w, const ControlGeometry& g) {
  const Controls c = Find(w);
  QCOMPARE(c.chk->geometry(), w.scale().ToPixels(g.chk_lowercase));
  QCOMPARE(c.txt->geometry(), w.scale().ToPixels(g.txt_replay));
  QCOMPARE(c.text1->geometry(), w.scale().ToPixels(g.text1));
  QCOMPARE(c.go->geometry(), w.scale().ToPixels(g.cmd_go));
  QVERIFY(w.geometry_twips() == g);
}

// Lays `expected` out for the window's present outer and inner size, as the
// window should have on its last resize, and checks it did.
void CheckLaidOut(const frmMurvik& w, ControlGeometry& expected) {
  expected = LayOut(w.scale().ToTwips(w.frameGeometry().size()), w.scale().ToTwips(w.size()), expected);
  CheckPlaced(w, expected);
}

// Checks that the output box holds `text`, in lower case when the check box
// is checked, shows it with a line for each line break, and is visible.
void CheckOutput(const Controls& c, const QString& text) {
  const QString held = c.chk->isChecked() ? text.toLower() : text;
  QCOMPARE(c.text1->Text(), held);
  QCOMPARE(c.text1->toPlainText(), QString(held).replace("\r\n", "\n"));
  QVERIFY(c.text1->isVisible());
}

struct GoCase {
  const char* what;
  QString path, text;
};  // `text`: what Go shows

// Counts the times the widget it watches is hidden.
struct HideCounter : QObject {
  int hides = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    hides += e->type() == QEvent::Hide;
    return false;
  }
};

}  // namespace
}  // namespace murvik

using namespace murvik;

class FrmMurvikTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString chat_path_, quiet_path_, long_path_, long_chat_;
  std::vector<GoCase> go_cases_;

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    ReplayWriter chat(7), quiet(3), long_replay(9);
    chat.Noise(5).Say("GL HF").Noise(3).Start().Type("GO MID, NOT TIP").Erase().Erase().Type("OP").End();
    chat_path_ = Write(dir_.filePath("chat.rep"), chat.Noise(2).Start().Type("BYE"));
    quiet_path_ = Write(dir_.filePath("quiet.rep"), quiet.Noise(20).Type("KEYS OUTSIDE A MESSAGE"));
    const QString blanks = dir_.filePath("  blanks at both ends.rep  "), newline = dir_.filePath("new\nline.rep");
    const QString link = dir_.filePath("link.rep"), fifo = dir_.filePath("fifo.rep");
    QVERIFY(QFile::copy(chat_path_, blanks) && QFile::copy(chat_path_, newline) && QFile::link(chat_path_, link));
    // No reader or writer ever opens the FIFO: a window that opened it to
    // read would wait for ever, and the test's time limit would end it.
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    go_cases_ = {
        {"replay", chat_path_, kChat},
        {"replay, quoted", '"' + chat_path_ + '"', kChat},
        {"symbolic link to the replay", link, kChat},
        {"replay with no chat", quiet_path_, QString()},
        {"name with blanks at both ends", blanks, kChat},
        {"name with a newline", newline, kChat},
        {"the replay's path and a blank", chat_path_ + ' ', kFailure},
        {"a blank and the replay's path", ' ' + chat_path_, kFailure},
        {"a NUL inside the replay's path", chat_path_ + QChar(0) + QStringLiteral(".rep"), kFailure},
        {"a path longer than the system takes", dir_.path() + QStringLiteral("/.").repeated(3000), kFailure},
        {"missing file", dir_.filePath("gone.rep"), kFailure},
        {"empty path", QString(), kFailure},
        {"FIFO", fifo, kFailure},
        {"/dev/zero", QStringLiteral("/dev/zero"), kFailure},
    };
    // Thousands of messages with every character a key types.
    const std::string keys = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 /.-;,";
    for (int i = 0; i < 4000; ++i) {
      const std::string text = keys.substr(i % 41, 1 + i % 17) + std::to_string(i);
      long_replay.Noise(i % 4).Say(text);
      long_chat_ += QString::fromStdString(text) + "\r\n";
    }
    long_path_ = Write(dir_.filePath("long.rep"), long_replay);
  }

  // As created, at 15 twips a pixel; then first shown, laid out at the design
  // size, with the focus in the path box and Tab following the tab indexes,
  // out of the output box too.
  void createdAndFirstShown() {
    frmMurvik w(QString(), TwipScale(96));
    QCOMPARE(w.objectName(), QStringLiteral("frmMurvik"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Murvik v0.1"));
    const QImage icon = IconImage();
    QVERIFY(!w.windowIcon().isNull() && icon.size() == QSize(16, 16));
    QVERIFY(icon.format() == QImage::Format_Indexed8 && icon.colorCount() == 256);
    SetUpApplication();
    QCOMPARE(QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion(), "Murvik 0.01");
    QStringList order;
    for (QObject* child : w.children())
      if (child->isWidgetType()) order << child->objectName();
    QCOMPARE(order, QStringList({"chkLowercase", "txtReplay", "Text1", "cmdGo"}));
    const Controls c = Find(w);
    QCOMPARE(c.chk->text() + c.go->text(), QStringLiteral("&Lowercase&Go"));
    QVERIFY(!c.chk->isChecked() && c.text1->Text().isEmpty() && c.text1->toPlainText().isEmpty());
    QCOMPARE(w.size(), QSize(618, 467));
    QCOMPARE(c.go->geometry(), QRect(544, 440, 57, 25));  // 8160, 6600, 855, 375 twips
    CheckPlaced(w, {{6600, 6600, 1095, 375}, {0, 6600, 6495, 285}, {0, 0, 9255, 6495}, {8160, 6600, 855, 375}});

    auto shown = Shown();
    QCOMPARE(shown->size(), QSize(618, 467));
    CheckPlaced(*shown, {{7220, 6505, 1095, 375}, {0, 6505, 7170, 285}, {0, 0, 9270, 6405}, {8365, 6505, 855, 375}});
    const Controls s = Find(*shown);
    QCOMPARE(QApplication::focusWidget(), s.txt);
    for (QWidget* next : std::initializer_list<QWidget*>{s.chk, s.go, s.text1, s.txt}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
  }

  // The scale the window picks shows the captions and a line of the path box whole.
  void defaultScaleShowsCaptionsAndPathWhole() {
    frmMurvik w;
    const Controls c = Find(w);
    QVERIFY(w.scale().dpi() >= w.logicalDpiY());
    QVERIFY(c.chk->width() >= c.chk->sizeHint().width() && c.chk->height() >= c.chk->sizeHint().height());
    QVERIFY(c.txt->height() >= c.txt->sizeHint().height());
    QVERIFY(c.go->width() >= c.go->fontMetrics().horizontalAdvance("Go"));
    QCOMPARE(w.size(), w.scale().ToPixels(kDesignInnerSize));
  }

  void load_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    const QString blanks = dir_.filePath("my chat.rep");
    QFile::copy(chat_path_, blanks);
    QString quotes_inside = chat_path_;
    quotes_inside.insert(3, "\"\"").insert(quotes_inside.size() - 2, '"');
    QTest::newRow("none") << QString() << QCoreApplication::applicationDirPath() + "/replay.rep" << QString();
    QTest::newRow("quoted") << '"' + chat_path_ + '"' << chat_path_ << kChat;
    QTest::newRow("several words") << blanks << blanks << kChat;
    QTest::newRow("quotes inside") << quotes_inside << chat_path_ << kChat;
    QTest::newRow("only quotes") << "\"\"" << QString() << kFailure;
  }

  // Load runs Go on a command line before the window is shown.
  void load() {
    QFETCH(QString, commandLine);
    QFETCH(QString, path);
    QFETCH(QString, text);
    frmMurvik w(commandLine, TwipScale(96));
    const Controls c = Find(w);
    QCOMPARE(c.txt->text(), path);
    QCOMPARE(c.text1->Text(), text);
    QVERIFY(!c.text1->isHidden());
  }

  // Qt takes none of the arguments for itself; no doubled separator.
  void commandLineTextAndDefaultPath() {
    const char* none[] = {"murvik"};
    QCOMPARE(CommandLineText(1, none), QString());
    const char* words[] = {"murvik", "\"/tmp/a", "b.rep\"", "-reverse", "", "x"};
    QCOMPARE(CommandLineText(6, words), QStringLiteral("\"/tmp/a b.rep\" -reverse  x"));
    QCOMPARE(DefaultReplayPath("/opt/murvik/bin"), QStringLiteral("/opt/murvik/bin/replay.rep"));
    QCOMPARE(DefaultReplayPath("/"), QStringLiteral("/replay.rep"));
  }

  // Enter in the path box and Alt+G run Go, Alt+L clicks Lowercase. The
  // placeholder says how to open a replay, then that one holds no chat. The
  // output box is read-only and scrolls.
  void keysAndPlaceholders() {
    auto w = Shown();
    const Controls c = Find(*w);
    QVERIFY(c.text1->placeholderText().contains("press Go") && c.text1->placeholderText().contains("drop"));
    c.txt->setText(quiet_path_);
    QTest::keyClick(c.txt, Qt::Key_Return);
    QVERIFY(c.text1->Text().isEmpty() && c.text1->placeholderText().contains("no chat"));
    c.txt->setText(chat_path_);
    for (const auto& [key, text] : {std::pair{Qt::Key_G, kChat}, {Qt::Key_L, kChat.toLower()}, {Qt::Key_L, kChat}}) {
      QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
      QTRY_COMPARE(c.text1->Text(), text);
    }
    QVERIFY(c.text1->verticalScrollBar()->isVisible());
    c.text1->setFocus();
    QTest::keyClicks(c.text1, "XYZ");
    QTest::keyClick(c.text1, Qt::Key_Backspace);
    QCOMPARE(c.text1->Text(), kChat);
  }

  void drop_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("accepted");
    const QList<QUrl> one = {QUrl::fromLocalFile(chat_path_)};
    for (const char* target : {"frmMurvik", "Text1", "txtReplay", "chkLowercase", "cmdGo"})
      QTest::addRow("one local file on %s", target) << target << one << true;
    QTest::newRow("two local files") << "frmMurvik" << one + one << false;
    QTest::newRow("web address") << "Text1" << QList<QUrl>{QUrl("https://example.org/chat.rep")} << false;
    QTest::newRow("text only") << "Text1" << QList<QUrl>{} << false;
  }

  // One local file dropped anywhere is taken and opened; anything else is
  // refused. File managers offer the file's address as text too, which a text
  // box would take for itself; events sent to a control travel up to the
  // window unless the control takes them.
  void drop() {
    QFETCH(QString, target);
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, accepted);
    auto w = Shown();
    const Controls c = Find(*w);
    const QString path_before = c.txt->text();
    QWidget* to = target == w->objectName() ? w.get() : w->findChild<QWidget*>(target);
    if (to == c.text1) to = c.text1->viewport();
    QMimeData data;
    data.setUrls(urls);
    data.setText(urls.isEmpty() ? chat_path_ : urls.front().toString());
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(to, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(to, &drop);
    QCOMPARE(c.txt->text(), accepted ? chat_path_ : path_before);
    QCOMPARE(c.text1->Text(), accepted ? kChat : QString());
  }

  // --- Abuse.

  void resizeThroughTheThreshold_data() {
    QTest::addColumn<int>("dpi");
    // 20 and 16 twips a pixel meet the threshold exactly; 15 and 14.85 do not.
    for (int dpi : {72, 90, 96, 97}) QTest::addRow("%d dpi", dpi) << dpi;
  }

  // Outer sizes at, just below and above the threshold in each dimension, and
  // far below; above it a new size at every step, so that every layout moves
  // the controls and one left out shows.
  void resizeThroughTheThreshold() {
    QFETCH(int, dpi);
    const TwipScale scale(dpi);
    auto w = Shown(chat_path_, scale);
    ControlGeometry expected = DesignGeometry();
    CheckLaidOut(*w, expected);
    int at = 1;
    while (scale.ToTwips(at) < kLayoutThreshold) ++at;
    const int b = at - 1;
    for (int cycle = 0; cycle < 10; ++cycle) {
      const auto up = [&](int k) { return at + 1 + (cycle * 37 + k * 53) % 400; };
      const QSize steps[] = {{up(0), up(1)},
                             {b, up(2)},
                             {up(3), b},
                             {b, b},
                             {at, at},
                             {up(4), up(5)},
                             {at, b},
                             {b, at},
                             {at, up(6)},
                             {up(7), at},
                             {b - 1 - cycle * 20, b - 2 - cycle * 20}};
      for (const QSize outer : steps) {
        w->resize(outer - (w->frameGeometry().size() - w->size()));
        QTRY_COMPARE(w->frameGeometry().size(), outer);
        CheckLaidOut(*w, expected);
        STOP_IF_FAILED(QStringLiteral("cycle %1, %2 x %3").arg(cycle).arg(outer.width()).arg(outer.height()));
      }
    }
    CheckOutput(Find(*w), kChat);
  }

  // The offscreen platform maximises to its screen and full screen drops the
  // frame; minimising changes no size there, and keeps the state under it to
  // restore it from. The layout follows, the text stays, Go works in each.
  void minimiseMaximiseAndBack() {
    auto w = Shown(chat_path_);
    const Controls c = Find(*w);
    ControlGeometry expected = DesignGeometry();
    const Qt::WindowState kNormal = Qt::WindowNoState, kMin = Qt::WindowMinimized, kMax = Qt::WindowMaximized,
                          kFull = Qt::WindowFullScreen;
    const Qt::WindowState states[] = {kMax, kNormal, kMin, kNormal, kMin, kMax, kMin, kFull, kMax, kFull, kNormal};
    for (int round = 0; round < 3; ++round) {
      for (const Qt::WindowState state : states) {
        const Qt::WindowStates target = (state == kMin ? w->windowState() | kMin : state) & ~Qt::WindowActive;
        w->setWindowState(target);
        QCoreApplication::processEvents();
        QTRY_COMPARE(w->windowState() & ~Qt::WindowActive, target);
        CheckLaidOut(*w, expected);
        CheckOutput(c, kChat);
        STOP_IF_FAILED(QStringLiteral("round %1, state %2").arg(round).arg(state));
        if (round == 1) QTest::mouseClick(c.go, Qt::LeftButton);  // Go in every state
      }
    }
  }

  // Every path in turn, in a new order each round, Go by button or Enter;
  // now and then Lowercase on what the last Go showed, and Go must follow it.
  void goOnGoodAndHostilePathsInTurn() {
    auto w = Shown();
    const Controls c = Find(*w);
    std::mt19937 rng(7);
    std::vector<GoCase> order = go_cases_;
    QString last;        // what the last Go showed, as built
    HideCounter hidden;  // the output box is hidden while each Go reads
    c.text1->installEventFilter(&hidden);
    for (int round = 0, gos = 0; round < 8; ++round) {
      std::shuffle(order.begin(), order.end(), rng);
      for (const GoCase& g : order) {
        if (gos % 5 == 4) {
          QTest::mouseClick(c.chk, Qt::LeftButton);
          CheckOutput(c, c.chk->isChecked() ? last : last.toUpper());
        }
        c.txt->setText(g.path);
        const int hides = hidden.hides;
        if (gos++ % 2 == 0)
          QTest::mouseClick(c.go, Qt::LeftButton);
        else
          QTest::keyClick(c.txt, Qt::Key_Return);
        QCOMPARE(c.txt->text(), QString(g.path).remove('"'));
        CheckOutput(c, g.text);
        QCOMPARE(hidden.hides, hides + 1);
        STOP_IF_FAILED(QStringLiteral("Go %1 (%2)").arg(gos).arg(g.what));
        last = g.text;
      }
    }
  }

  void lowercaseManyTimesOnALongChat() {
    auto w = Shown(long_path_);
    const Controls c = Find(*w);
    for (int i = 0; i < 40; ++i) {
      QTest::mouseClick(c.chk, Qt::LeftButton);
      QCOMPARE(c.chk->isChecked(), i % 2 == 0);
      // Built in upper case, the chat shows as built when unchecked.
      CheckOutput(c, long_chat_);
      STOP_IF_FAILED(QStringLiteral("Lowercase click %1").arg(i));
    }
  }
};

QTEST_MAIN(FrmMurvikTest)
#include "frm_murvik_test.moc"
