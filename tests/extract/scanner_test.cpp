#include "extract/scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "message_testing.h"
#include "replay_bytes.h"
#include "replay_writer.h"

namespace murvik {
namespace {

using testing::ReplayOf;

constexpr const char* S = "4024";  // start
constexpr const char* E = "C021";  // end
constexpr const char* X = "E020";  // erase
constexpr const char* A = "E021";
constexpr const char* B = "0023";
constexpr const char* H = "3022";
constexpr const char* I = "7021";
constexpr const char* O = "8021";
constexpr const char* K = "5022";

std::vector<Message> Scan(const std::string& bytes) {
  ChatScanner scanner;
  scanner.Feed(bytes);
  return scanner.TakeMessages();
}

struct RuleCase {
  const char* name;
  std::vector<std::string_view> codes;
  std::string text;
};

TEST(ChatRules, BuildTheTextAsTheKeysSay) {
  const RuleCase cases[] = {
      {"nothing", {}, ""},
      {"characters outside a message", {A, B, E, H}, ""},
      {"two messages", {S, H, I, E, S, O, K, E}, "HI\r\nOK\r\n"},
      {"characters after an end", {S, H, E, I}, "H\r\n"},
      {"end with no open message", {E, S, A, E, E}, "A\r\n"},
      {"start then end is an empty line", {S, E}, "\r\n"},
      {"a second start runs the message on", {S, A, S, B, E}, "AB\r\n"},
      {"open at the end has no line break", {S, H, E, S, O, K}, "H\r\nOK"},
      {"erase removes the last character", {S, A, B, X, E}, "A\r\n"},
      {"erase outside a message does nothing", {S, A, E, X, S, B, E}, "A\r\nB\r\n"},
      // An erase never reaches past the open message: not into an empty text
      // (which used to fail the whole replay), nor into the line before it.
      {"erases in an empty first message", {S, A, X, X}, ""},
      {"erase right after a start", {S, H, I, E, S, X}, "HI\r\n"},
      {"erases past the message's start", {S, H, I, E, S, O, X, X, X, K, E}, "HI\r\nK\r\n"},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChatText(Scan(ReplayOf(c.codes))), c.text);
  }
}

TEST(ChatRules, MessagesKeepTheirStartOffsetAndWhetherSent) {
  const std::vector<Message> messages = Scan(ReplayOf({A, S, H, I, E, X, S, S, O}));
  const std::vector<Message> expected = {
      {"HI", 273 + 12 * 1, true},
      {"O", 273 + 12 * 6, false},
  };
  EXPECT_EQ(messages, expected);
}

TEST(ChatScanner, ReadsOnlyThePairAtEachPosition) {
  // Every byte but the pairs spells start and "A" at every alignment; none of
  // it may be read.
  std::string bytes = ReplayOf({A, S, B, E});
  const char kDecoy[] = {'\x40', '\x24', '\xE0', '\x21'};
  for (size_t i = 0; i < bytes.size(); ++i)
    if (i < 273 || (i - 273) % 12 >= 2) bytes[i] = kDecoy[i % 4];
  EXPECT_EQ(ChatText(Scan(bytes)), "B\r\n");
}

struct LengthCase {
  size_t length;
  std::string text;
};

TEST(ChatScanner, StopsAtAnIncompleteLastPair) {
  // Records: start, H, I, end, start, O; the file is cut at `length`.
  const std::string full = ReplayOf({S, H, I, E, S, O});
  const LengthCase cases[] = {
      {1, ""},    {273, ""},   {274, ""},   {275, ""},       {286, ""},       {287, "H"},
      {298, "H"}, {299, "HI"}, {310, "HI"}, {311, "HI\r\n"}, {334, "HI\r\n"}, {335, "HI\r\nO"},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.length);
    // Partial text of the still-open message counts as chat.
    EXPECT_EQ(ChatText(Scan(full.substr(0, c.length))), c.text);
  }
}

// Feeds `bytes` in chunks whose sizes come from `sizes`, cycling.
std::vector<Message> ScanInChunks(const std::string& bytes, const std::vector<size_t>& sizes) {
  ChatScanner scanner;
  size_t at = 0;
  for (size_t i = 0; at < bytes.size(); ++i) {
    const size_t n = std::min(sizes[i % sizes.size()], bytes.size() - at);
    scanner.Feed(std::string_view(bytes).substr(at, n));
    scanner.Feed(std::string_view());  // an empty chunk changes nothing
    at += n;
  }
  EXPECT_EQ(scanner.bytes_fed(), bytes.size());
  return scanner.TakeMessages();
}

TEST(ChatScanner, GivesTheSameMessagesHoweverTheInputIsSplit) {
  ReplayWriter w(7);
  w.Noise(3).Say("GL HF").Noise(2).Start().Type("WELL PALYED").Erase().Erase().Type("D.");
  w.Noise(1).Type("12").End().Say("").Start().Type("OPEN");
  const std::string bytes = w.Take() + std::string(1, '\x40');  // a lone last byte too
  const std::vector<Message> whole = Scan(bytes);
  ASSERT_EQ(ChatText(whole), "GL HF\r\nWELL PALYD.12\r\n\r\nOPEN");

  EXPECT_EQ(ScanInChunks(bytes, {1}), whole);
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(ScanInChunks(bytes, {cut == 0 ? bytes.size() : cut, bytes.size()}), whole);
  }
  std::mt19937 rng(3);
  for (int round = 0; round < 50; ++round) {
    std::vector<size_t> sizes;
    for (int i = 0; i < 8; ++i) sizes.push_back(1 + rng() % 40);
    EXPECT_EQ(ScanInChunks(bytes, sizes), whole);
  }
}

}  // namespace
}  // namespace murvik
