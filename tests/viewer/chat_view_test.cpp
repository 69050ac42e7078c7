// The chat view as a user meets it, on Qt's offscreen platform: keys and the
// mouse select, copy and scroll, what it paints, what a screen reader reads,
// and the find box over it.
#include "viewer/chat_view.h"

#include <QtTest>
#include <QtWidgets>
#include <functional>

using namespace murvik;

namespace {

using K = QKeySequence;
using Act = std::function<void(ChatView*)>;

// A view of 240 x 160 pixels showing `text`, shown and, unless told not to,
// focused (a focused view draws its caret).
std::unique_ptr<ChatView> View(std::string_view text, bool focused = true) {
  auto view = std::make_unique<ChatView>();
  view->resize(240, 160);
  view->SetText(text);
  view->show();
  if (!QTest::qWaitForWindowExposed(view.get())) qWarning("view not shown");
  focused ? view->setFocus() : view->clearFocus();
  return view;
}

void Keys(QWidget* to, const std::vector<QKeySequence>& keys) {
  for (const QKeySequence& key : keys) QTest::keySequence(to, key);
}

QImage Shown(ChatView* view) { return view->viewport()->grab().toImage(); }

const std::string kLong = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG, THEN RUNS FAR AWAY";

}  // namespace

Q_DECLARE_METATYPE(Act)

class ChatViewTest : public QObject {
  Q_OBJECT

 private slots:
  // Every way of selecting gives exactly the text between its ends: the last
  // line and a wrapped line's tail included, each line break one LF, none
  // added; Ctrl+C and the context menu copy what is selected, in the case
  // shown.
  void selectsAndCopiesExactly_data() {
    QTest::addColumn<QString>("chat");
    QTest::addColumn<Act>("act");
    QTest::addColumn<QString>("selected");
    const QString text = QString::fromStdString("GL HF\r\n" + kLong + "\r\n\r\nBYE");
    const QString all = QString::fromStdString("GL HF\n" + kLong + "\n\nBYE");
    const uint64_t long_at = 6, long_end = long_at + kLong.size();
    const auto drag = [](ChatView* v, QPoint from, QPoint to) {
      QTest::mousePress(v->viewport(), Qt::LeftButton, {}, from);
      QTest::mouseMove(v->viewport(), to);
      QTest::mouseRelease(v->viewport(), Qt::LeftButton, {}, to);
    };
    const auto left_of = [](ChatView* v, uint64_t pos) { return v->CharacterRect(pos).center() - QPoint(3, 0); };
    QTest::newRow("drag over all") << text << Act([=](ChatView* v) { drag(v, left_of(v, 0), QPoint(100, 155)); })
                                   << all;
    QTest::newRow("drag over a wrapped line") << text << Act([=](ChatView* v) {
      drag(v, left_of(v, long_at), QPoint(235, v->CharacterRect(long_end - 1).center().y()));
    }) << QString::fromStdString(kLong);
    QTest::newRow("Ctrl+A") << text << Act([](ChatView* v) { Keys(v, {K::SelectAll}); }) << all;
    QTest::newRow("Ctrl+A, a break last") << "HI\r\n" << Act([](ChatView* v) { Keys(v, {K::SelectAll}); }) << "HI\n";
    QTest::newRow("Shift+Right over a break") << text << Act([](ChatView* v) {
      Keys(v, {K::MoveToEndOfLine, K::SelectNextChar, K::SelectNextChar});
    }) << "\nT";
    const QString columns = "ABCDEFGH\r\nAB\r\nABCDEFGH";  // Up and Down keep the column over a shorter line
    QTest::newRow("Shift+Down twice") << columns << Act([](ChatView* v) {
      v->Select(6, 6);
      Keys(v, {K::SelectNextLine, K::SelectNextLine});
    }) << "GH\nAB\nABCDEF";
    QTest::newRow("Shift+Up twice") << columns << Act([](ChatView* v) {
      v->Select(18, 18);
      Keys(v, {K::SelectPreviousLine, K::SelectPreviousLine});
    }) << "GH\nAB\nABCDEF";
    QTest::newRow("double click") << text << Act([=](ChatView* v) {
      QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, left_of(v, 11));
    }) << "QUICK";
    QTest::newRow("Select All, lower case") << text << Act([](ChatView* v) {
      v->SetLetterCase(LetterCase::kLower);
      v->SelectAll();
    }) << all.toLower();
  }
  void selectsAndCopiesExactly() {
    QFETCH(QString, chat);
    QFETCH(Act, act);
    QFETCH(QString, selected);
    auto v = View(chat.toStdString());
    act(v.get());
    QCOMPARE(v->SelectedText(), selected);
    QGuiApplication::clipboard()->clear();
    Keys(v.get(), {K::Copy});
    QCOMPARE(QGuiApplication::clipboard()->text(), selected);
  }

  // Arrows, Page Up/Down, Ctrl+Home/End and the wheel scroll the view, one
  // after another; at the end the last row is at the bottom, and positions
  // past it are the end.
  void scrollsByKeys() {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "LINE " + std::to_string(i) + "\r\n";
    auto v = View(text);
    const size_t page = size_t(v->PageRows()), last_top = 501 - page;
    QVERIFY(page > 3);
    std::vector<size_t> tops;  // after each key; Down a page of times from the top moves it a row
    for (const K::StandardKey key : {K::MoveToNextPage, K::MoveToNextPage, K::MoveToPreviousPage,
                                     K::MoveToEndOfDocument, K::MoveToNextLine, K::MoveToStartOfDocument})
      QTest::keySequence(v.get(), key), tops.push_back(v->top_line());
    Keys(v.get(), std::vector<QKeySequence>(page, K::MoveToNextLine));
    tops.push_back(v->top_line());
    QCOMPARE(tops, std::vector<size_t>({page, 2 * page, page, last_top, last_top, 0, 1}));
    QWheelEvent wheel(QPointF(5, 5), v->mapToGlobal(QPointF(5, 5)), {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(v->viewport(), &wheel);
    QCOMPARE(v->top_line(), 1 + size_t(QApplication::wheelScrollLines()));
    v->verticalScrollBar()->setValue(v->verticalScrollBar()->maximum());
    QCOMPARE(v->top_line(), last_top);
    QVERIFY(v->AtEnd());
    v->SetHighlights({text.size() - 600, v->chat().size() - 4}, 3);  // "498" and past the last line
    v->grab();
    QCOMPARE(v->PositionAt(QPoint(5, 10000)), v->chat().size());
  }

  // The scroll bar counts the chat's characters, not its lines: in a chat of
  // one long line, and of two short lines before one, its handle starts at
  // the top, stands half-way with the view half-way and at the bottom at the
  // end; dragging it there shows that part of the chat, its end the last row;
  // its arrow moves a row.
  void scrollBarShowsWhereTheViewIs() {
    std::string words;
    while (words.size() < 200000) words += "GG WP " + std::to_string(words.size()) + " ";
    for (const std::string& chat : {words, "GL HF\r\n\r\n" + words}) {
      auto v = View(chat);
      QScrollBar* bar = v->verticalScrollBar();
      const uint64_t size = v->chat().size();
      const auto top = [&] { return v->PositionAt(QPoint(5, 5)); };
      const uint64_t page_chars = uint64_t(bar->pageStep());  // the characters the view shows
      QCOMPARE(bar->value(), 0);
      QVERIFY(page_chars < size / 100);
      const uint64_t second_row = v->PositionAt(QPoint(5, 5 + v->CharacterRect(0).height()));
      bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(top(), second_row);
      v->ScrollTo(size / 2);
      QVERIFY(std::abs(bar->value() - bar->maximum() / 2) <= bar->pageStep());
      bar->setValue(bar->maximum() / 4);
      QVERIFY(top() <= size / 4);
      QVERIFY(top() + page_chars > size / 4);
      bar->setValue(bar->maximum());
      QVERIFY(v->AtEnd());
      QVERIFY(v->CharacterRect(size - 1).isValid());
      Keys(v.get(), {K::MoveToStartOfDocument, K::MoveToEndOfDocument});
      QCOMPARE(bar->value(), bar->maximum());
    }
  }

  // Every match is painted in a light highlight, the current one (selected)
  // as a selection, the rest of the text on the base colour. A selection over
  // several rows draws its later rows as the first row is drawn when selected
  // alike: wholly with its break, or up to a column. The letters are drawn in
  // the case shown: lower case looks as a chat written in lower case does.
  void drawsMatchesSelectionsAndTheCaseShown() {
    const std::string line = "GG WP GL HF";
    auto v = View(line + "\r\n" + line + "\r\n" + line, false);
    v->SetHighlights({1, 6, 9}, 1);
    v->Select(6, 7);
    const QImage shown = Shown(v.get());
    const auto colour_at = [&](uint64_t pos) {
      const QRect r = v->CharacterRect(pos);
      return shown.pixel(r.center().x(), r.bottom() - 1);
    };
    const QPalette& p = v->palette();
    QCOMPARE(QList<QRgb>({colour_at(1), colour_at(6), colour_at(4)}),
             QList<QRgb>({p.color(QPalette::Highlight).lighter(160).rgb(), p.color(QPalette::Highlight).rgb(),
                          p.color(QPalette::Base).rgb()}));
    v->SetHighlights({}, 0);
    const int h = v->CharacterRect(0).height(), top = v->CharacterRect(0).top();
    const auto row = [&](uint64_t anchor, uint64_t caret, int k) {
      v->Select(anchor, caret);
      return Shown(v.get()).copy(0, top + k * h, v->viewport()->width(), h);
    };
    QCOMPARE(row(3, 2 * 12 + 5, 1), row(0, 12, 0));
    QCOMPARE(row(3, 2 * 12 + 5, 2), row(0, 5, 0));
    v->Select(0, 0);
    v->SetLetterCase(LetterCase::kLower);
    const QImage lowered = Shown(v.get());
    v->SetLetterCase(LetterCase::kAsIs);
    QVERIFY(Shown(v.get()) != lowered);
    v->SetText("gg wp gl hf\r\ngg wp gl hf\r\ngg wp gl hf");
    QCOMPARE(Shown(v.get()), lowered);
  }

  // A screen reader reads the chat in the case shown, a word with the blanks
  // after it and a line with its break.
  void readsAsShown() {
    auto v = View("GG  Wp\r\nBYE");
    QAccessibleTextInterface* read = QAccessible::queryAccessibleInterface(v.get())->textInterface();
    int start = -1, end = -1;
    const auto at = [&](int offset, QAccessible::TextBoundaryType boundary) {
      const QString text = read->textAtOffset(offset, boundary, &start, &end);
      return QString("%1 %2-%3").arg(text).arg(start).arg(end);
    };
    QCOMPARE(at(5, QAccessible::WordBoundary), "Wp 4-6");
    v->SetLetterCase(LetterCase::kLower);
    QCOMPARE(QStringList({at(1, QAccessible::WordBoundary), at(8, QAccessible::WordBoundary),
                          at(2, QAccessible::LineBoundary), read->text(0, -1)}),
             QStringList({"gg   0-4", "bye 7-10", "gg  wp\n 0-7", "gg  wp\nbye"}));
  }
};

QTEST_MAIN(ChatViewTest)
#include "chat_view_test.moc"
