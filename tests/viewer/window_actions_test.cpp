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
    row("alone/c.rep", "SelectAll Find Reload");     // alone in its folder
    row("none.rep", "SelectAll Find Reload steps");  // failed
    row("reading", "Reload steps Cancel");
  }
  void enabledAsTheWindowStands() {
    const QString state = QTest::currentDataTag();
    if (state == "path box empty") w_->findChild<QLineEdit*>("txtReplay")->clear();
    if (state == "reading") {
      ExtractOptions slow;
      slow.on_progress = [](uint64_t) { return QThread::msleep(3000), true; };
      w_->document().SetReadOptions(slow);
    }
    if (state.endsWith(".rep") || state == "reading" || state == "selected" || state == "found")
      Open(dir_.filePath(state.endsWith(".rep") ? state : "a.rep"));
    if (state == "selected") text1_->Select(0, 2);
    if (state == "found") {
      QTest::keySequence(w_.get(), QKeySequence::Find);
      QTest::keyClicks(QApplication::focusWidget(), "gl");
    }
    QFETCH(QString, enabled);
    QStringList names = QString(enabled + " Open Go Lowercase Close KeysHelp About")
                            .replace("steps", "NextReplay PreviousReplay FirstReplay LastReplay")
                            .split(' ', Qt::SkipEmptyParts);
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
    auto* help = w_->findChild<QDialog*>("dlgKeys");
    QVERIFY(help);
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

  // About names the version, the licence, the Qt it runs on and the manual;
  // the path box, Go and Lowercase name their keys, the empty box F1.
  void tellsWhatItIsAndDoes_data() {
    QTest::addColumn<QString>("parts");
    QTest::newRow("dlgAbout") << QString("0.01|MIT|Copyright (c) 2026|%1|man murvik").arg(qVersion());
    QTest::newRow("txtReplay") << "Enter|Ctrl+O|Alt+Right|Alt+Left";
    QTest::newRow("cmdGo") << "Alt+G";
    QTest::newRow("chkLowercase") << "Alt+L";
    QTest::newRow("Text1") << "Ctrl+O|F1";
  }
  void tellsWhatItIsAndDoes() {
    QFETCH(QString, parts);
    w_->findChild<QAction*>("actAbout")->trigger();
    auto* about = w_->findChild<QMessageBox*>("dlgAbout");
    const QWidget* control = w_->findChild<QWidget*>(QTest::currentDataTag());
    const QString text = control == about    ? about->text() + about->informativeText()
                         : control == text1_ ? text1_->placeholder_text()
                                             : control->toolTip();
    for (const QString& part : parts.split('|')) QVERIFY2(text.contains(part), qPrintable(part + " in " + text));
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!w_->findChild<QMessageBox*>("dlgAbout"));
  }
};

QTEST_MAIN(WindowActionsTest)
#include "window_actions_test.moc"
