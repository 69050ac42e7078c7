// The window as a user meets it: controls found by name, driven with QTest,
// checked by what they show.
#include "viewer/frm_murvik.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>

#include "replay_writer.h"
#include "viewer/output_box.h"
#include "viewer/startup.h"

using murvik::ControlGeometry;
using murvik::frmMurvik;
using murvik::OutputBox;
using murvik::TwipRect;
using murvik::TwipScale;

namespace {

const QString kFailure = QStringLiteral("Failed to open replay");
// The chat of ChatReplay(), as built and as shown.
const QString kChat = QStringLiteral("GL HF\r\nGO MID, NOT TOP\r\nBYE");
const QString kChatShown = QStringLiteral("GL HF\nGO MID, NOT TOP\nBYE");

std::string ChatReplay() {
  murvik::ReplayWriter w(7);
  w.Noise(5).Say("GL HF").Noise(3).Start().Type("GO MID, NOT TIP").Erase().Erase().Type("OP").End();
  w.Noise(2).Start().Type("BYE");
  return w.Take();
}

std::string NoChatReplay() {
  murvik::ReplayWriter w(3);
  w.Noise(20).Type("KEYS OUTSIDE A MESSAGE");
  return w.Take();
}

QString Write(const QString& path, const std::string& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), static_cast<qint64>(bytes.size())) < 0)
    qFatal("cannot write %s", qPrintable(path));
  return path;
}

// Pixels at 15 twips a pixel, worked out apart from the code under test.
QRect At96Dpi(const TwipRect& r) {
  const auto px = [](int twips) { return static_cast<int>(std::lround(twips / 15.0)); };
  return {px(r.left), px(r.top), px(r.width), px(r.height)};
}

}  // namespace

class FrmMurvikTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString chat_path_;
  QString no_chat_path_;

  struct Controls {
    QCheckBox* chk;
    QLineEdit* txt;
    OutputBox* text1;
    QPushButton* go;
  };
  static Controls Find(const frmMurvik& w) {
    return {w.findChild<QCheckBox*>("chkLowercase"), w.findChild<QLineEdit*>("txtReplay"),
            w.findChild<OutputBox*>("Text1"), w.findChild<QPushButton*>("cmdGo")};
  }
  // A window shown and active, at `scale` (96 DPI unless given).
  static std::unique_ptr<frmMurvik> Shown(const QString& command_line = {}, TwipScale scale = TwipScale(96)) {
    auto w = std::make_unique<frmMurvik>(command_line, scale);
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
    return w;
  }
  // Sends Alt+`key` to whatever has the focus.
  static void AltKey(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier); }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    chat_path_ = Write(dir_.filePath("chat.rep"), ChatReplay());
    no_chat_path_ = Write(dir_.filePath("quiet.rep"), NoChatReplay());
  }

  // --- The window and its controls as created.

  void controlsAreCreatedInOrderWithNamesAndCaptions() {
    frmMurvik w(QString(), TwipScale(96));
    QCOMPARE(w.objectName(), QStringLiteral("frmMurvik"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Murvik v0.1"));
    QCOMPARE(w.windowIcon().pixmap(16, 16).size(), QSize(16, 16));
    QStringList order;
    for (QObject* child : w.children())
      if (child->isWidgetType()) order << child->objectName();
    QCOMPARE(order, QStringList({"chkLowercase", "txtReplay", "Text1", "cmdGo"}));

    const Controls c = Find(w);
    QCOMPARE(c.chk->text(), QStringLiteral("&Lowercase"));
    QVERIFY(!c.chk->isChecked());
    QCOMPARE(c.go->text(), QStringLiteral("&Go"));
    QVERIFY(c.text1->Text().isEmpty());
    QVERIFY(c.text1->toPlainText().isEmpty());
    QVERIFY(c.text1->isReadOnly());
  }

  void designGeometryInTwipsAndPixels() {
    frmMurvik w(QString(), TwipScale(96));
    const Controls c = Find(w);
    const ControlGeometry& g = w.geometry_twips();
    const struct {
      QWidget* widget;
      TwipRect twips;
      TwipRect design;
    } rows[] = {
        {c.chk, g.chk_lowercase, {6600, 6600, 1095, 375}},
        {c.txt, g.txt_replay, {0, 6600, 6495, 285}},
        {c.text1, g.text1, {0, 0, 9255, 6495}},
        {c.go, g.cmd_go, {8160, 6600, 855, 375}},
    };
    for (const auto& row : rows) {
      QVERIFY2(row.twips == row.design, qPrintable(row.widget->objectName()));
      QCOMPARE(row.widget->geometry(), At96Dpi(row.design));
    }
    QCOMPARE(w.size(), QSize(618, 467));
  }

  void defaultScaleShowsCaptionsAndPathWhole() {
    frmMurvik w;
    const Controls c = Find(w);
    QVERIFY(w.scale().dpi() >= w.logicalDpiY());
    QVERIFY(c.chk->width() >= c.chk->sizeHint().width());
    QVERIFY(c.chk->height() >= c.chk->sizeHint().height());
    QVERIFY(c.txt->height() >= c.txt->sizeHint().height());
    QVERIFY(c.go->width() >= c.go->fontMetrics().horizontalAdvance("Go"));
    QVERIFY(c.go->height() >= c.go->sizeHint().height());
    QCOMPARE(w.size(), w.scale().ToPixels(murvik::kDesignInnerSize));
  }

  void firstFocusAndTabOrder() {
    auto w = Shown();
    const Controls c = Find(*w);
    QCOMPARE(QApplication::focusWidget(), c.txt);
    // Tab follows the tab indexes and leaves the output box too.
    for (QWidget* next : {static_cast<QWidget*>(c.chk), static_cast<QWidget*>(c.go),
                          static_cast<QWidget*>(c.text1), static_cast<QWidget*>(c.txt)}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
  }

  // --- Load.

  void load_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    const QString blank_path = dir_.filePath("my chat.rep");
    Write(blank_path, ChatReplay());
    const QString app_dir = QCoreApplication::applicationDirPath();
    QTest::newRow("none") << QString() << app_dir + "/replay.rep" << QString();
    QTest::newRow("quoted") << '"' + chat_path_ + '"' << chat_path_ << kChat;
    QTest::newRow("several words") << blank_path << blank_path << kChat;
    QTest::newRow("quoted, several words") << '"' + blank_path + '"' << blank_path << kChat;
    const QString mid = chat_path_;
    QTest::newRow("quotes in the middle") << QString(mid).insert(3, "\"\"").insert(mid.size() - 2, '"') << mid
                                          << kChat;
    QTest::newRow("only quotes") << "\"\"" << QString() << kFailure;
    QTest::newRow("missing") << dir_.filePath("gone.rep") << dir_.filePath("gone.rep") << kFailure;
  }

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

  void commandLineTextAndDefaultPath() {
    const char* none[] = {"murvik"};
    QCOMPARE(murvik::CommandLineText(1, none), QString());
    const char* words[] = {"murvik", "\"/tmp/a", "b.rep\"", "-reverse", "", "x"};
    QCOMPARE(murvik::CommandLineText(6, words), QStringLiteral("\"/tmp/a b.rep\" -reverse  x"));
    QCOMPARE(murvik::DefaultReplayPath("/opt/murvik/bin"), QStringLiteral("/opt/murvik/bin/replay.rep"));
    QCOMPARE(murvik::DefaultReplayPath("/"), QStringLiteral("/replay.rep"));
  }

  // --- Go.

  void go_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("chat") << chat_path_ << kChat << kChatShown;
    QTest::newRow("no chat") << no_chat_path_ << QString() << QString();
    QTest::newRow("missing file") << dir_.filePath("gone.rep") << kFailure << kFailure;
    QTest::newRow("empty path") << QString() << kFailure << kFailure;
    QTest::newRow("directory") << dir_.path() << kFailure << kFailure;
  }

  void go() {
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    auto w = Shown();
    const Controls c = Find(*w);
    c.txt->setText(path);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), text);
    QCOMPARE(c.text1->toPlainText(), shown);
    QVERIFY(c.text1->isVisible());
    QCOMPARE(c.txt->text(), path);
  }

  void goTwiceHidesTheBoxWhileReadingAndGivesTheSameText() {
    auto w = Shown();
    const Controls c = Find(*w);
    int hides = 0;
    struct HideCounter : QObject {
      int* count;
      explicit HideCounter(int* n) : count(n) {}
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Hide) ++*count;
        return false;
      }
    } counter(&hides);
    c.text1->installEventFilter(&counter);
    c.txt->setText('"' + chat_path_ + '"');
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.txt->text(), chat_path_);
    QCOMPARE(c.text1->Text(), kChat);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kChat);
    QCOMPARE(hides, 2);
    QVERIFY(c.text1->isVisible());
  }

  void enterInThePathBoxRunsGo() {
    auto w = Shown();
    const Controls c = Find(*w);
    c.txt->setText(chat_path_);
    QTest::keyClick(c.txt, Qt::Key_Return);
    QCOMPARE(c.text1->Text(), kChat);
  }

  void placeholderTellsWhatToDoThenThatThereIsNoChat() {
    auto w = Shown();
    const Controls c = Find(*w);
    QVERIFY(c.text1->placeholderText().contains("Go"));
    QVERIFY(c.text1->placeholderText().contains("drop"));
    c.txt->setText(no_chat_path_);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QVERIFY(c.text1->Text().isEmpty());
    QVERIFY(c.text1->placeholderText().contains("no chat"));
  }

  void outputBoxIsReadOnlyButCopiesWhatItShows() {
    auto w = Shown('"' + chat_path_ + '"');
    const Controls c = Find(*w);
    QVERIFY(c.text1->verticalScrollBar()->isVisible());
    c.text1->setFocus();
    QTest::keyClicks(c.text1, "XYZ");
    QTest::keyClick(c.text1, Qt::Key_Backspace);
    QCOMPARE(c.text1->Text(), kChat);
    QApplication::clipboard()->clear();
    QTest::keyClick(c.text1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(c.text1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), kChatShown);
    QTest::keyClick(c.text1, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(c.text1, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(c.text1->textCursor().selectedText(), QStringLiteral("GL HF"));
  }

  // --- Lowercase.

  void lowercase_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << no_chat_path_ << QString();
    QTest::newRow("chat") << chat_path_ << kChat;
    QTest::newRow("failure text") << dir_.filePath("gone.rep") << kFailure;
  }

  void lowercase() {
    QFETCH(QString, path);
    QFETCH(QString, text);
    auto w = Shown(path);
    const Controls c = Find(*w);
    QTest::mouseClick(c.chk, Qt::LeftButton);
    QVERIFY(c.chk->isChecked());
    QCOMPARE(c.text1->Text(), text.toLower());
    QTest::mouseClick(c.chk, Qt::LeftButton);
    QVERIFY(!c.chk->isChecked());
    QCOMPARE(c.text1->Text(), text.toUpper());
  }

  // The text agrees with the check box from Go on; unchecked, Go shows the
  // text as built.
  void goWithTheBoxCheckedShowsLowerCase() {
    auto w = Shown();
    const Controls c = Find(*w);
    QTest::mouseClick(c.chk, Qt::LeftButton);
    c.txt->setText(chat_path_);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kChat.toLower());
    c.txt->setText(dir_.filePath("gone.rep"));
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kFailure.toLower());
    QTest::mouseClick(c.chk, Qt::LeftButton);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kFailure);
  }

  void accessKeys() {
    auto w = Shown();
    const Controls c = Find(*w);
    c.txt->setText(chat_path_);
    AltKey(Qt::Key_G);
    QTRY_COMPARE(c.text1->Text(), kChat);
    AltKey(Qt::Key_L);
    QTRY_VERIFY(c.chk->isChecked());
    QCOMPARE(c.text1->Text(), kChat.toLower());
    AltKey(Qt::Key_L);
    QTRY_VERIFY(!c.chk->isChecked());
    QCOMPARE(c.text1->Text(), kChat.toUpper());
  }

  // --- Layout on resize.

  void firstShowLaysOutTheWorkedExample() {
    auto w = Shown();
    const Controls c = Find(*w);
    QCOMPARE(w->size(), QSize(618, 467));
    const ControlGeometry& g = w->geometry_twips();
    const struct {
      QWidget* widget;
      TwipRect twips;
      TwipRect expected;
    } rows[] = {
        {c.text1, g.text1, {0, 0, 9270, 6405}},
        {c.txt, g.txt_replay, {0, 6505, 7170, 285}},
        {c.chk, g.chk_lowercase, {7220, 6505, 1095, 375}},
        {c.go, g.cmd_go, {8365, 6505, 855, 375}},
    };
    for (const auto& row : rows) {
      QVERIFY2(row.twips == row.expected, qPrintable(row.widget->objectName()));
      QCOMPARE(row.widget->geometry(), At96Dpi(row.expected));
    }
  }

  void layoutThreshold_data() {
    // At 90 DPI a pixel is 16 twips, so 250 pixels are exactly 4000 twips.
    QTest::addColumn<QSize>("outerPixels");
    QTest::addColumn<bool>("laysOut");
    QTest::newRow("at the threshold") << QSize(250, 250) << true;
    QTest::newRow("just below in width") << QSize(249, 250) << false;
    QTest::newRow("just below in height") << QSize(250, 249) << false;
    QTest::newRow("just above in width") << QSize(251, 250) << true;
    QTest::newRow("just above in height") << QSize(250, 251) << true;
  }

  void layoutThreshold() {
    QFETCH(QSize, outerPixels);
    QFETCH(bool, laysOut);
    const TwipScale scale(90);
    auto w = Shown(QString(), scale);
    const Controls c = Find(*w);
    const QSize frame = w->frameGeometry().size() - w->size();
    const QSize inner = outerPixels - frame;
    const QRect go_before = c.go->geometry();
    w->resize(inner);
    QTRY_COMPARE(w->size(), inner);
    QCOMPARE(w->frameGeometry().size(), outerPixels);
    if (!laysOut) {
      QCOMPARE(c.go->geometry(), go_before);
      return;
    }
    // The layout follows the inner size, which the frame makes smaller than
    // the outer one.
    const int inner_w = inner.width() * 16, inner_h = inner.height() * 16;
    const ControlGeometry& g = w->geometry_twips();
    QCOMPARE(g.text1.width, inner_w);
    QCOMPARE(g.text1.height, inner_h - 600);
    QCOMPARE(g.txt_replay.width, inner_w - 2100);
    QCOMPARE(g.cmd_go.left + g.cmd_go.width, inner_w - 50);
    QCOMPARE(g.cmd_go.top, inner_h - 500);
    QCOMPARE(c.text1->geometry(), scale.ToPixels(g.text1));
    QCOMPARE(c.go->geometry(), scale.ToPixels(g.cmd_go));
  }

  void growingWidensThePathBoxAndSlidesTheRow() {
    auto w = Shown();
    const Controls c = Find(*w);
    const QRect txt = c.txt->geometry(), chk = c.chk->geometry(), go = c.go->geometry();
    w->resize(w->width() + 150, w->height() + 90);
    QTRY_COMPARE(w->size(), QSize(768, 557));
    QCOMPARE(c.txt->width(), txt.width() + 150);
    QCOMPARE(c.chk->geometry(), chk.translated(150, 90));
    QCOMPARE(c.go->geometry(), go.translated(150, 90));
    QCOMPARE(c.text1->size(), QSize(768, 557 - 40));
    const ControlGeometry& g = w->geometry_twips();
    QCOMPARE(g.cmd_go.left + g.cmd_go.width, 768 * 15 - 50);
    QCOMPARE(g.txt_replay.top, 557 * 15 - 500);
  }

  // --- Drag and drop.

  void drop_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("one local file") << QList<QUrl>{QUrl::fromLocalFile(chat_path_)} << true;
    QTest::newRow("two local files")
        << QList<QUrl>{QUrl::fromLocalFile(chat_path_), QUrl::fromLocalFile(no_chat_path_)} << false;
    QTest::newRow("web address") << QList<QUrl>{QUrl("https://example.org/chat.rep")} << false;
    QTest::newRow("no file") << QList<QUrl>{} << false;
  }

  void drop() {
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, accepted);
    auto w = Shown();
    const Controls c = Find(*w);
    const QString path_before = c.txt->text();
    QMimeData data;
    if (urls.isEmpty())
      data.setText(chat_path_);
    else
      data.setUrls(urls);
    const QPoint at = c.text1->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &drop);
    QCOMPARE(drop.isAccepted(), accepted);
    QCOMPARE(c.txt->text(), accepted ? chat_path_ : path_before);
    QCOMPARE(c.text1->Text(), accepted ? kChat : QString());
  }

  // A file dropped on any control reaches the window and is opened.
  void dropOnAControl_data() {
    QTest::addColumn<QString>("control");
    for (const char* name : {"Text1", "txtReplay", "chkLowercase", "cmdGo"}) QTest::newRow(name) << name;
  }

  void dropOnAControl() {
    QFETCH(QString, control);
    auto w = Shown();
    const Controls c = Find(*w);
    QWidget* target = w->findChild<QWidget*>(control);
    if (auto* box = qobject_cast<QPlainTextEdit*>(target)) target = box->viewport();
    // File managers offer the file's address as text too, which a text box
    // would take for itself.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(chat_path_)});
    data.setText(QUrl::fromLocalFile(chat_path_).toString());
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCOMPARE(c.txt->text(), chat_path_);
    QCOMPARE(c.text1->Text(), kChat);
  }
};

QTEST_MAIN(FrmMurvikTest)
#include "frm_murvik_test.moc"
