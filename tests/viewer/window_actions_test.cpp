// The window's actions as a user finds them, on Qt's offscreen platform: what
// each state of the window enables, the chat's context menu, the keys help,
// About and the controls' tooltips.
#include "viewer/window_actions.h"

#include <QtTest>
#include <QtWidgets>
#include <fstream>

#include "replay_writer.h"
#include "viewer/chat_view.h"
#include "viewer/frm_murvik.h"

using namespace murvik;

namespace {

void Write(const QString& path, ReplayWriter writer) {
  std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << writer.Take();
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

class WindowActionsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::unique_ptr<frmMurvik> w_;
  ChatView* text1_ = nullptr;

  void Open(const QString& path) {
    w_->findChild<QLineEdit*>("txtReplay")->setText(path);
    QTest::keyClick(w_->findChild<QLineEdit*>("txtReplay"), Qt::Key_Return);
  }

 private slots:
  void initTestCase() {
    QVERIFY(QDir(dir_.path()).mkdir("alone"));
    for (const char* name : {"a.rep", "b.rep", "alone/c.rep"}) Write(dir_.filePath(name), ReplayWriter().Say("GL HF"));
  }
  void init() {
    w_ = std::make_unique<frmMurvik>(QString(), TwipScale(96));
    w_->show();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
    text1_ = w_->findChild<ChatView*>("Text1");
  }
  void cleanup() { w_.reset(); }

  // Each action does something in each state it is enabled in, and nothing
  // is enabled where it would do nothing.
  void enabledAsTheWindowStands_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("enabled");
    const QString always = "Open Go Lowercase Close KeysHelp About";
    QTest::newRow("nothing opened") << ""
                                    << "Reload " + always;
    QTest::newRow("path box empty") << "empty" << always;
    QTest::newRow("a chat shown") << "a.rep"
                                  << "SelectAll Find Reload NextReplay PreviousReplay FirstReplay LastReplay " + always;
    QTest::newRow("a selection") << "select"
                                 << "Copy SelectAll Find Reload NextReplay PreviousReplay FirstReplay "
                                    "LastReplay " +
                                        always;
    QTest::newRow("found") << "find"
                           << "Copy SelectAll Find FindNext FindPrevious Reload NextReplay "
                              "PreviousReplay FirstReplay LastReplay " +
                                  always;
    QTest::newRow("alone in its folder") << "alone/c.rep"
                                         << "SelectAll Find Reload " + always;
    QTest::newRow("a failed replay") << "none.rep"
                                     << "SelectAll Find Reload NextReplay PreviousReplay "
                                        "FirstReplay LastReplay " +
                                            always;
    QTest::newRow("reading") << "reading"
                             << "Reload NextReplay PreviousReplay FirstReplay LastReplay Cancel " + always;
  }
  void enabledAsTheWindowStands() {
    QFETCH(QString, state);
    if (state == "empty") w_->findChild<QLineEdit*>("txtReplay")->clear();
    if (state.endsWith(".rep")) Open(dir_.filePath(state));
    if (state == "select" || state == "find") Open(dir_.filePath("a.rep"));
    if (state == "select") text1_->Select(0, 2);
    if (state == "find") {
      QTest::keySequence(w_.get(), QKeySequence::Find);
      QTest::keyClicks(QApplication::focusWidget(), "gl");
    }
    if (state == "reading") {
      ExtractOptions slow;
      slow.on_progress = [](uint64_t) { return QThread::msleep(3000), true; };
      w_->document().SetReadOptions(slow);
      Open(dir_.filePath("b.rep"));
    }
    QFETCH(QString, enabled);
    QStringList names = enabled.split(' ');
    names.sort();
    QTRY_COMPARE(Enabled(*w_), names.join(' '));
  }

  // No key is bound twice, nor taken from a control's access key.
  void eachKeyHasOneAction() {
    QStringList keys;
    for (const QAction* a : w_->actions().all())
      for (const QKeySequence& key : a->shortcuts()) keys << key.toString();
    keys.sort();
    QCOMPARE(keys.removeDuplicates(), 0);
    QVERIFY(keys.contains("Alt+G") && keys.contains("Alt+L"));
  }

  // Right click, Shift+F10: the actions in groups, each with its key.
  void contextMenuListsTheActions() {
    Open(dir_.filePath("alone/c.rep"));
    QTest::keyClick(text1_, Qt::Key_F10, Qt::ShiftModifier);
    QMenu* menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
    QCOMPARE(MenuText(*menu),
             "Copy Ctrl+C (off), Select All Ctrl+A, |, Find... Ctrl+F, |, Open... Ctrl+O, Reload F5, Next replay "
             "Alt+Right (off), Previous replay Alt+Left (off), |, Keyboard shortcuts F1, About Murvik ");
    menu->close();
  }

  // F1 lists every action that has keys, with all its keys; Esc closes it.
  void keysHelpListsEveryKey() {
    QTest::keyClick(w_.get(), Qt::Key_F1);
    QDialog* help = nullptr;
    QTRY_VERIFY((help = w_->findChild<QDialog*>("dlgKeys")) && help->isVisible());
    QStringList rows, listed;
    for (const QAction* a : w_->actions().all())
      if (!a->shortcuts().isEmpty())
        rows << QKeySequence::listToString(a->shortcuts(), QKeySequence::NativeText).replace("; ", ", ") + " " +
                    a->statusTip();
    const QTreeWidget* list = help->findChild<QTreeWidget*>("lstKeys");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      listed << list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1);
    QCOMPARE(listed, rows);
    QTest::keyClick(help, Qt::Key_Escape);
    QTRY_VERIFY(!w_->findChild<QDialog*>("dlgKeys"));
  }

  // About names the version, the licence, the Qt it runs on and the manual.
  void aboutTellsWhatMurvikIs() {
    w_->findChild<QAction*>("actAbout")->trigger();
    auto* about = w_->findChild<QMessageBox*>("dlgAbout");
    QVERIFY(about);
    const QString text = about->text() + about->informativeText();
    for (const QString& part :
         {QString("0.01"), QString("MIT"), QString("Copyright"), QString(qVersion()), QString("man murvik")})
      QVERIFY2(text.contains(part), qPrintable(part));
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!w_->findChild<QMessageBox*>("dlgAbout"));
  }

  // The path box, Go and Lowercase name their keys; the empty box names F1.
  void controlsNameTheirKeys_data() {
    QTest::addColumn<QString>("keys");
    QTest::newRow("txtReplay") << "Enter Ctrl+O Alt+Right Alt+Left";
    QTest::newRow("cmdGo") << "Alt+G";
    QTest::newRow("chkLowercase") << "Alt+L";
    QTest::newRow("Text1") << "Ctrl+O F1";  // the grey hint of the empty box
  }
  void controlsNameTheirKeys() {
    QFETCH(QString, keys);
    const QWidget* control = w_->findChild<QWidget*>(QTest::currentDataTag());
    const QString text = control == text1_ ? text1_->placeholder_text() : control->toolTip();
    for (const QString& key : keys.split(' ')) QVERIFY2(text.contains(key), qPrintable(key + " in " + text));
  }
};

QTEST_MAIN(WindowActionsTest)
#include "window_actions_test.moc"
