#include "extract/keycodes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "extract/chat.h"
#include "extract/scanner.h"
#include "replay_bytes.h"

namespace murvik {
namespace {

using testing::ReplayOf;

// Each code's character, written out independently of the table in the code.
struct CharCode {
  const char* code;
  char ch;
};
constexpr CharCode kCharCodes[] = {
    {"E021", 'A'}, {"0023", 'B'}, {"E022", 'C'}, {"0022", 'D'}, {"2021", 'E'}, {"1022", 'F'}, {"2022", 'G'},
    {"3022", 'H'}, {"7021", 'I'}, {"4022", 'J'}, {"5022", 'K'}, {"6022", 'L'}, {"2023", 'M'}, {"1023", 'N'},
    {"8021", 'O'}, {"9021", 'P'}, {"0021", 'Q'}, {"3021", 'R'}, {"F021", 'S'}, {"4021", 'T'}, {"6021", 'U'},
    {"F022", 'V'}, {"1021", 'W'}, {"D022", 'X'}, {"5021", 'Y'}, {"C022", 'Z'}, {"9023", ' '}, {"2020", '1'},
    {"3020", '2'}, {"4020", '3'}, {"5020", '4'}, {"6020", '5'}, {"7020", '6'}, {"8020", '7'}, {"9020", '8'},
    {"A020", '9'}, {"B020", '0'}, {"5023", '/'}, {"4003", '.'}, {"C020", '-'}, {"7022", ';'}, {"3023", ','},
};

std::string TextOf(const std::string& replay) {
  ChatScanner scanner;
  scanner.Feed(replay);
  return ChatText(scanner.messages());
}

TEST(KeyCodes, EveryCharacterCodeTypesItsCharacterInsideAMessage) {
  for (const CharCode& c : kCharCodes) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(TextOf(ReplayOf({"4024", c.code, "C021"})), std::string(1, c.ch) + "\r\n");
  }
}

TEST(KeyCodes, TableHoldsExactlyTheFortyFiveCodes) {
  EXPECT_EQ(kKeyCodes.size(), 45u);
  std::set<std::pair<int, int>> pairs;
  for (const KeyCode& k : kKeyCodes) pairs.insert({k.first, k.second});
  EXPECT_EQ(pairs.size(), 45u) << "a code is listed twice";
}

TEST(KeyCodes, LookUpFindsOnlyTableCodesAmongAllPairs) {
  int found = 0;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const KeyCode* k = LookUpKeyCode(static_cast<uint8_t>(a), static_cast<uint8_t>(b));
      if (k == nullptr) continue;
      ++found;
      EXPECT_EQ(k->first, a);
      EXPECT_EQ(k->second, b);
    }
  }
  EXPECT_EQ(found, 45);
}

TEST(KeyCodes, CodesThatLookAlikeDoNothing) {
  // "4023" is not the full stop; neighbours of real codes and byte-swapped
  // codes are not codes either.
  for (const char* code :
       {"4023", "2440", "21E0", "4124", "E121", "4025", "C023", "E023", "0000", "FFFF", "4013", "4004"}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(TextOf(ReplayOf({"4024", "E021", code, "C021"})), "A\r\n");
  }
}

}  // namespace
}  // namespace murvik
