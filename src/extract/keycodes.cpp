#include "extract/keycodes.h"

namespace murvik {

const KeyCode* KeyCodeForChar(char ch) {
  for (const KeyCode& k : kKeyCodes)
    if (k.action == KeyAction::kChar && k.ch == ch) return &k;
  return nullptr;
}

}  // namespace murvik
