// The chat view as a user meets it, on Qt's offscreen platform: keys and the
// mouse select, copy and scroll, and what it paints; and the plain pieces
// under it, the lines' index and a line's rows, against simple references.
#include "viewer/chat_view.h"

#include <QtTest>
#include <QtWidgets>
#include <functional>
#include <random>

#include "chat_text.h"
#include "replay_writer.h"

using namespace murvik;

namespace {

MessageList Messages(const char* kind, uint64_t size, uint32_t seed) {
  return ChatOf(SynthesizedReplay(kind, size, seed));
}

// A view of 240 x 160 pixels showing `text`, shown and focused.
std::unique_ptr<ChatView> View(std::string_view text) {
  auto view = std::make_unique<ChatView>();
  view->resize(240, 160);
  view->SetText(text);
  view->show();
  if (!QTest::qWaitForWindowExposed(view.get())) qWarning("view not shown");
  view->setFocus();
  return view;
}

void Keys(QWidget* to, std::initializer_list<QKeySequence> keys) {
  for (const QKeySequence& key : keys) QTest::keySequence(to, key);
}

const std::string kLong = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG, THEN RUNS FAR AWAY";

}  // namespace

class ChatViewTest : public QObject {
  Q_OBJECT

 private slots:
  // The lines built from messages handed over in batches hold the chat's
  // text exactly, and find's matches are a plain text's, line breaks
  // counting one character.
  void linesAndMatchesAgreeWithPlainText() {
    for (const MessageList& messages : {Messages("chat", 300000, 11), Messages("worst", 30000, 12)}) {
      const std::string text = ChatText(messages);
      MessageList halves[2];
      for (size_t i = 0; i < messages.size(); ++i)
        halves[i >= messages.size() / 2].Add(messages[i].text, messages[i].offset, messages[i].sent);
      ChatLines lines;
      lines.Append(halves[0]);
      lines.Append(halves[1]);
      QCOMPARE(lines.Slice(0, lines.size(), "\r\n"), text);
      QCOMPARE(ChatLines::FromText(text).Slice(0, UINT64_MAX, "\r\n"), text);
      const QString plain = QString::fromStdString(text).replace("\r\n", "\n");
      QCOMPARE(QString::fromStdString(lines.Slice(0, lines.size())), plain);
      QCOMPARE(lines.line_count(), size_t(plain.count('\n') + 1));
      for (size_t i = 0; i < lines.line_count(); i += 7)
        QVERIFY(lines.LineOf(lines.LineStart(i)) == i && lines.LineOf(lines.LineEnd(i)) == i);
      for (const QString term : {"e", "GG", "o m", " ", "no such words"}) {
        std::vector<uint64_t> expected;
        for (qsizetype at = plain.indexOf(term, 0, Qt::CaseInsensitive); at >= 0;
             at = plain.indexOf(term, at + term.size(), Qt::CaseInsensitive))
          expected.push_back(uint64_t(at));
        QCOMPARE(lines.FindAll(term.toStdString()), expected);
      }
    }
  }

  // The line index agrees with a plain list of line starts, across its
  // blocks, scanned or kept whole, and with the last line kept where the
  // core left it: every line's start, end and text, the line of every
  // position (past the end too), slices and matches over the join.
  void lineIndexAgreesWithPlainStarts() {
    std::mt19937 rng(5);
    const auto batch = [](std::initializer_list<std::pair<std::string, bool>> messages) {
      MessageList list;
      for (const auto& [text, sent] : messages) list.Add(text, 0, sent);
      return list;
    };
    const auto random_lines = [&](int count, bool huge) {
      MessageList list;
      for (int i = 0; i < count; ++i) {
        const size_t length = rng() % 8 == 0 ? rng() % (huge ? 20000 : 300) : rng() % 12;
        std::string text(length, 'A');
        for (char& c : text) c = "AB E"[rng() % 4];
        list.Add(text, 0, rng() % 16 != 0);
      }
      return list;
    };
    const std::string huge(200000, 'X');
    using Build = std::function<void(ChatLines&)>;
    for (const auto& [name, build] : std::initializer_list<std::pair<const char*, Build>>{
             {"empty lines",
              [&](ChatLines& l) {
                for (int i = 0; i < 3; ++i) l.Append(random_lines(0, false)), l.Append(batch({{"", true}}));
                MessageList empty;
                for (int i = 0; i < 1000; ++i) empty.Add("", 0, true);
                l.Append(empty);
              }},
             {"one huge line kept",
              [&](ChatLines& l) {
                l.Append(batch({{huge, false}}));
              }},
             {"one huge line copied",
              [&](ChatLines& l) {
                l.Append(static_cast<const MessageList&>(batch({{huge, false}})));
              }},
             {"a mix, the last line kept",
              [&](ChatLines& l) {
                l.Append(random_lines(700, true));
                l.Append(random_lines(600, false));
                l.Append(batch({{"E", true}, {"AE E", false}}));
              }},
             {"a mix, more after a kept line",
              [&](ChatLines& l) {
                l.Append(random_lines(300, true));
                l.Append(batch({{"", true}, {huge, false}}));
                l.Append(random_lines(400, true));
              }},
             {"text", [&](ChatLines& l) { l = ChatLines::FromText("A\r\n\rB\nCC\r\n" + huge + "\n"); }},
         }) {
      ChatLines lines;
      build(lines);
      const std::string text = lines.Slice(0, UINT64_MAX);
      std::vector<uint64_t> starts{0};
      for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') starts.push_back(i + 1);
      QVERIFY2(lines.size() == text.size() && lines.line_count() == starts.size(), name);
      for (size_t i = 0; i < starts.size(); ++i) {
        const uint64_t end = i + 1 < starts.size() ? starts[i + 1] - 1 : text.size();
        QVERIFY2(lines.LineStart(i) == starts[i] && lines.LineEnd(i) == end, name);
        QVERIFY2(lines.Line(i) == std::string_view(text).substr(starts[i], end - starts[i]), name);
      }
      for (uint64_t pos = 0; pos <= text.size() + 2; ++pos) {
        const size_t line = size_t(std::upper_bound(starts.begin(), starts.end(), pos) - starts.begin()) - 1;
        if (lines.LineOf(pos) != line) QFAIL(qPrintable(QString("%1: line of %2").arg(name).arg(pos)));
      }
      QVERIFY2(
          lines.Slice(3, text.size() - 2, "\r\n") == ChatText(MessageList()) +
                                                         [&] {
                                                           std::string crlf;
                                                           for (const char c : text.substr(3, text.size() - 5))
                                                             crlf +=
                                                                 c == '\n' ? std::string("\r\n") : std::string(1, c);
                                                           return crlf;
                                                         }(),
          name);
      for (const std::string term : {"E", "\nX", "E A"}) {
        std::vector<uint64_t> expected;
        for (size_t at = text.find(term); at != std::string::npos; at = text.find(term, at + term.size()))
          expected.push_back(at);
        QVERIFY2(lines.FindAll(term == "E A" ? "e a" : term) == expected, name);
      }
    }
  }

  // Rows end after a space that lets the next word fit, or inside a word
  // wider than a row; spaces at a row's end take no room.
  void wrapsAtSpacesOrInsideLongWords() {
    Advances pixel;
    pixel.fill(64);  // every character one pixel wide
    for (const auto& [line, width, rows] : {std::tuple{"", 5, std::vector<uint32_t>{0}},
                                            {"AAAA BBBB", 5, {0, 5}},
                                            {"AAAAAAAAAA", 4, {0, 4, 8}},
                                            {"AB   CD", 3, {0, 5}},
                                            {"AAAAAA BB", 4, {0, 4, 7}},
                                            {"A B C", 9, {0}}})
      QCOMPARE(WrapRows(line, pixel, width * 64), rows);
  }

  // Every way of selecting gives exactly the text between its ends: the last
  // line and a wrapped line's tail included, each line break one LF, none
  // added; Ctrl+C and the context menu copy what is selected, in the case
  // shown.
  void selectsAndCopiesExactly() {
    const std::string text = "GL HF\r\n" + kLong + "\r\n\r\nBYE";
    const QString all = QString::fromStdString("GL HF\n" + kLong + "\n\nBYE");
    const uint64_t long_at = 6, long_end = long_at + kLong.size();
    using Act = std::function<void(ChatView*)>;
    const auto drag = [](ChatView* v, QPoint from, QPoint to) {
      QTest::mousePress(v->viewport(), Qt::LeftButton, {}, from);
      QTest::mouseMove(v->viewport(), to);
      QTest::mouseRelease(v->viewport(), Qt::LeftButton, {}, to);
    };
    const auto left_of = [](ChatView* v, uint64_t pos) { return v->CharacterRect(pos).center() - QPoint(3, 0); };
    for (const auto& [chat, act, selected] : std::initializer_list<std::tuple<std::string, Act, QString>>{
             {text, [&](ChatView* v) { drag(v, left_of(v, 0), QPoint(100, 155)); }, all},
             {text,
              [&](ChatView* v) {
                drag(v, left_of(v, long_at), QPoint(235, v->CharacterRect(long_end - 1).center().y()));
              },
              QString::fromStdString(kLong)},
             {text, [](ChatView* v) { Keys(v, {K::SelectAll}); }, all},
             {"HI\r\n", [](ChatView* v) { Keys(v, {K::SelectAll}); }, "HI\n"},
             {text,
              [](ChatView* v) {
                Keys(v, {K::MoveToEndOfLine, K::SelectNextChar, K::SelectNextChar});
              },
              "\nT"},
             {text, [](ChatView* v) { Keys(v, {K::SelectNextLine}); }, "GL HF\n"},
             {text,
              [](ChatView* v) {
                Keys(v, {K::MoveToEndOfDocument, K::SelectPreviousLine, K::SelectStartOfLine});
              },
              "\nBYE"},
             {text, [&](ChatView* v) { QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, left_of(v, 11)); },
              "QUICK"},
             {text,
              [](ChatView* v) {
                v->SetLetterCase(LetterCase::kLower);
                std::unique_ptr<QMenu> menu(v->CreateContextMenu());
                menu->findChild<QAction*>("actSelectAll")->trigger();
              },
              all.toLower()},
         }) {
      auto v = View(chat);
      act(v.get());
      QCOMPARE(v->SelectedText(), selected);
      std::unique_ptr<QMenu> menu(v->CreateContextMenu());
      QVERIFY(menu->findChild<QAction*>("actCopy")->isEnabled());
      QGuiApplication::clipboard()->clear();
      Keys(v.get(), {K::Copy});
      QCOMPARE(QGuiApplication::clipboard()->text(), selected);
    }
  }

  // Arrows, Page Up/Down, Ctrl+Home/End and the wheel scroll the view; at the
  // end the last row is at the bottom, and positions past it are the end.
  void scrollsByKeysAndWheel() {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "LINE " + std::to_string(i) + "\r\n";
    auto v = View(text);
    const size_t page = size_t(v->PageRows()), last_top = 501 - page;
    QVERIFY(page > 3);
    for (const auto& [keys, top] : std::initializer_list<std::pair<std::vector<QKeySequence>, size_t>>{
             {{K::MoveToNextPage}, page},
             {{K::MoveToNextPage}, 2 * page},
             {{K::MoveToPreviousPage}, page},
             {{K::MoveToEndOfDocument}, last_top},
             {{K::MoveToNextLine}, last_top},
             {{K::MoveToStartOfDocument}, 0},
             {std::vector<QKeySequence>(page, K::MoveToNextLine), 1}}) {
      for (const QKeySequence& key : keys) QTest::keySequence(v.get(), key);
      QCOMPARE(v->top_line(), top);
    }
    QWheelEvent wheel(QPointF(5, 5), v->mapToGlobal(QPointF(5, 5)), {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(v->viewport(), &wheel);
    QCOMPARE(v->top_line(), 1 + size_t(QApplication::wheelScrollLines()));
    v->verticalScrollBar()->setValue(v->verticalScrollBar()->maximum());
    QVERIFY(v->top_line() == last_top && v->AtEnd());
    v->SetHighlights({text.size() - 600, v->chat().size() - 4}, 3);  // "498" and past the last line
    v->grab();
    QCOMPARE(v->PositionAt(QPoint(5, 10000)), v->chat().size());
  }

  // The scroll bar counts the chat's characters: in a chat of one long
  // line its handle starts at the top, stands half-way with the view
  // half-way and at the bottom at the end; dragging it there shows that
  // part of the chat, its end the last row; its arrow moves a row.
  void scrollBarShowsWhereTheViewIs() {
    std::string words;
    while (words.size() < 200000) words += "GG WP " + std::to_string(words.size()) + " ";
    for (const std::string& chat : {words, "GL HF\r\n\r\n" + words}) {
      auto v = View(chat);
      QScrollBar* bar = v->verticalScrollBar();
      const uint64_t size = v->chat().size();
      const auto top = [&] { return v->PositionAt(QPoint(5, 5)); };
      const uint64_t page_chars = uint64_t(bar->pageStep());  // the characters the view shows
      QVERIFY(bar->value() == 0 && bar->maximum() > 0 && bar->pageStep() > 0 && page_chars < size / 100);
      const uint64_t second_row = v->PositionAt(QPoint(5, 5 + v->CharacterRect(0).height()));
      bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(top(), second_row);
      v->ScrollTo(size / 2);
      QVERIFY(std::abs(bar->value() - bar->maximum() / 2) <= bar->pageStep());
      bar->setValue(bar->maximum() / 4);
      QVERIFY(top() <= size / 4 && top() + page_chars > size / 4);
      bar->setValue(bar->maximum());
      QVERIFY(v->AtEnd() && v->CharacterRect(size - 1).isValid());
      Keys(v.get(), {K::MoveToStartOfDocument, K::MoveToEndOfDocument});
      QCOMPARE(bar->value(), bar->maximum());
    }
  }

  // Every match is painted in a light highlight, the current one (selected)
  // as a selection, the rest of the text on the base colour.
  void paintsMatchesAndSelection() {
    auto v = View("GO MID, NOT TOP");
    v->SetHighlights({1, 9, 13}, 1);
    v->Select(9, 10);
    const QImage shown = v->viewport()->grab().toImage();
    const auto colour_at = [&](uint64_t pos) {
      const QRect r = v->CharacterRect(pos);
      return shown.pixel(r.center().x(), r.bottom() - 1);
    };
    const QPalette& p = v->palette();
    QCOMPARE(colour_at(1), p.color(QPalette::Highlight).lighter(160).rgb());
    QCOMPARE(colour_at(9), p.color(QPalette::Highlight).rgb());
    QCOMPARE(colour_at(4), p.color(QPalette::Base).rgb());
  }

 private:
  using K = QKeySequence;
};

QTEST_MAIN(ChatViewTest)
#include "chat_view_test.moc"
