#include "extract/keycodes.h"

namespace murvik {
namespace {

// Every code's first byte has a zero low nibble and its second byte is one of
// six values, so a pair is looked up in a 6 x 16 grid: the second byte picks
// the row, the first byte's high nibble the column.
constexpr uint8_t kNoRow = 0xFF;
constexpr uint8_t kNoKey = 0xFF;
constexpr std::array<uint8_t, 6> kSecondBytes = {0x03, 0x20, 0x21, 0x22, 0x23, 0x24};

struct Grid {
  std::array<uint8_t, 256> row_of_second{};
  std::array<std::array<uint8_t, 16>, kSecondBytes.size()> key{};
};

constexpr Grid BuildGrid() {
  Grid g;
  for (auto& r : g.row_of_second) r = kNoRow;
  for (auto& row : g.key)
    for (auto& k : row) k = kNoKey;
  for (uint8_t r = 0; r < kSecondBytes.size(); ++r) g.row_of_second[kSecondBytes[r]] = r;
  for (uint8_t i = 0; i < kKeyCodes.size(); ++i) {
    const KeyCode& k = kKeyCodes[i];
    g.key[g.row_of_second[k.second]][k.first >> 4] = i;
  }
  return g;
}

constexpr Grid kGrid = BuildGrid();

constexpr bool TableFitsGrid() {
  for (const KeyCode& k : kKeyCodes)
    if ((k.first & 0x0F) != 0 || kGrid.row_of_second[k.second] == kNoRow) return false;
  return true;
}
static_assert(TableFitsGrid(), "every key code must fit the lookup grid");

}  // namespace

const KeyCode* LookUpKeyCode(uint8_t first, uint8_t second) {
  const uint8_t row = kGrid.row_of_second[second];
  if (row == kNoRow || (first & 0x0F) != 0) return nullptr;
  const uint8_t i = kGrid.key[row][first >> 4];
  return i == kNoKey ? nullptr : &kKeyCodes[i];
}

const KeyCode* KeyCodeForChar(char ch) {
  for (const KeyCode& k : kKeyCodes)
    if (k.action == KeyAction::kChar && k.ch == ch) return &k;
  return nullptr;
}

}  // namespace murvik
