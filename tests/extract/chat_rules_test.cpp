// The message rules and the short-file boundaries, as examples a person can
// read; the fuzz property checks the same rules over generated replays.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "extract/scanner.h"
#include "replay_writer.h"

namespace murvik {
namespace {

// The chat of the replay `bytes`, read in one go, as one text: each
// message's characters, CR LF after each sent one.
std::string TextOf(std::string_view bytes) {
  ChatScanner scanner;
  scanner.Feed(bytes);
  std::string text;
  for (const Message m : scanner.TakeMessages()) text += std::string(m.text) + (m.sent ? "\r\n" : "");
  return text;
}

TEST(ChatRules, BuildTheTextAsTheKeysSay) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"AB]H", ""},                    // keys outside a message do nothing
      {"[HI][OK]", "HI\r\nOK\r\n"},    // a line per message
      {"[H]I", "H\r\n"},               // nothing after an end
      {"][A]]", "A\r\n"},              // an end with nothing open adds no line
      {"[]", "\r\n"},                  // an empty message is an empty line
      {"[A[B]", "AB\r\n"},             // a second start runs the message on
      {"[H][OK", "H\r\nOK"},           // still open at the end: no line break
      {"[AB<]", "A\r\n"},              // erase removes the last character
      {"[A]<[B]", "A\r\nB\r\n"},       // erase outside a message does nothing
      {"[A<<", ""},                    // nor in an empty message...
      {"[HI][<", "HI\r\n"},            // ...reaching back into the line before
      {"[HI][O<<<K]", "HI\r\nK\r\n"},  // or past the message's start
      {"[GG, 1/2 - 3.5;0]", "GG, 1/2 - 3.5;0\r\n"},
  };
  for (const auto& [keys, text] : cases) EXPECT_EQ(TextOf(ReplayWriter().Keys(keys).Take()), text) << keys;
}

// Records: start, H, I, end, start, O, at positions 274, 286, ...; the file is
// cut after `length` bytes. A last pair missing its second byte is not read,
// though the byte after the cut lies in memory, and the text before it stays.
TEST(ChatRules, StopAtAnIncompleteLastPair) {
  const std::string full = ReplayWriter().Keys("[HI][O").Take();
  const std::pair<size_t, const char*> cases[] = {
      {1, ""},    {273, ""},   {274, ""},   {275, ""},       {286, ""},       {287, "H"},
      {298, "H"}, {299, "HI"}, {310, "HI"}, {311, "HI\r\n"}, {334, "HI\r\n"}, {335, "HI\r\nO"},
  };
  for (const auto& [length, text] : cases) EXPECT_EQ(TextOf(std::string_view(full).substr(0, length)), text) << length;
}

}  // namespace
}  // namespace murvik
