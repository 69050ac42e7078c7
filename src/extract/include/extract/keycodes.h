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

}  // namespace murvik

#endif  // MURVIK_EXTRACT_KEYCODES_H_
