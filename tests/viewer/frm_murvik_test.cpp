// The window as a user meets it: controls found by name, driven with QTest,
// checked by what they show and by the text the window holds.
#include "viewer/frm_murvik.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>

#include "viewer/icon.h"
#include "viewer/startup.h"
#include "window_test_support.h"

using murvik::ControlGeometry;
using murvik::frmMurvik;
using murvik::TwipRect;
using murvik::TwipScale;
using murvik::testing::Controls;
using murvik::testing::Find;
using murvik::testing::kFailure;
using murvik::testing::Shown;
using murvik::testing::Write;

namespace {

// The chat of the replay written by initTestCase, as built and as shown.
const QString kChat = QStringLiteral("GL HF\r\nGO MID, NOT TOP\r\nBYE");
const QString kChatShown = QStringLiteral("GL HF\nGO MID, NOT TOP\nBYE");

void AltKey(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier); }

// Checks each control's geometry in twips, and in pixels at 15 twips a pixel
// (worked out here apart from the code under test).
void CheckGeometry(const frmMurvik& w, const TwipRect& chk, const TwipRect& txt, const TwipRect& text1,
                   const TwipRect& go) {
  const auto px = [](const TwipRect& r) {
    const auto p = [](int twips) { return static_cast<int>(std::lround(twips / 15.0)); };
    return QRect(p(r.left), p(r.top), p(r.width), p(r.height));
  };
  const ControlGeometry& g = w.geometry_twips();
  QVERIFY(g.chk_lowercase == chk && g.txt_replay == txt && g.text1 == text1 && g.cmd_go == go);
  const Controls c = Find(w);
  QCOMPARE(c.chk->geometry(), px(chk));
  QCOMPARE(c.txt->geometry(), px(txt));
  QCOMPARE(c.text1->geometry(), px(text1));
  QCOMPARE(c.go->geometry(), px(go));
}

}  // namespace

class FrmMurvikTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString chat_path_, no_chat_path_, missing_path_;

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    murvik::ReplayWriter chat(7);
    chat.Noise(5).Say("GL HF").Noise(3).Start().Type("GO MID, NOT TIP").Erase().Erase().Type("OP").End();
    chat.Noise(2).Start().Type("BYE");
    chat_path_ = Write(dir_.filePath("chat.rep"), chat);
    murvik::ReplayWriter quiet(3);
    quiet.Noise(20).Type("KEYS OUTSIDE A MESSAGE");
    no_chat_path_ = Write(dir_.filePath("quiet.rep"), quiet);
    missing_path_ = dir_.filePath("gone.rep");
  }

  // --- The window as created and first shown.

  void createdControls() {
    frmMurvik w(QString(), TwipScale(96));
    QCOMPARE(w.objectName(), QStringLiteral("frmMurvik"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Murvik v0.1"));
    QVERIFY(!w.windowIcon().isNull());
    const QImage icon = murvik::IconImage();
    QVERIFY(icon.size() == QSize(16, 16) && icon.format() == QImage::Format_Indexed8 && icon.colorCount() == 256);
    murvik::SetUpApplication();
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Murvik"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("0.01"));
    QStringList order;
    for (QObject* child : w.children())
      if (child->isWidgetType()) order << child->objectName();
    QCOMPARE(order, QStringList({"chkLowercase", "txtReplay", "Text1", "cmdGo"}));
    const Controls c = Find(w);
    QCOMPARE(c.chk->text(), QStringLiteral("&Lowercase"));
    QVERIFY(!c.chk->isChecked());
    QCOMPARE(c.go->text(), QStringLiteral("&Go"));
    QVERIFY(c.text1->Text().isEmpty() && c.text1->toPlainText().isEmpty());
    QCOMPARE(w.size(), QSize(618, 467));
    CheckGeometry(w, {6600, 6600, 1095, 375}, {0, 6600, 6495, 285}, {0, 0, 9255, 6495}, {8160, 6600, 855, 375});
  }

  void firstShowLaysOutTheDesignSize() {
    auto w = Shown();
    QCOMPARE(w->size(), QSize(618, 467));
    CheckGeometry(*w, {7220, 6505, 1095, 375}, {0, 6505, 7170, 285}, {0, 0, 9270, 6405}, {8365, 6505, 855, 375});
  }

  void defaultScaleShowsCaptionsAndPathWhole() {
    frmMurvik w;
    const Controls c = Find(w);
    QVERIFY(w.scale().dpi() >= w.logicalDpiY());
    QVERIFY(c.chk->width() >= c.chk->sizeHint().width() && c.chk->height() >= c.chk->sizeHint().height());
    QVERIFY(c.txt->height() >= c.txt->sizeHint().height());
    QVERIFY(c.go->width() >= c.go->fontMetrics().horizontalAdvance("Go"));
    QCOMPARE(w.size(), w.scale().ToPixels(murvik::kDesignInnerSize));
  }

  void firstFocusAndTabOrder() {
    auto w = Shown();
    const Controls c = Find(*w);
    QCOMPARE(QApplication::focusWidget(), c.txt);
    // Tab follows the tab indexes, and leaves the output box too.
    for (QWidget* next : std::initializer_list<QWidget*>{c.chk, c.go, c.text1, c.txt}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
  }

  // --- Load.

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
    QTest::newRow("several words, quoted") << '"' + blanks + '"' << blanks << kChat;
    QTest::newRow("quotes inside") << quotes_inside << chat_path_ << kChat;
    QTest::newRow("only quotes") << "\"\"" << QString() << kFailure;
    QTest::newRow("missing file") << missing_path_ << missing_path_ << kFailure;
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
    QTest::newRow("missing file") << missing_path_ << kFailure << kFailure;
    QTest::newRow("empty path") << QString() << kFailure << kFailure;
    QTest::newRow("directory") << dir_.path() << kFailure << kFailure;
  }

  void go() {
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    auto w = Shown();
    const Controls c = Find(*w);
    QVERIFY(c.text1->placeholderText().contains("press Go") && c.text1->placeholderText().contains("drop"));
    c.txt->setText(path);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), text);
    QCOMPARE(c.text1->toPlainText(), shown);
    QVERIFY(c.text1->isVisible());
    QCOMPARE(c.txt->text(), path);
    if (text.isEmpty()) QVERIFY(c.text1->placeholderText().contains("no chat"));
  }

  void goTwiceHidesTheBoxWhileReadingAndGivesTheSameText() {
    auto w = Shown();
    const Controls c = Find(*w);
    struct HideCounter : QObject {
      int hides = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        hides += e->type() == QEvent::Hide;
        return false;
      }
    } counter;
    c.text1->installEventFilter(&counter);
    c.txt->setText('"' + chat_path_ + '"');
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.txt->text(), chat_path_);
    QCOMPARE(c.text1->Text(), kChat);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kChat);
    QCOMPARE(counter.hides, 2);
  }

  void outputBoxIsReadOnlyButSelectsAndCopies() {
    auto w = Shown('"' + chat_path_ + '"');
    const Controls c = Find(*w);
    QVERIFY(c.text1->verticalScrollBar()->isVisible());
    c.text1->setFocus();
    QTest::keyClicks(c.text1, "XYZ");
    QTest::keyClick(c.text1, Qt::Key_Backspace);
    QCOMPARE(c.text1->Text(), kChat);
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
    QTest::newRow("failure text") << missing_path_ << kFailure;
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
    c.txt->setText(missing_path_);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kFailure.toLower());
    QTest::mouseClick(c.chk, Qt::LeftButton);
    QTest::mouseClick(c.go, Qt::LeftButton);
    QCOMPARE(c.text1->Text(), kFailure);
  }

  void keyboard() {
    auto w = Shown();
    const Controls c = Find(*w);
    c.txt->setText(no_chat_path_);
    QTest::keyClick(c.txt, Qt::Key_Return);
    QVERIFY(c.text1->placeholderText().contains("no chat"));
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
    const QSize inner = outerPixels - (w->frameGeometry().size() - w->size());
    const QRect go_before = c.go->geometry();
    w->resize(inner);
    QTRY_COMPARE(w->frameGeometry().size(), outerPixels);
    if (!laysOut) {
      QCOMPARE(c.go->geometry(), go_before);
      return;
    }
    // The layout follows the inner size, which the frame makes smaller.
    const int inner_w = inner.width() * 16, inner_h = inner.height() * 16;
    const ControlGeometry& g = w->geometry_twips();
    QCOMPARE(g.text1, (TwipRect{0, 0, inner_w, inner_h - 600}));
    QCOMPARE(g.txt_replay.width, inner_w - 2100);
    QCOMPARE(g.cmd_go, (TwipRect{inner_w - 905, inner_h - 500, 855, 375}));
    QCOMPARE(c.text1->geometry(), scale.ToPixels(g.text1));
    QCOMPARE(c.go->geometry(), scale.ToPixels(g.cmd_go));
  }

  void growingWidensThePathBoxAndSlidesTheRow() {
    auto w = Shown();
    const Controls c = Find(*w);
    const QRect txt = c.txt->geometry(), chk = c.chk->geometry(), go = c.go->geometry();
    w->resize(w->width() + 150, w->height() + 90);
    QTRY_COMPARE(w->size(), QSize(768, 557));
    QCOMPARE(c.txt->geometry(), txt.adjusted(0, 90, 150, 90));
    QCOMPARE(c.chk->geometry(), chk.translated(150, 90));
    QCOMPARE(c.go->geometry(), go.translated(150, 90));
    QCOMPARE(c.text1->size(), QSize(768, 557 - 40));
    QCOMPARE(w->geometry_twips().cmd_go.left + 855, 768 * 15 - 50);
  }

  // --- Drag and drop.

  void drop_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("accepted");
    const QList<QUrl> one = {QUrl::fromLocalFile(chat_path_)};
    for (const char* target : {"frmMurvik", "Text1", "txtReplay", "chkLowercase", "cmdGo"})
      QTest::newRow(qPrintable(QString("one local file on ") + target)) << target << one << true;
    QTest::newRow("two local files") << "frmMurvik" << (one + QList<QUrl>{QUrl::fromLocalFile(no_chat_path_)})
                                     << false;
    QTest::newRow("web address") << "Text1" << QList<QUrl>{QUrl("https://example.org/chat.rep")} << false;
    QTest::newRow("text only") << "Text1" << QList<QUrl>{} << false;
  }

  void drop() {
    QFETCH(QString, target);
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, accepted);
    auto w = Shown();
    const Controls c = Find(*w);
    const QString path_before = c.txt->text();
    QWidget* to = target == w->objectName() ? w.get() : w->findChild<QWidget*>(target);
    if (to == c.text1) to = c.text1->viewport();
    // File managers offer the file's address as text too, which a text box
    // would take for itself; events sent to a control travel up to the
    // window unless the control takes them.
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
};

QTEST_MAIN(FrmMurvikTest)
#include "frm_murvik_test.moc"
