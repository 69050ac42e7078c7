#include "extract/scanner.h"

namespace murvik {

void ChatScanner::Feed(const unsigned char* data, size_t size) {
  if (size == 0) return;
  if (split_) {
    // The pair began at the last byte of the previous chunk.
    const uint64_t offset = fed_ - 1;
    if (const KeyCode* key = LookUpKeyCode(split_first_, data[0])) builder_.Apply(*key, offset);
    split_ = false;
  }
  ForEachKey(data, size, fed_, [this](uint64_t offset, uint8_t key) { builder_.Apply(kKeyCodes[key], offset); });
  fed_ += size;
  // A pair that starts at this chunk's last byte is finished by the next.
  if (FirstPairAtOrAfter(fed_ - 1) == fed_ - 1) {
    split_first_ = data[size - 1];
    split_ = true;
  }
}

}  // namespace murvik
