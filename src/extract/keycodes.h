// The key codes a replay records and what each one does to the chat.
#ifndef MURVIK_EXTRACT_KEYCODES_H_
#define MURVIK_EXTRACT_KEYCODES_H_

#include <array>
#include <cstdint>

namespace murvik {

// What a recorded key does to the chat.
enum class KeyAction : uint8_t {
  kNone,   // not a chat key: ignored
  kStart,  // F10: opens a message
  kEnd,    // Enter: sends the open message
  kErase,  // Backspace: removes the open message's last character
  kChar,   // types `ch` into the open message
};

struct KeyCode {
  uint8_t first;   // byte at the scan position
  uint8_t second;  // byte after it
  KeyAction action;
  char ch;  // the character typed, for kChar; 0 otherwise
};

// The 45 codes that mean something; any other pair does nothing. Read as a
// little-endian word, a code holds the key's set-1 scan code in bits 4-11
// with bit 13 set; the full stop is the one exception (0x40 0x03).
// Two codes a line, as in a table.
// clang-format off
inline constexpr std::array<KeyCode, 45> kKeyCodes = {{
    {0x40, 0x24, KeyAction::kStart, 0}, {0xC0, 0x21, KeyAction::kEnd, 0},
    {0xE0, 0x20, KeyAction::kErase, 0},
    {0xE0, 0x21, KeyAction::kChar, 'A'}, {0x00, 0x23, KeyAction::kChar, 'B'},
    {0xE0, 0x22, KeyAction::kChar, 'C'}, {0x00, 0x22, KeyAction::kChar, 'D'},
    {0x20, 0x21, KeyAction::kChar, 'E'}, {0x10, 0x22, KeyAction::kChar, 'F'},
    {0x20, 0x22, KeyAction::kChar, 'G'}, {0x30, 0x22, KeyAction::kChar, 'H'},
    {0x70, 0x21, KeyAction::kChar, 'I'}, {0x40, 0x22, KeyAction::kChar, 'J'},
    {0x50, 0x22, KeyAction::kChar, 'K'}, {0x60, 0x22, KeyAction::kChar, 'L'},
    {0x20, 0x23, KeyAction::kChar, 'M'}, {0x10, 0x23, KeyAction::kChar, 'N'},
    {0x80, 0x21, KeyAction::kChar, 'O'}, {0x90, 0x21, KeyAction::kChar, 'P'},
    {0x00, 0x21, KeyAction::kChar, 'Q'}, {0x30, 0x21, KeyAction::kChar, 'R'},
    {0xF0, 0x21, KeyAction::kChar, 'S'}, {0x40, 0x21, KeyAction::kChar, 'T'},
    {0x60, 0x21, KeyAction::kChar, 'U'}, {0xF0, 0x22, KeyAction::kChar, 'V'},
    {0x10, 0x21, KeyAction::kChar, 'W'}, {0xD0, 0x22, KeyAction::kChar, 'X'},
    {0x50, 0x21, KeyAction::kChar, 'Y'}, {0xC0, 0x22, KeyAction::kChar, 'Z'},
    {0x90, 0x23, KeyAction::kChar, ' '},
    {0x20, 0x20, KeyAction::kChar, '1'}, {0x30, 0x20, KeyAction::kChar, '2'},
    {0x40, 0x20, KeyAction::kChar, '3'}, {0x50, 0x20, KeyAction::kChar, '4'},
    {0x60, 0x20, KeyAction::kChar, '5'}, {0x70, 0x20, KeyAction::kChar, '6'},
    {0x80, 0x20, KeyAction::kChar, '7'}, {0x90, 0x20, KeyAction::kChar, '8'},
    {0xA0, 0x20, KeyAction::kChar, '9'}, {0xB0, 0x20, KeyAction::kChar, '0'},
    {0x50, 0x23, KeyAction::kChar, '/'}, {0x40, 0x03, KeyAction::kChar, '.'},
    {0xC0, 0x20, KeyAction::kChar, '-'}, {0x70, 0x22, KeyAction::kChar, ';'},
    {0x30, 0x23, KeyAction::kChar, ','},
}};
// clang-format on

// Index in kKeyCodes of the pair (first, second), or kNoKey when the pair is
// not a chat key. Inline and cheap, as it runs at every scan position.
inline constexpr uint8_t kNoKey = 0xFF;
inline uint8_t KeyIndex(uint8_t first, uint8_t second);

// Returns the entry for the pair (first, second), or nullptr when the pair is
// not a chat key.
inline const KeyCode* LookUpKeyCode(uint8_t first, uint8_t second) {
  const uint8_t i = KeyIndex(first, second);
  return i == kNoKey ? nullptr : &kKeyCodes[i];
}

// Returns the pair that types `ch`, or nullptr when no key types it.
const KeyCode* KeyCodeForChar(char ch);

namespace keycodes_internal {

// Every code's second byte is one of six values, so a pair is looked up in
// two steps: the second byte picks a row (kNoRow for any other value), and
// the first byte a column of that row. Rows 6 and 7 hold no code, so that
// the row can be masked with 7 and used without a branch.
inline constexpr uint8_t kNoRow = 0xFF;
inline constexpr std::array<uint8_t, 6> kSecondBytes = {0x03, 0x20, 0x21, 0x22, 0x23, 0x24};

struct Grid {
  std::array<uint8_t, 256> row_of_second{};
  std::array<uint16_t, 256> cell_base{};  // (row & 7) * 256, row 7 for none
  std::array<std::array<uint8_t, 256>, 8> key{};
};

constexpr Grid BuildGrid() {
  Grid g;
  for (auto& r : g.row_of_second) r = kNoRow;
  for (auto& row : g.key)
    for (auto& k : row) k = kNoKey;
  for (uint8_t r = 0; r < kSecondBytes.size(); ++r) g.row_of_second[kSecondBytes[r]] = r;
  for (int b = 0; b < 256; ++b) g.cell_base[b] = static_cast<uint16_t>((g.row_of_second[b] & 7) << 8);
  for (uint8_t i = 0; i < kKeyCodes.size(); ++i) {
    const KeyCode& k = kKeyCodes[i];
    g.key[g.row_of_second[k.second]][k.first] = i;
  }
  return g;
}

inline constexpr Grid kGrid = BuildGrid();

constexpr bool TableFitsGrid() {
  for (const KeyCode& k : kKeyCodes)
    if (kGrid.row_of_second[k.second] == kNoRow) return false;
  return true;
}
static_assert(TableFitsGrid(), "every key code must fit the lookup grid");
static_assert(kSecondBytes.size() < 7, "row 7 means no row (see CellBase)");
static_assert(kKeyCodes.size() < kNoKey, "a key index must not be kNoKey");

}  // namespace keycodes_internal

// The pair's cell in the lookup grid: its row times 256 plus its first byte.
// Any table of 8 x 256 entries made from kGrid can be indexed by it. The
// row part alone (CellBase of the second byte) is kNoCellBase for every
// second byte no code has; as row 7 is the only one with all three bits set,
// the and of several is kNoCellBase only when each is, which rules out
// several pairs at one look.
inline constexpr uint32_t kNoCellBase = 7 << 8;
inline uint32_t CellBase(uint8_t second) { return keycodes_internal::kGrid.cell_base[second]; }
inline uint32_t PairCell(uint8_t first, uint8_t second) { return CellBase(second) | first; }

inline uint8_t KeyIndex(uint8_t first, uint8_t second) {
  const uint32_t cell = PairCell(first, second);
  return keycodes_internal::kGrid.key[cell >> 8][cell & 0xFF];
}

}  // namespace murvik

#endif  // MURVIK_EXTRACT_KEYCODES_H_
