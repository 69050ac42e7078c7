// The window as a user meets it, on Qt's offscreen platform: controls found
// by name, driven with QTest, checked by where they stand and what they hold;
// its actions (what each state enables, the chat's menu, the keys help,
// About); and the plain geometry and start-up text under it. Reading and
// following a replay are the document's, tested in replay_document_test.cpp;
// the window's part is showing what the document tells.
#include "viewer/frm_murvik.h"

#include <QtTest>
#include <QtWidgets>
#include <fstream>

#include "replay_writer.h"
#include "viewer/chat_view.h"
#include "viewer/icon.h"
#include "viewer/startup.h"

using namespace murvik;

namespace {

const QString kFailure = QStringLiteral("Failed to open replay");
// The chat of the replay initTestCase writes, as the window builds it.
const QString kChat = QStringLiteral("GL HF\r\nGO MID, NOT TOP\r\nBYE");

QString Write(const QString& path, const std::string& bytes) {
  std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << bytes;
  return path;
}

// The window's four controls, found by name.
struct Controls {
  QCheckBox* chk;
  QLineEdit* txt;
  ChatView* text1;
  QPushButton* go;
};
Controls Of(const QWidget& w) {
  return {w.findChild<QCheckBox*>("chkLowercase"), w.findChild<QLineEdit*>("txtReplay"),
          w.findChild<ChatView*>("Text1"), w.findChild<QPushButton*>("cmdGo")};
}

// Waits until the window's read, if any, has ended.
void Settle(const frmMurvik& w) { QTRY_VERIFY(!w.reading()); }

// A window shown and active, at 15 twips a pixel unless told otherwise.
std::unique_ptr<frmMurvik> ShownWindow(const QString& command_line = {}, TwipScale scale = TwipScale(96)) {
  auto w = std::make_unique<frmMurvik>(command_line, scale);
  Settle(*w);
  w->show();
  if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
  return w;
}

// A geometry as text: the check box, path box, output box and button.
QString Text(const ControlGeometry& g) {
  QStringList rects;
  for (const TwipRect& r : {g.chk_lowercase, g.txt_replay, g.text1, g.cmd_go})
    rects << QString("%1 %2 %3 %4").arg(r.left).arg(r.top).arg(r.width).arg(r.height);
  return rects.join(", ");
}

// Checks that the window holds each control at `g` and placed it there.
void CheckPlaced(const frmMurvik& w, const ControlGeometry& g) {
  const Controls c = Of(w);
  const TwipScale s = w.scale();
  QCOMPARE(
      QList<QRect>({c.chk->geometry(), c.txt->geometry(), c.text1->geometry(), c.go->geometry()}),
      QList<QRect>({s.ToPixels(g.chk_lowercase), s.ToPixels(g.txt_replay), s.ToPixels(g.text1), s.ToPixels(g.cmd_go)}));
  QCOMPARE(Text(w.geometry_twips()), Text(g));  // a few twips can round to the same pixel
}

// Facts of one moment as one text, each after its name, so that a failure
// shows which differ: a bool as true or false.
template <typename... T>
QString Facts(const T&... facts) {
  QStringList text;
  const auto add = [&](const auto& fact) {
    if constexpr (std::is_convertible_v<decltype(fact), QString>)
      text << fact;
    else
      text << QVariant::fromValue(fact).toString();
  };
  (add(facts), ...);
  return text.join(' ');
}

// What a screen reader reads of a control: its name, and whether it is described.
QString Accessible(const QWidget& w, const char* control) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.findChild<QWidget*>(control));
  return a->text(QAccessible::Name) + (a->text(QAccessible::Description).isEmpty() ? "" : ", described");
}

// The actions enabled, by object name without "act", in order of name.
QString Enabled(const frmMurvik& w) {
  QStringList names;
  for (const QAction* a : w.actions().all())
    if (a->isEnabled()) names << a->objectName().mid(3);
  names.sort();
  return names.join(' ');
}

// A menu as text: each entry's text and its key, "|" between groups, and
// "(off)" after a disabled one.
QString MenuText(const QMenu& menu) {
  QStringList entries;
  for (const QAction* a : menu.actions())
    entries << (a->isSeparator()
                    ? QStringLiteral("|")
                    : QString(a->text()).remove('&') + " " + a->shortcut().toString(QKeySequence::NativeText) +
                          (a->isEnabled() ? "" : " (off)"));
  return entries.join(", ");
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
    chat_path_ = Write(dir_.filePath("my chat.rep"), chat.Noise(2).Start().Type("BYE").Take());
    quiet_path_ = Write(dir_.filePath("quiet.rep"), quiet.Noise(20).Type("KEYS OUTSIDE A MESSAGE").Take());
    for (const char* folder : {"alone", "pair"}) QVERIFY(QDir(dir_.path()).mkdir(folder));
    for (const char* name : {"a.rep", "alone/c.rep", "pair/a.rep", "pair/b.rep"})
      Write(dir_.filePath(name), ReplayWriter().Say("GL HF").Take());
  }

  void cleanup() { qApp->setStyleSheet(QString()); }

  // Values worked out against what they must be: the plain functions under
  // the window, then the window as created at 15 twips a pixel, each row one
  // thing a user or a screen reader meets. The scale is the smallest, from
  // the screen's up, at which each design size holds what the font needs:
  // with Qt's default font 89 pixels in 1095 twips take 117.04 pixels an
  // inch; a need in height counts as one in width does. Below 4000 twips of
  // outer width or height the layout leaves the controls where they were;
  // exactly 4000 lays them out, from the inner size. Start-up takes the
  // arguments as one path, decoded from the locale's encoding (UTF-8 here).
  void facts_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const auto& value, const QString& expected) {
      QTest::newRow(name) << QVariant(value).toString() << expected;
    };
    const std::vector<PixelNeed> font = {{{1095, 375}, 89, 20}, {{6495, 285}, 0, 22}, {{855, 375}, 31, 22}};
    row("scale: width decides", ScaleThatFits(96, font).dpi(), "118");
    row("scale: screen decides", ScaleThatFits(144, font).dpi(), "144");
    row("scale: height decides", ScaleThatFits(96, std::vector<PixelNeed>{{{6495, 285}, 0, 60}}).dpi(), "304");
    row("twips round trip", TwipScale(118).ToTwips(TwipScale(118).ToPixels(9270)), "9275");  // 759.6 px, 9274.6 twips
    const ControlGeometry d = DesignGeometry();
    row("layout: threshold", Text(LayOut({4000, 4000}, {3000, 3000}, d)),
        "950 2500 1095 375, 0 2500 900 285, 0 0 3000 2400, 2095 2500 855 375");
    row("layout: too narrow", Text(LayOut({3999, 4000}, {5000, 5000}, d)), Text(d));
    row("layout: too low", Text(LayOut({4000, 3999}, {5000, 5000}, d)), Text(d));
    row("layout: design size", Text(LayOut(kDesignInnerSize, kDesignInnerSize, d)),
        "7220 6505 1095 375, 0 6505 7170 285, 0 0 9270 6405, 8365 6505 855 375");
    const char* none[] = {"murvik"};
    const char* words[] = {"murvik", "my", "chat.rep"};
    const char* accented[] = {"murvik", "/tmp/caf\xc3\xa9 \xe6\x97\xa5.rep"};
    row("command lines: none, words joined, decoded",
        QStringList({CommandLineText(1, none), CommandLineText(3, words), CommandLineText(2, accented)}).join('|'),
        QString::fromUtf8("|my chat.rep|/tmp/café 日.rep"));
    row("default path at the root", DefaultReplayPath("/"), "/replay.rep");  // in a folder: the path box's

    frmMurvik w(QString(), TwipScale(96));
    const Controls c = Of(w);
    QStringList children;
    for (QObject* child : w.children().mid(0, 4)) children << child->objectName();
    row("name, title, controls in creation order",
        QStringList({w.objectName(), w.windowTitle(), children.join(' ')}).join(", "),
        "frmMurvik, Murvik v0.1, chkLowercase txtReplay Text1 cmdGo");
    row("icon", QString("%1 %2 %3").arg(w.windowIcon().isNull()).arg(IconImage().width()).arg(IconImage().colorCount()),
        "0 16 256");
    row("controls", Facts(c.chk->text(), c.chk->isChecked(), c.txt->text(), "text:", c.text1->Text(), c.go->text()),
        "&Lowercase false " + QCoreApplication::applicationDirPath() + "/replay.rep text:  &Go");
    row("output box", Facts(int(c.text1->focusPolicy()), int(c.text1->verticalScrollBarPolicy())),
        Facts(int(Qt::StrongFocus), int(Qt::ScrollBarAlwaysOn)));
    row("hint", c.text1->placeholder_text(),
        "To open a replay, press Ctrl+O, or type its path below and press Go, or drop the file here. F1 lists the "
        "keys.");
    row("tooltips name the keys", QStringList({c.txt->toolTip(), c.go->toolTip(), c.chk->toolTip()}).join('|'),
        "The replay to open: Enter opens it, Ctrl+O chooses a file; Alt+Right or Ctrl+PgDown and Alt+Left or "
        "Ctrl+PgUp open the next and the previous replay in its folder|Open the replay named in the path box "
        "(Alt+G)|Show the chat in lower case (Alt+L)");
    for (const auto& [control, name] :
         {std::pair{"txtReplay", "Replay path"}, {"Text1", "Chat"}, {"txtFind", "Find in chat"}})
      row(control, Accessible(w, control), QString(name) + ", described");
  }
  void facts() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(value, expected);
  }

  // The window's own scale holds its captions and a line of the path box
  // whole, also when the style makes the path box tall.
  void windowFitsItsControls_data() {
    QTest::addColumn<QString>("style");
    QTest::newRow("default") << QString();
    QTest::newRow("tall path box") << "QLineEdit { padding: 12px; }";
  }
  void windowFitsItsControls() {
    QFETCH(QString, style);
    qApp->setStyleSheet(style);
    frmMurvik w;
    const Controls c = Of(w);
    QCOMPARE_GE(w.scale().dpi(), w.logicalDpiY());
    QCOMPARE(w.size(), w.scale().ToPixels(kDesignInnerSize));
    QCOMPARE_GE(c.chk->width(), c.chk->sizeHint().width());
    QCOMPARE_GE(c.chk->height(), c.chk->sizeHint().height());
    QCOMPARE_GE(c.txt->height(), c.txt->sizeHint().height());
    QCOMPARE_GE(c.go->width(), c.go->sizeHint().width() / 2);
  }

  // Created at the design geometry; first shown, laid out for its size, the
  // focus in the path box, Tab in tab-index order and out of the output box.
  // At 20 twips a pixel, where 200 pixels are exactly 4000 twips, resized in
  // turn: it hands its outer size, frame included, to the threshold, and its
  // inner size to the layout.
  void createdShownAndResized() {
    CheckPlaced(frmMurvik(QString(), TwipScale(96)), DesignGeometry());
    auto w = ShownWindow(QString(), TwipScale(72));
    CheckPlaced(*w,
                LayOut(w->scale().ToTwips(w->frameGeometry().size()), w->scale().ToTwips(w->size()), DesignGeometry()));
    QStringList focus = {QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 4; ++i)
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab), focus << QApplication::focusWidget()->objectName();
    QCOMPARE(focus, QStringList({"txtReplay", "chkLowercase", "cmdGo", "Text1", "txtReplay"}));
    for (const QSize outer : {QSize(200, 200), QSize(199, 300), QSize(300, 199), QSize(250, 260)}) {
      const ControlGeometry before = w->geometry_twips();
      w->resize(outer - (w->frameGeometry().size() - w->size()));
      QTRY_COMPARE(w->frameGeometry().size(), outer);
      CheckPlaced(*w, LayOut(w->scale().ToTwips(outer), w->scale().ToTwips(w->size()), before));
    }
  }

  // Go by Enter in the path box (the button by its access key below): quotes
  // removed and written back, the output box hidden once and shown again
  // with the chat (CR LF kept, a line on screen for each) or the failure
  // text, in lower case when the check box is checked. One local file
  // dropped anywhere, the path box too, is opened; several files or a web
  // address are refused. File managers offer the address as text too, which
  // a text box would take for itself.
  void go_data() {
    QTest::addColumn<QString>("path");     // typed, or the URLs dropped, between spaces
    QTest::addColumn<QString>("drop_on");  // the control dropped on, if any
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("text");  // nothing after a drop refused
    const QString gone = dir_.filePath("gone.rep"), url = QUrl::fromLocalFile(chat_path_).toString(QUrl::FullyEncoded);
    QTest::newRow("quoted") << '"' + QString(chat_path_).insert(4, "\"\"") + '"' << "" << false << kChat;
    QTest::newRow("lower case") << chat_path_ << "" << true << kChat.toLower();
    QTest::newRow("no chat") << quiet_path_ << "" << false << QString();
    QTest::newRow("failure") << gone << "" << false << kFailure;
    QTest::newRow("failure, lower case") << gone << "" << true << kFailure.toLower();
    QTest::newRow("drop on the output box") << url << "Text1" << false << kChat;
    QTest::newRow("drop on the path box") << url << "txtReplay" << false << kChat;
    QTest::newRow("two files dropped") << url + ' ' + url << "Text1" << false << QString();
    QTest::newRow("web address dropped") << "https://example.org/a.rep"
                                         << "txtReplay" << false << QString();
  }
  void go() {
    QFETCH(QString, path);
    QFETCH(QString, drop_on);
    QFETCH(bool, checked);
    QFETCH(QString, text);
    auto w = ShownWindow();
    const Controls c = Of(*w);
    int hidden_sets = 0;  // texts set while the output box is hidden
    connect(c.text1, &ChatView::textChanged, [&] { hidden_sets += c.text1->isHidden(); });
    c.chk->setChecked(checked);
    const bool refused = !drop_on.isEmpty() && text.isEmpty();
    bool accepted = true;
    if (drop_on.isEmpty()) {
      c.txt->setText(path);
      QTest::keyClick(c.txt, Qt::Key_Return);
    } else {
      QWidget* to = drop_on == "Text1" ? c.text1->viewport() : static_cast<QWidget*>(c.txt);
      QMimeData data;
      data.setUrls(QUrl::fromStringList(path.split(' ')));
      data.setText(path.section(' ', 0, 0));
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(to, &enter);
      QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(to, &drop);
      accepted = enter.isAccepted();
      path = refused ? QCoreApplication::applicationDirPath() + "/replay.rep" : chat_path_;
    }
    Settle(*w);
    QCOMPARE(Facts("accepted", accepted, hidden_sets, "hidden", c.txt->text(), "shown", c.text1->isVisible(),
                   c.text1->Text()),
             Facts("accepted", !refused, refused ? 0 : 1, "hidden", path.remove('"'), "shown", true, text));
    if (text.isEmpty() && !refused) QVERIFY(c.text1->placeholder_text().contains("no chat"));
  }

  // A command line, quoted, is opened at start. Ctrl+F opens the find box
  // inside the output box's bottom-right corner. It finds as you type,
  // ignoring case, highlights every match and selects the current one; Enter
  // and F3 go on, with Shift back, wrapping. Lowercase (Alt+L) turns the whole
  // text and Go (Alt+G) opens another, and the box searches again, keeping
  // its current match when the same chat is read again. Esc closes it, the
  // match still selected and the focus in the output box.
  void commandLineFindAndAccessKeys() {
    auto w = ShownWindow('"' + chat_path_ + '"');
    const Controls c = Of(*w);
    QCOMPARE(c.txt->text() + ": " + c.text1->Text(), chat_path_ + ": " + kChat);
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
      QCOMPARE(QString("%1 %2 at %3").arg(count->text(), c.text1->SelectedText()).arg(c.text1->selection_start()), at);
    }
    QTest::keyClick(c.txt, Qt::Key_Return);  // the same chat read again
    QTRY_COMPARE(count->text() + c.text1->SelectedText(), "2 of 3O");
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
    QCOMPARE(Facts("shown", box->isVisible(), "highlights", int(c.text1->highlights().size()), "focus in",
                   QApplication::focusWidget()->objectName(), "selected", c.text1->SelectedText()),
             "shown false highlights 0 focus in Text1 selected O");
  }

  // A read that takes long (a large replay read 4 KiB at a time, each with a
  // pause) shows the reading panel with the share read while the box is
  // hidden. Esc, then Cancel, stop it: an empty box that says so, nothing of
  // the chat passed off as whole. Closing the window ends it at once.
  void slowRead() {
    const QString big_path = Write(dir_.filePath("big.rep"), SynthesizedReplay("chat", 1 << 20, 9));
    auto w = ShownWindow();
    const Controls c = Of(*w);
    ExtractOptions slow;
    slow.chunk_size = 4096;
    slow.on_progress = [](uint64_t) { return QThread::msleep(2), true; };
    w->document().SetReadOptions(slow);
    auto* panel = w->findChild<QWidget*>("fraReading");
    auto* bar = w->findChild<QProgressBar*>("barReading");
    for (const std::string then : {"Esc", "Cancel", "close"}) {
      c.txt->setText(big_path);
      QTest::keyClick(c.txt, Qt::Key_Return);
      QTRY_COMPARE(Facts("panel", panel->isVisible(), "box", c.text1->isVisible(), "read", bar->value() > 0, "whole",
                         bar->value() == bar->maximum()),
                   "panel true box false read true whole false");
      if (then == "close") break;
      if (then == "Esc") QTest::keyClick(c.txt, Qt::Key_Escape);
      if (then == "Cancel") QTest::mouseClick(w->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
      QCOMPARE(Facts(then.c_str(), "reading", w->reading(), "panel", panel->isVisible(), "box", c.text1->isVisible(),
                     c.text1->Text(), "cancelled", c.text1->placeholder_text().contains("cancelled")),
               Facts(then.c_str(), "reading false panel false box true  cancelled true"));
    }
    w->close();
    QVERIFY(!w->reading());
  }

  // The replay shown, changed on disk, is shown again at the place the view
  // stood, the box never hidden for it: at the end it stays at the end. Once
  // removed, its last chat stays with a notice that stays too, until it is
  // back or another replay is opened, which is shown from its start.
  void showsTheReplayFollowed() {
    auto w = ShownWindow();
    const Controls c = Of(*w);
    w->document().SetFollowQuietTime(std::chrono::milliseconds(50));
    const QString path = dir_.filePath("follow.rep");
    const auto write = [&](const QString& to, int lines) {
      ReplayWriter r(5);
      QString text;
      for (int i = 0; i < lines; ++i)
        r.Noise(3).Say("LINE " + std::to_string(i)), text += QString("LINE %1\r\n").arg(i);
      Write(to, r.Take());
      return text;
    };
    c.txt->setText(path);
    write(path, 100);
    QTest::keyClick(c.txt, Qt::Key_Return);
    Settle(*w);
    int hidden_sets = 0;
    connect(c.text1, &ChatView::textChanged, [&] { hidden_sets += c.text1->isHidden(); });
    auto* notice = w->findChild<QLabel*>("lblNotice");
    const auto seen = [&] {  // the notice, if shown, says whether it goes away by itself; the text last
      return Facts("at end", c.text1->AtEnd(), "top", int(c.text1->top_line()), "notice",
                   notice->isVisible() && notice->text().contains("removed"), "passing",
                   w->findChild<QTimer*>("tmrNotice")->isActive(), "hidden", hidden_sets, c.text1->Text());
    };
    c.text1->ScrollToLine(SIZE_MAX);
    const QString grown = write(path, 120);
    QTRY_COMPARE(seen(),
                 Facts("at end true top", int(c.text1->top_line()), "notice false passing false hidden 0", grown));
    c.text1->ScrollToLine(10);
    const QString rewritten = write(path, 130);
    QTRY_COMPARE(seen(), Facts("at end false top 10 notice false passing false hidden 0", rewritten));
    QVERIFY(QFile::remove(path));
    QTRY_COMPARE(seen(), Facts("at end false top 10 notice true passing false hidden 0", rewritten));
    const QString back = write(path, 5);
    QTRY_COMPARE(seen(), Facts("at end true top 0 notice false passing false hidden 0", back));
    QVERIFY(QFile::remove(path));
    QTRY_VERIFY(notice->isVisible());
    c.txt->setText(dir_.filePath("other.rep"));
    const QString other = write(c.txt->text(), 130);
    QTest::keyClick(c.txt, Qt::Key_Return);
    QTRY_COMPARE(seen(), Facts("at end false top 0 notice false passing false hidden 1", other));
  }

  // F5 and Ctrl+R read the path box's replay again as Go does; Alt+Right /
  // Ctrl+Page Down, Alt+Left / Ctrl+Page Up, Alt+Home and Alt+End open the
  // replays beside it (their order is follow's, in replay_document_test.cpp);
  // at either end a notice, which goes when another replay is opened. Each
  // key from where the one before left.
  void keys() {
    QTemporaryDir folder;
    for (const char* name : {"a.rep", "b.rep", "c.rep"}) Write(folder.filePath(name), ReplayWriter(1).Say(name).Take());
    auto w = ShownWindow();
    const Controls c = Of(*w);
    auto* notice = w->findChild<QLabel*>("lblNotice");
    c.txt->setText(folder.filePath("b.rep"));
    for (const auto& [key, shown] : {std::pair{"F5", "b.rep"},
                                     {"Alt+Right", "c.rep"},
                                     {"Alt+Right", "last"},
                                     {"Ctrl+PgUp", "b.rep"},
                                     {"Alt+Left", "a.rep"},
                                     {"Ctrl+PgUp", "first"},
                                     {"Ctrl+PgDown", "b.rep"},
                                     {"Alt+End", "c.rep"},
                                     {"Alt+Home", "a.rep"},
                                     {"Alt+Home", "first"},
                                     {"Ctrl+R", "a.rep"}}) {
      c.text1->SetText("");
      QTest::keySequence(QApplication::focusWidget(), QKeySequence(key));
      Settle(*w);
      const QString name = shown, notice_text = notice->text().contains(name) ? name : notice->text();
      QCOMPARE(Facts(key, notice->isVisible() ? notice_text : c.txt->text() + ": " + c.text1->Text()),
               Facts(key, name.endsWith(".rep") ? folder.filePath(name) + ": " + name.toUpper() + "\r\n" : name));
    }
  }

  // Ctrl+O asks for a replay, starting in the folder of the path box's path:
  // cancelling changes nothing, choosing a file opens it. Then Ctrl+W, or
  // Ctrl+Q, closes the window.
  void openFileAndClose() {
    for (const bool choose : {false, true}) {
      auto w = ShownWindow();
      const Controls c = Of(*w);
      c.txt->setText(quiet_path_);
      QTest::keySequence(QApplication::focusWidget(), QKeySequence::Open);
      auto* dialog = w->findChild<QFileDialog*>("dlgOpen");
      QVERIFY(dialog);
      QCOMPARE(Facts(dialog->isVisible(), dialog->directory().path(), dialog->nameFilters().join("; ")),
               "true " + dir_.path() + " Replays (*.rep); All files (*)");
      dialog->selectFile(chat_path_);
      choose ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();
      Settle(*w);
      QCOMPARE(c.txt->text() + c.text1->Text(), choose ? chat_path_ + kChat : quiet_path_);
      QVERIFY(QTest::qWaitForWindowActive(w.get()));
      QTest::keySequence(c.txt, QKeySequence(choose ? "Ctrl+Q" : "Ctrl+W"));
      QTRY_VERIFY(!w->isVisible());
    }
  }

  // Each action does something in each state it is enabled in, and nothing
  // is enabled where it would do nothing. Open, Go, Lowercase, Close, the
  // keys help and About always are; "steps" are the four folder steps.
  void enabledAsTheWindowStands_data() {
    QTest::addColumn<QString>("enabled");
    const auto row = [](const char* state, const char* enabled) { QTest::newRow(state) << QString(enabled); };
    row("default path", "Reload");
    row("path box empty", "");
    row("a.rep", "SelectAll Find Reload steps");
    row("selected", "Copy SelectAll Find Reload steps");
    row("found", "Copy SelectAll Find FindNext FindPrevious Reload steps");
    row("alone/c.rep", "SelectAll Find Reload");           // alone in its folder
    row("pair/a.rep", "SelectAll Find Reload steps");      // beside exactly one other replay, from either
    row("pair/b.rep", "SelectAll Find Reload steps");      // (the folder lists one of the two first)
    row("alone/none.rep", "SelectAll Find Reload steps");  // failed, beside exactly one other replay
    row("reading", "Reload steps Cancel");
  }
  void enabledAsTheWindowStands() {
    const QString state = QTest::currentDataTag();
    auto w = ShownWindow();
    const Controls c = Of(*w);
    if (state == "path box empty") c.txt->clear();
    if (state == "reading") {
      ExtractOptions slow;
      slow.on_progress = [](uint64_t) { return QThread::msleep(3000), true; };
      w->document().SetReadOptions(slow);
    }
    if (state.endsWith(".rep") || state == "reading" || state == "selected" || state == "found") {
      c.txt->setText(dir_.filePath(state.endsWith(".rep") ? state : "a.rep"));
      QTest::keyClick(c.txt, Qt::Key_Return);
    }
    if (state == "selected") c.text1->Select(0, 2);
    if (state == "found") {
      QTest::keySequence(w.get(), QKeySequence::Find);
      QTest::keyClicks(QApplication::focusWidget(), "gl");
    }
    QFETCH(QString, enabled);
    QStringList names = QString(enabled + " Open Go Lowercase Close KeysHelp About")
                            .replace("steps", "NextReplay PreviousReplay FirstReplay LastReplay")
                            .split(' ', Qt::SkipEmptyParts);
    names.sort();
    QTRY_COMPARE(Enabled(*w), names.join(' '));
  }

  // Right click, Shift+F10: the actions in groups, each with its key.
  void contextMenuListsTheActions() {
    auto w = ShownWindow('"' + dir_.filePath("alone/c.rep") + '"');
    QTest::keyClick(Of(*w).text1, Qt::Key_F10, Qt::ShiftModifier);
    QMenu* menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
    QCOMPARE(MenuText(*menu),
             "Copy Ctrl+C (off), Select All Ctrl+A, |, Find... Ctrl+F, |, Open... Ctrl+O, Reload F5, Next replay "
             "Alt+Right (off), Previous replay Alt+Left (off), |, Keyboard shortcuts F1, About Murvik ");
    menu->close();
  }

  // F1 lists every action that has keys, with all its keys, and no key is
  // bound twice, nor taken from a control's access key (Go's and Lowercase's
  // actions hold them, as their tooltips show); About names the version, the
  // licence, the Qt it runs on and the manual. Esc closes each, and so does
  // the keys list's Close button.
  void keysHelpAndAbout() {
    auto w = ShownWindow();
    QStringList rows, listed, keys;
    for (const QAction* a : w->actions().all()) {
      for (const QKeySequence& key : a->shortcuts()) keys << key.toString();
      if (!a->shortcuts().isEmpty())
        rows << QKeySequence::listToString(a->shortcuts(), QKeySequence::NativeText).replace("; ", ", ") + " " +
                    a->statusTip();
    }
    QCOMPARE(keys.removeDuplicates(), 0);
    QTest::keyClick(w.get(), Qt::Key_F1);
    const QTreeWidget* list = w->findChild<QTreeWidget*>("lstKeys");
    QVERIFY(list);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      listed << list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1);
    QCOMPARE(listed, rows);
    w->actions().get(WindowAction::kAbout)->trigger();
    auto* about = w->findChild<QMessageBox*>("dlgAbout");
    for (const QString part : {"0.01", "MIT", "Copyright (c) 2026", qVersion(), "man murvik"})
      QVERIFY2((about->text() + about->informativeText()).contains(part), qPrintable(part));
    for (const auto& [dialog, by] :
         {std::pair{"dlgAbout", "Esc"}, {"dlgKeys", "Esc"}, {"dlgKeys", "its Close button"}}) {
      if (!w->findChild<QDialog*>(dialog)) w->actions().get(WindowAction::kKeysHelp)->trigger();
      auto* d = w->findChild<QDialog*>(dialog);
      by == QString("Esc") ? QTest::keyClick(d, Qt::Key_Escape) : d->findChild<QPushButton*>("cmdClose")->click();
      QTRY_VERIFY2(!w->findChild<QDialog*>(dialog), qPrintable(QString(dialog) + " closed by " + by));
    }
  }
};

QTEST_MAIN(FrmMurvikTest)
#include "frm_murvik_test.moc"
