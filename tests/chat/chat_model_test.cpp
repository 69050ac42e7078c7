// The chat model, without Qt or a font: the chat's lines and their
// index, find's matches, where a line wraps, and the rows at a width with
// fixed advances (every character one pixel wide, W three).
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "chat/chat_lines.h"
#include "chat/chat_matches.h"
#include "chat/eight_bytes.h"
#include "chat/row_layout.h"
#include "chat/text_rows.h"

namespace murvik {
namespace {

std::string Crlf(std::string_view text) {
  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return crlf;
}

// Where `term` matches in `text`, ignoring case, each after the one before.
std::vector<uint64_t> PlainMatches(std::string text, std::string term) {
  for (std::string* s : {&text, &term})
    for (char& c : *s) c = InCase(c, LetterCase::kLower);
  std::vector<uint64_t> found;
  for (size_t at = text.find(term); at != std::string::npos; at = text.find(term, at + term.size()))
    found.push_back(at);
  return found;
}

Advances Pixels() {
  Advances advance;
  advance.fill(64);
  advance['W'] = 192;
  return advance;
}

// Messages handed over together: their texts, each sent but maybe the last.
struct Batch {
  std::vector<std::string> texts;
  bool last_sent = true;
  bool Sent(size_t i) const { return i + 1 < texts.size() || last_sent; }
  MessageList List() const {
    MessageList list;
    for (size_t i = 0; i < texts.size(); ++i) list.Add(texts[i], 0, Sent(i));
    return list;
  }
};

// The lines built from batches of messages (or from a text) agree with the
// plain text the messages make, a line break after each sent one: as text
// with either break, and read back from it; with a plain list of line
// starts, across the index's blocks, scanned or kept whole, and with the last
// line kept where the core left it: every line's start, end and text, the
// line of every position (past the end too); slices, and find's matches over
// the joins, line breaks counting one character: whole matches, none
// overlapping, a term's first letter found in either case wherever it stands
// (a single letter is looked for eight characters at a time).
// Every byte against every byte, at each of the eight places, with and
// without the case bit: the marks are exactly the bytes that match (a false
// mark after a true one, or at a byte of 0x80 and above, would make find and
// the line index count wrong).
TEST(EightBytes, MarkExactlyTheBytesThatMatch) {
  std::mt19937 random(5);
  for (int want = 0; want < 256; ++want) {
    for (const uint64_t bits : {uint64_t{0}, EveryByte(0x20)}) {
      // The byte, then one a bit away from it, where a borrow would mark both.
      char bytes[8];
      for (char& b : bytes) b = char(random());
      const size_t at = random() % 7;
      bytes[at] = char(want);
      bytes[at + 1] = char(want ^ 1);
      uint64_t expected = 0;
      for (size_t i = 0; i < 8; ++i)
        if ((uint8_t(bytes[i]) | (bits & 0xFF)) == (uint8_t(want) | (bits & 0xFF)))
          expected |= uint64_t{0x80} << (8 * i);
      EXPECT_EQ(BytesEqual(bytes, bits, EveryByte(uint8_t(want | (bits & 0xFF)))), expected) << want;
    }
  }
}

TEST(ChatLines, AgreeWithPlainText) {
  std::mt19937 rng(5);
  const auto mixed = [&](int count, bool huge) {
    Batch b{{}, rng() % 16 != 0};
    for (int i = 0; i < count; ++i) {
      std::string text(rng() % 8 == 0 ? rng() % (huge ? 20000 : 300) : rng() % 12, 'A');
      for (char& c : text) c = "AbeGgOzZ m"[rng() % 10];
      b.texts.push_back(text);
    }
    return b;
  };
  const std::string huge(200000, 'X');
  const Batch line{{""}}, lines1000{std::vector<std::string>(1000, "")};
  for (const auto& [name, batches, copied, from_text] :
       std::vector<std::tuple<const char*, std::vector<Batch>, bool, std::string>>{
           {"empty lines", {{}, line, {}, line, {}, line, lines1000}, false, ""},
           {"one huge line kept", {{{huge}, false}}, false, ""},
           {"one huge line copied", {{{huge}, false}}, true, ""},
           {"a mix, the last line kept", {mixed(700, true), mixed(600, false), {{"E", "AE E"}, false}}, false, ""},
           {"a mix, more after a kept line", {mixed(300, true), {{"", huge}, false}, mixed(400, true)}, false, ""},
           {"text", {{{"A", "", "B", "CC", huge, ""}, false}}, false, "A\r\n\rB\nCC\r\n" + huge + "\n"}}) {
    SCOPED_TRACE(name);
    ChatLines lines = ChatLines::FromText(from_text);
    for (const Batch& b : batches)
      if (from_text.empty()) copied ? lines.Append(static_cast<const MessageList&>(b.List())) : lines.Append(b.List());
    std::string text;
    std::vector<uint64_t> starts{0};
    for (const Batch& b : batches)
      for (size_t i = 0; i < b.texts.size(); ++i) {
        text += b.texts[i];
        if (b.Sent(i)) text += '\n', starts.push_back(text.size());
      }
    ASSERT_EQ(lines.Slice(0, UINT64_MAX), text);
    EXPECT_EQ(lines.Slice(0, lines.size(), "\r\n"), Crlf(text));
    EXPECT_EQ(ChatLines::FromText(Crlf(text)).Slice(0, UINT64_MAX), text);
    ASSERT_EQ(lines.size(), text.size());
    ASSERT_EQ(lines.line_count(), starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
      const uint64_t end = i + 1 < starts.size() ? starts[i + 1] - 1 : text.size();
      ASSERT_EQ(lines.LineStart(i), starts[i]) << "line " << i;
      ASSERT_EQ(lines.LineEnd(i), end) << "line " << i;
      ASSERT_EQ(lines.Line(i), std::string_view(text).substr(starts[i], end - starts[i])) << "line " << i;
    }
    for (uint64_t pos = 0; pos <= text.size() + 2; ++pos)
      ASSERT_EQ(lines.LineOf(pos), size_t(std::upper_bound(starts.begin(), starts.end(), pos) - starts.begin()) - 1)
          << "position " << pos;
    EXPECT_EQ(lines.Slice(3, text.size() - 2, "\r\n"), Crlf(text.substr(3, text.size() - 5)));
    for (const std::string term : {"e", "z", "GG", "zZ", "o m", " ", "\nX", "e a", "no such words"})
      EXPECT_EQ(lines.FindAll(term), PlainMatches(text, term)) << term;
  }
}

// The characters stay as the chat grows, a message at a time, from the heap
// into memory of its own and on as that grows; grown to the size reserved
// for it, the chat is not moved (the page reserves its bound so that its
// heap block is never copied).
TEST(ChatLines, KeepTheirCharactersAsTheyGrow) {
  ChatLines lines;
  std::string text;
  for (size_t length = 1; text.size() < (3 << 20); length = length * 3 / 2 + 1) {
    MessageList message;
    message.Add(std::string(length, char('A' + length % 26)), 0, true);
    lines.Append(message);
    text += std::string(message.back().text) + '\n';
  }
  EXPECT_EQ(lines.Slice(0, lines.size()), text);
  lines.Reserve(lines.size() + (8 << 20));
  const char* first = lines.Line(0).data();
  MessageList open;
  open.Add(std::string(8 << 20, 'A'), 0, false);
  lines.Append(open);
  EXPECT_EQ(lines.Line(0).data(), first);
}

// ChatMatches agrees with FindAll on random chats of letters in both cases
// and line breaks, the last line kept apart from the rest or not, with its
// places kept every few matches and characters, so that scans start from
// every kind of place: the count, each match, the first match at or after
// each position, and the matches within windows.
TEST(ChatMatches, AgreeWithFindAll) {
  std::mt19937 rng(7);
  for (const bool last_kept : {false, true}) {
    Batch b{{}, !last_kept};
    for (int i = 0; i < 300; ++i) {
      std::string text(i == 299 ? 500 : rng() % 12, 'a');
      for (char& c : text) c = "aAbB"[rng() % 4];
      b.texts.push_back(text);
    }
    ChatLines chat;
    chat.Append(b.List());
    for (const std::string term : {"a", "B", "aa", "AaA", "b\nA", "ab"}) {
      SCOPED_TRACE(term + (last_kept ? ", last line kept" : ""));
      const std::vector<uint64_t> all = chat.FindAll(term);
      const std::optional<ChatMatches> matches = ChatMatches::Find(chat, term, {}, {.every = 3, .chunk = 7});
      ASSERT_TRUE(matches);
      ASSERT_EQ(matches->size(), all.size());
      for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(matches->At(i), all[i]) << "match " << i;
      for (uint64_t pos = 0; pos <= chat.size() + 1; ++pos)
        ASSERT_EQ(matches->IndexAtOrAfter(pos), uint64_t(std::lower_bound(all.begin(), all.end(), pos) - all.begin()))
            << "position " << pos;
      for (int k = 0; k < 50; ++k) {
        const uint64_t begin = rng() % chat.size(), end = begin + rng() % 40;
        EXPECT_EQ(matches->InRange(begin, end), std::vector<uint64_t>(std::lower_bound(all.begin(), all.end(), begin),
                                                                      std::lower_bound(all.begin(), all.end(), end)))
            << begin << " to " << end;
      }
    }
  }
}

// InRange gives the first matches only, as many as kMostInRange; a scan
// that keep_going stops gives nothing.
TEST(ChatMatches, InRangeCappedAndBuildCancelled) {
  const ChatLines chat = ChatLines::FromText(std::string(30000, 'a'));
  std::vector<uint64_t> first(ChatMatches::kMostInRange);
  for (size_t i = 0; i < first.size(); ++i) first[i] = 5 + i;
  EXPECT_EQ(ChatMatches::Find(chat, "A")->InRange(5, chat.size()), first);
  int asked = 0;
  EXPECT_FALSE(ChatMatches::Find(chat, "A", [&] { return ++asked < 3; }, {.chunk = 1000}));
}

// Rows end after a space that lets the next word fit, or inside a word wider
// than a row; spaces at a row's end take no room, a word carried to the next
// row does.
TEST(WrapRows, AtSpacesOrInsideLongWords) {
  Advances pixel;
  pixel.fill(64);
  for (const auto& [line, width, rows] : {std::tuple{"", 5, std::vector<uint32_t>{0}},
                                          {"AAAA BBBB", 5, {0, 5}},
                                          {"AAAAAAAAAA", 4, {0, 4, 8}},
                                          {"AB   CD", 3, {0, 5}},
                                          {"AAAAAA BB", 4, {0, 4, 7}},
                                          {"AAA BBBB C", 5, {0, 4, 9}},
                                          {"A B C", 9, {0}}})
    EXPECT_EQ(WrapRows(line, pixel, width * 64), rows) << line << " at " << width;
}

// A layout of `chat` at `pixels` pixels a row, with the advances of Pixels().
RowLayout LayoutOf(const ChatLines& chat, int pixels) {
  RowLayout layout;
  layout.SetChat(chat);
  layout.SetAdvances(Pixels());
  layout.SetWidth(pixels * 64);
  return layout;
}

// The rows of a chat at 5 pixels, "AAA |BBBB |C", "XY", "", "AAAAA|AAAAA|AA":
// where each starts and ends, the row of a position, moving by rows and the
// last page's top row.
TEST(RowLayout, RowsOfAChat) {
  const ChatLines chat = ChatLines::FromText("AAA BBBB C\nXY\n\nAAAAAAAAAAAA");
  RowLayout layout = LayoutOf(chat, 5);
  const std::tuple<RowPos, uint64_t, uint64_t> rows[] = {{{0, 0}, 0, 4},   {{0, 1}, 4, 9},   {{0, 2}, 9, 10},
                                                         {{1, 0}, 11, 13}, {{2, 0}, 14, 14}, {{3, 0}, 15, 20},
                                                         {{3, 1}, 20, 25}, {{3, 2}, 25, 27}};
  for (int64_t k = 0; k < 8; ++k) {
    SCOPED_TRACE(k);
    const auto& [row, begin, end] = rows[k];
    EXPECT_EQ(layout.RowBegin(row), begin);
    EXPECT_EQ(layout.RowEnd(row), end);
    EXPECT_EQ(layout.RowOf(begin), row);
    RowPos at;
    EXPECT_EQ(layout.Move(at, k), k);
    EXPECT_EQ(at, row);
    EXPECT_EQ(layout.Move(at, -100), -k);
    EXPECT_EQ(at, RowPos());
    EXPECT_EQ(layout.LastTop(8 - k), row);
  }
  EXPECT_EQ(layout.RowOf(3), (RowPos{0, 0}));   // the space that ends a row
  EXPECT_EQ(layout.RowOf(10), (RowPos{0, 2}));  // a line's break
  RowPos at{3, 1};
  EXPECT_EQ(layout.Move(at, -4), -4);
  EXPECT_EQ(at, (RowPos{0, 2}));
  EXPECT_EQ(layout.Move(at, 100), 5);
  EXPECT_EQ(at, layout.LastRow());
  EXPECT_EQ(layout.LastTop(100), RowPos());
  layout.SetWidth(100 * 64);
  EXPECT_EQ(layout.Clamped({3, 2}), (RowPos{3, 0}));
}

// "AWA |WA" at 7 pixels: x within a row, and the position nearest to an x.
TEST(RowLayout, XWithinARow) {
  const ChatLines chat = ChatLines::FromText("AWA WA");
  RowLayout layout = LayoutOf(chat, 7);
  ASSERT_EQ(layout.RowOf(4), (RowPos{0, 1}));
  for (const auto& [row, pos, x] : std::initializer_list<std::tuple<size_t, uint64_t, int64_t>>{
           {0, 0, 0}, {0, 1, 1}, {0, 2, 4}, {0, 4, 6}, {1, 4, 0}, {1, 5, 3}, {1, 6, 4}})
    EXPECT_EQ(layout.XOf({0, row}, pos), x * 64) << row << ": " << pos;
  for (const auto& [row, x, pos] : std::initializer_list<std::tuple<size_t, int64_t, uint64_t>>{
           {0, -64, 0}, {0, 31, 0}, {0, 32, 1}, {0, 159, 1}, {0, 160, 2}, {0, 6400, 3}, {1, 0, 4}, {1, 6400, 6}})
    EXPECT_EQ(layout.PositionAtX({0, row}, x), pos) << row << ": " << x;
}

}  // namespace
}  // namespace murvik
