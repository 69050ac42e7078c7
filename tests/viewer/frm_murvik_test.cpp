// The window as a user meets it, on Qt's offscreen platform: controls found
// by name, driven with QTest, checked by where they stand and what they hold;
// and the plain geometry under it.
#include "viewer/frm_murvik.h"

#include <sys/stat.h>

#include <QtTest>
#include <QtWidgets>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>

#include "chat_text.h"
#include "extract/extract.h"
#include "replay_writer.h"
#include "viewer/chat_view.h"
#include "viewer/icon.h"
#include "viewer/startup.h"

using namespace murvik;

namespace {

const QString kFailure = QStringLiteral("Failed to open replay");
// The chat of the replay initTestCase writes, as the window builds it.
const QString kChat = QStringLiteral("GL HF\r\nGO MID, NOT TOP\r\nBYE");

QString Write(const QString& path, ReplayWriter& w) {
  std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << w.Take();
  return path;
}

// The window's four controls, found by name.
struct Controls {
  explicit Controls(const QWidget& w)
      : chk(w.findChild<QCheckBox*>("chkLowercase")),
        txt(w.findChild<QLineEdit*>("txtReplay")),
        text1(w.findChild<ChatView*>("Text1")),
        go(w.findChild<QPushButton*>("cmdGo")) {}
  QCheckBox* chk;
  QLineEdit* txt;
  ChatView* text1;
  QPushButton* go;
};

// Waits until the window's read, if any, has ended.
void Settle(const frmMurvik& w) { QTRY_VERIFY(!w.Reading()); }

// A window shown and active, at 15 twips a pixel unless told otherwise.
std::unique_ptr<frmMurvik> Shown(const QString& command_line = {}, TwipScale scale = TwipScale(96)) {
  auto w = std::make_unique<frmMurvik>(command_line, scale);
  Settle(*w);
  w->show();
  if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
  return w;
}

// Checks that the window holds each control at `g` and placed it there.
void CheckPlaced(const frmMurvik& w, const ControlGeometry& g) {
  const Controls c(w);
  const TwipScale s = w.scale();
  QCOMPARE(
      QList<QRect>({c.chk->geometry(), c.txt->geometry(), c.text1->geometry(), c.go->geometry()}),
      QList<QRect>({s.ToPixels(g.chk_lowercase), s.ToPixels(g.txt_replay), s.ToPixels(g.text1), s.ToPixels(g.cmd_go)}));
  QVERIFY(w.geometry_twips() == g);  // a few twips can round to the same pixel
}

}  // namespace

class FrmMurvikTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString chat_path_, quiet_path_;

 private slots:
  void initTestCase() {
    ReplayWriter chat(7), quiet(3);
    chat.Noise(5).Say("GL HF").Noise(3).Start().Type("GO MID, NOT TIP").Erase().Erase().Type("OP").End();
    chat_path_ = Write(dir_.filePath("my chat.rep"), chat.Noise(2).Start().Type("BYE"));
    quiet_path_ = Write(dir_.filePath("quiet.rep"), quiet.Noise(20).Type("KEYS OUTSIDE A MESSAGE"));
  }

  // Twips to the nearest pixel and back. The window's scale is the smallest,
  // from the screen's up, at which each design size holds what the font needs:
  // the captions and a line of the path box whole. With Qt's default font
  // (89 pixels in 1095 twips take 117.04 pixels an inch), and in a window.
  void scaleFitsTheFont() {
    QCOMPARE(TwipScale(118).ToTwips(TwipScale(118).ToPixels(9270)), 9275);  // 759.6 pixels, 9274.6 twips
    const std::vector<PixelNeed> font = {{{1095, 375}, 89, 20}, {{6495, 285}, 0, 22}, {{855, 375}, 31, 22}};
    QCOMPARE(ScaleThatFits(96, font).dpi(), 118);
    QCOMPARE(ScaleThatFits(144, font).dpi(), 144);
    frmMurvik w;
    const Controls c(w);
    QVERIFY(w.scale().dpi() >= w.logicalDpiY() && w.size() == w.scale().ToPixels(kDesignInnerSize));
    QVERIFY(c.chk->width() >= c.chk->sizeHint().width() && c.chk->height() >= c.chk->sizeHint().height() &&
            c.txt->height() >= c.txt->sizeHint().height() && c.go->width() >= c.go->sizeHint().width() / 2);
  }

  // As created, at 15 twips a pixel: names in creation order, captions, icon,
  // the output box's ways, the default path, the names and descriptions a
  // screen reader reads, and the design geometry. Then
  // first shown: the worked layout, the focus in the path box, Tab in
  // tab-index order and out of the output box.
  void createdThenFirstShown() {
    frmMurvik w(QString(), TwipScale(96));
    QCOMPARE(w.objectName() + ' ' + w.windowTitle(), "frmMurvik Murvik v0.1");
    QVERIFY(!w.windowIcon().isNull() && IconImage().size() == QSize(16, 16) && IconImage().colorCount() == 256);
    const Controls c(w);                                                           // found by name
    QCOMPARE(w.children().mid(0, 4), QObjectList({c.chk, c.txt, c.text1, c.go}));  // in creation order
    QCOMPARE(c.chk->text() + c.go->text(), "&Lowercase&Go");
    QCOMPARE(c.txt->text(), QCoreApplication::applicationDirPath() + "/replay.rep");
    QCOMPARE(DefaultReplayPath("/"), "/replay.rep");  // one separator, also after the root
    QVERIFY(!c.chk->isChecked() && c.text1->Text().isEmpty());
    QVERIFY(c.text1->focusPolicy() == Qt::StrongFocus && c.text1->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn);
    for (const char* hint : {"Ctrl+O", "press Go", "drop"}) QVERIFY(c.text1->placeholderText().contains(hint));
    for (const auto& [control, name] :
         {std::pair{"txtReplay", "Replay path"}, {"Text1", "Chat"}, {"txtFind", "Find in chat"}}) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.findChild<QWidget*>(control));
      QVERIFY(a->text(QAccessible::Name) == name && !a->text(QAccessible::Description).isEmpty());
    }
    CheckPlaced(w, {{6600, 6600, 1095, 375}, {0, 6600, 6495, 285}, {0, 0, 9255, 6495}, {8160, 6600, 855, 375}});

    auto shown = Shown();
    CheckPlaced(*shown, {{7220, 6505, 1095, 375}, {0, 6505, 7170, 285}, {0, 0, 9270, 6405}, {8365, 6505, 855, 375}});
    const Controls s(*shown);
    QCOMPARE(QApplication::focusWidget(), s.txt);
    for (QWidget* next : std::initializer_list<QWidget*>{s.chk, s.go, s.text1, s.txt}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
  }

  // Go by Enter in the path box (the button by its access key below): quotes removed and
  // written back, the output box hidden once and shown again with the chat
  // (CR LF kept, a line on screen for each) or the failure text, in lower
  // case when the check box is checked. No read may block: the test's time
  // limit ends a Go that waits on the FIFO.
  void go() {
    QVERIFY(mkfifo(QFile::encodeName(dir_.filePath("fifo.rep")).constData(), 0600) == 0);
    auto w = Shown();
    const Controls c(*w);
    int hidden_sets = 0;  // texts set while the output box is hidden
    connect(c.text1, &ChatView::textChanged, [&] { hidden_sets += c.text1->isHidden(); });
    for (const auto& [path, text, checked] :
         {std::tuple{'"' + QString(chat_path_).insert(4, "\"\"") + '"', kChat, false},
          {chat_path_, kChat, true},
          {quiet_path_, QString(), false},
          {dir_.filePath("gone.rep"), kFailure, true},
          {QString(), kFailure, false},
          {dir_.filePath("fifo.rep"), kFailure, false},
          {QStringLiteral("/dev/zero"), kFailure, false},
          {chat_path_ + QChar(0) + ".rep", kFailure, false}}) {
      c.chk->setChecked(checked);
      c.txt->setText(path);
      hidden_sets = 0;
      QTest::keyClick(c.txt, Qt::Key_Return);
      Settle(*w);
      QCOMPARE(hidden_sets, 1);
      QCOMPARE(c.txt->text(), QString(path).remove('"'));
      QCOMPARE(c.text1->Text(), checked ? text.toLower() : text);
      QVERIFY(c.text1->isVisible());
      if (text.isEmpty()) QVERIFY(c.text1->placeholderText().contains("no chat"));
    }
  }

  // One local file dropped anywhere, the path box too, is opened; several
  // files or a web address are refused. File managers offer the address as
  // text too, which a text box would take for itself.
  void drop() {
    const QList<QUrl> one = {QUrl::fromLocalFile(chat_path_)};
    const QList<QUrl> web = {QUrl("https://example.org/chat.rep")};
    for (const auto& [on_path_box, urls, opens] :
         {std::tuple{false, one, true}, {true, one, true}, {false, one + one, false}, {true, web, false}}) {
      frmMurvik w(QString(), TwipScale(96));
      const Controls c(w);
      QWidget* to = on_path_box ? static_cast<QWidget*>(c.txt) : c.text1->viewport();
      QMimeData data;
      data.setUrls(urls);
      data.setText(urls.front().toString());
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(to, &enter);
      QCOMPARE(enter.isAccepted(), opens);
      QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(to, &drop);
      Settle(w);
      QCOMPARE(c.txt->text(), opens ? chat_path_ : QCoreApplication::applicationDirPath() + "/replay.rep");
      QCOMPARE(c.text1->Text(), opens ? kChat : QString());
    }
  }

  // Below 4000 twips of outer width or height the layout leaves the controls
  // where they were; exactly 4000 lays them out, from the inner size. In a window at 20 twips a pixel, where 200 pixels
  // are exactly 4000 twips: exactly 4000 lays them out; the window hands its outer size, frame included, to the
  // threshold, and its inner size to the layout.
  void layoutThreshold() {
    const ControlGeometry d = DesignGeometry();
    QVERIFY(LayOut({4000, 4000}, {3000, 3000}, d).txt_replay == (TwipRect{0, 2500, 900, 285}) &&
            LayOut({3999, 4000}, {5000, 5000}, d) == d && LayOut({4000, 3999}, {5000, 5000}, d) == d);
    auto w = Shown(QString(), TwipScale(72));
    ControlGeometry expected = w->geometry_twips();
    for (const QSize outer : {QSize(200, 200), QSize(199, 300), QSize(300, 199), QSize(250, 260)}) {
      w->resize(outer - (w->frameGeometry().size() - w->size()));
      QTRY_COMPARE(w->frameGeometry().size(), outer);
      expected = LayOut(w->scale().ToTwips(outer), w->scale().ToTwips(w->size()), expected);
      CheckPlaced(*w, expected);
    }
  }

  // A command line, quoted, is opened at start. Ctrl+F opens the find box
  // inside the output box's bottom-right corner. It finds as you type,
  // ignoring case, highlights every match and selects the current one; Enter
  // and F3 go on, with Shift back, wrapping. Lowercase (Alt+L) turns the whole
  // text and Go (Alt+G) opens another, and the box searches again. Esc closes
  // it, the match still selected and the focus in the output box.
  void commandLineFindAndAccessKeys() {
    auto w = Shown('"' + chat_path_ + '"');
    const Controls c(*w);
    QVERIFY(c.txt->text() == chat_path_ && c.text1->Text() == kChat);
    QTest::keySequence(QApplication::focusWidget(), QKeySequence::Find);
    auto* box = w->findChild<QLineEdit*>("txtFind");
    auto* count = w->findChild<QLabel*>("lblFindCount");
    QCOMPARE(box->parentWidget()->geometry().bottomRight(),
             c.text1->viewport()->geometry().bottomRight() - QPoint(4, 4));
    QTest::keyClicks(box, "o");  // GO MID, NOT TOP: at 7, 15 and 19
    QCOMPARE(c.text1->highlights().size(), 3);
    for (const auto& [key, shift, at] : {std::tuple{Qt::Key_F3, false, "2 of 3 O at 15"},
                                         {Qt::Key_Return, false, "3 of 3 O at 19"},
                                         {Qt::Key_F3, false, "1 of 3 O at 7"},
                                         {Qt::Key_Return, true, "3 of 3 O at 19"},
                                         {Qt::Key_F3, true, "2 of 3 O at 15"}}) {
      QTest::keyClick(box, key, shift ? Qt::ShiftModifier : Qt::NoModifier);
      QCOMPARE(QString("%1 %2 at %3").arg(count->text(), c.text1->SelectedText()).arg(c.text1->selectionStart()), at);
    }
    for (const auto& [key, path, text, at] : {std::tuple{Qt::Key_L, chat_path_, kChat.toLower(), "2 of 3o"},
                                              {Qt::Key_G, quiet_path_, QString(), "No matches"},
                                              {Qt::Key_G, chat_path_, kChat.toLower(), "1 of 3o"},
                                              {Qt::Key_L, chat_path_, kChat, "1 of 3O"}}) {
      c.txt->setText(path);
      QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
      QTRY_COMPARE(count->text() + c.text1->SelectedText(), at);
      QCOMPARE(c.text1->Text(), text);
    }
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!box->isVisible() && c.text1->highlights().empty() && QApplication::focusWidget() == c.text1);
    QCOMPARE(c.text1->SelectedText(), "O");
  }

  // A read that takes long (a large replay read 4 KiB at a time, each with
  // a pause) shows the reading panel with the share read while the box is
  // hidden. Esc or Cancel stops it: an empty box that says so, nothing of the
  // chat passed off as whole. A new Go replaces it: only the new replay's
  // chat is shown, then and later. Closing the window ends it at once.
  void readCancelledReplacedOrClosed() {
    ReplayWriter big(9);
    for (int i = 0; i < 3000; ++i) big.Noise(20).Say("MESSAGE");
    const QString big_path = Write(dir_.filePath("big.rep"), big);
    for (const char* then : {"Esc", "Cancel", "Go", "close"}) {
      auto w = Shown();
      const Controls c(*w);
      ExtractOptions slow;
      slow.chunk_size = 4096;
      slow.on_progress = [](uint64_t) { return QThread::msleep(2), true; };
      w->SetReadOptions(slow);
      c.txt->setText(big_path);
      QTest::keyClick(c.txt, Qt::Key_Return);
      auto* panel = w->findChild<QWidget*>("fraReading");
      QTRY_VERIFY(panel->isVisible() && w->findChild<QProgressBar*>("barReading")->value() > 0);
      QVERIFY(c.text1->isHidden() && w->Reading());
      if (then == std::string("Esc")) QTest::keyClick(c.txt, Qt::Key_Escape);
      if (then == std::string("Cancel")) QTest::mouseClick(w->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
      if (then == std::string("Go")) {
        c.txt->setText(chat_path_);
        QTest::keyClick(c.txt, Qt::Key_Return);
      }
      if (then == std::string("close")) {
        w->close();
        QVERIFY(!w->isVisible() && !w->Reading());
        continue;
      }
      Settle(*w);
      QTest::qWait(100);  // time for the dropped read to end, and for anything it might still show
      QVERIFY(c.text1->isVisible() && panel->isHidden());
      QCOMPARE(c.text1->Text(), then == std::string("Go") ? kChat : QString());
      if (then != std::string("Go")) QVERIFY(c.text1->placeholderText().contains("cancelled"));
    }
  }

  // The replay shown is followed on disk: rewritten in a burst, replaced by
  // rename, appended to, truncated, removed (the last chat stays, with a
  // notice) and restored, it is read again once quiet, the box never hidden
  // for it and the view where it was: at the end it stays at the end.
  // Nothing is followed after a failed Go.
  void followsTheReplayOnDisk() {
    auto w = Shown();
    const Controls c(*w);
    w->SetFollowQuietTime(std::chrono::milliseconds(50));
    const std::string path = dir_.filePath("follow.rep").toStdString();
    const auto chat = [](int lines, const std::string& last) {
      ReplayWriter r(5);
      for (int i = 0; i < lines; ++i) r.Noise(3).Say("LINE " + std::to_string(i));
      return r.Say(last).Take();
    };
    std::ofstream(path, std::ios::binary) << chat(100, "FIRST");
    c.txt->setText(QString::fromStdString(path));
    QTest::keyClick(c.txt, Qt::Key_Return);
    Settle(*w);
    c.text1->ScrollToLine(SIZE_MAX);
    int hidden_sets = 0;
    connect(c.text1, &ChatView::textChanged, [&] { hidden_sets += c.text1->isHidden(); });
    auto* notice = w->findChild<QLabel*>("lblNotice");
    using Change = std::function<void()>;
    for (const auto& [change, top, removed] : std::initializer_list<std::tuple<Change, size_t, bool>>{
             {[&] {
                const std::string bytes = chat(120, "REWRITTEN"), part = bytes.substr(0, bytes.size() / 3 + 1);
                std::ofstream out(path, std::ios::binary);
                for (size_t at = 0; at < bytes.size(); at += part.size()) {
                  out << bytes.substr(at, part.size()) << std::flush;
                  QTest::qSleep(10);  // a burst: quiet for less than the quiet time
                }
              },
              SIZE_MAX, false},
             {[&] {
                std::ofstream(path + ".new", std::ios::binary) << chat(130, "RENAMED");
                std::rename((path + ".new").c_str(), path.c_str());
                c.text1->ScrollToLine(10);
              },
              10, false},
             {[&] {
                std::ofstream(path, std::ios::app | std::ios::binary) << ReplayWriter().Say("MORE").Take().substr(273);
              },
              10, false},
             {[&] { std::filesystem::resize_file(path, chat(20, "").size()); }, SIZE_MAX, false},
             {[&] { std::remove(path.c_str()); }, SIZE_MAX, true},
             {[&] { std::ofstream(path, std::ios::binary) << chat(5, "BACK"); }, SIZE_MAX, false}}) {
      change();
      if (removed) {
        QTRY_VERIFY(notice->isVisible() && notice->text().contains("removed"));
        continue;
      }
      const QString expected = QString::fromStdString(ChatText(ExtractChat(path).messages));
      QTRY_COMPARE(c.text1->Text(), expected);
      QVERIFY(!notice->isVisible() && hidden_sets == 0);
      QCOMPARE(top == SIZE_MAX ? c.text1->AtEnd() : c.text1->top_line() == top, true);
    }
    c.txt->setText(dir_.filePath("later.rep"));
    QTest::keyClick(c.txt, Qt::Key_Return);
    Settle(*w);
    std::ofstream(dir_.filePath("later.rep").toStdString(), std::ios::binary) << chat(1, "UNSEEN");
    QTest::qWait(300);
    QCOMPARE(c.text1->Text(), kFailure);
  }

  // F5 and Ctrl+R read the path box's replay again as Go does; Alt+Right /
  // Ctrl+Page Down, Alt+Left / Ctrl+Page Up, Alt+Home and Alt+End open the
  // replays beside it in a file manager's order; at either end a notice.
  void reloadsAndStepsThroughAFolder() {
    QTemporaryDir folder;
    for (const char* name : {"game10.rep", "Game11.REP", "game9.rep", "notes.txt"}) {
      ReplayWriter r(1);
      Write(folder.filePath(name), r.Say(name));
    }
    auto w = Shown();
    const Controls c(*w);
    auto* notice = w->findChild<QLabel*>("lblNotice");
    c.txt->setText(folder.filePath("game9.rep"));
    for (const auto& [key, shown] :
         std::initializer_list<std::pair<QKeySequence, QString>>{{Qt::Key_F5, "game9.rep"},
                                                                 {Qt::ALT | Qt::Key_Right, "game10.rep"},
                                                                 {Qt::CTRL | Qt::Key_PageDown, "Game11.REP"},
                                                                 {Qt::ALT | Qt::Key_Right, "last"},
                                                                 {Qt::ALT | Qt::Key_Home, "game9.rep"},
                                                                 {Qt::CTRL | Qt::Key_PageUp, "first"},
                                                                 {Qt::ALT | Qt::Key_End, "Game11.REP"},
                                                                 {Qt::ALT | Qt::Key_Left, "game10.rep"},
                                                                 {Qt::CTRL | Qt::Key_R, "game10.rep"}}) {
      notice->hide();
      QTest::keySequence(QApplication::focusWidget(), key);
      Settle(*w);
      if (notice->isVisible()) {
        QVERIFY(notice->text().contains(shown));
      } else {
        QCOMPARE(c.txt->text() + " " + c.text1->Text(), folder.filePath(shown) + " " + shown.toUpper() + "\r\n");
      }
    }
  }

  // Ctrl+O asks for a replay, starting in the folder of the path box's path:
  // cancelling changes nothing, choosing a file opens it. Then Ctrl+W, or
  // Ctrl+Q, closes the window.
  void openFileAndClose() {
    for (const bool choose : {false, true}) {
      auto w = Shown();
      const Controls c(*w);
      c.txt->setText(quiet_path_);
      QTest::keySequence(QApplication::focusWidget(), QKeySequence::Open);
      auto* dialog = w->findChild<QFileDialog*>("dlgOpen");
      QVERIFY(dialog && dialog->isVisible() && dialog->directory() == QDir(dir_.path()));
      QCOMPARE(dialog->nameFilters(), QStringList({"Replays (*.rep)", "All files (*)"}));
      dialog->selectFile(chat_path_);
      choose ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();
      Settle(*w);
      QCOMPARE(c.txt->text() + c.text1->Text(), choose ? chat_path_ + kChat : quiet_path_);
      QVERIFY(QTest::qWaitForWindowActive(w.get()));
      QTest::keySequence(c.txt, QKeySequence(choose ? "Ctrl+Q" : "Ctrl+W"));
      QTRY_VERIFY(!w->isVisible());
    }
  }
};

QTEST_MAIN(FrmMurvikTest)
#include "frm_murvik_test.moc"
