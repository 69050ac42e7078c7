#include "extract/keycodes.h"

namespace murvik {

const KeyCode* LookUpKeyCode(uint8_t first, uint8_t second) {
  for (const KeyCode& k : kKeyCodes)
    if (k.first == first && k.second == second) return &k;
  return nullptr;
}

const KeyCode* KeyCodeForChar(char ch) {
  for (const KeyCode& k : kKeyCodes)
    if (k.action == KeyAction::kChar && k.ch == ch) return &k;
  return nullptr;
}

}  // namespace murvik
