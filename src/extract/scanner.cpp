#include "extract/scanner.h"

#include "extract/keycodes.h"

namespace murvik {

void ChatScanner::Feed(const unsigned char* data, size_t size) {
  if (size == 0) return;
  const uint64_t end = fed_ + size;
  if (split_) {
    if (const KeyCode* key = LookUpKeyCode(split_first_, data[0])) builder_.Apply(*key, next_);
    split_ = false;
    next_ += kRecordStride;
  }
  while (next_ + 1 < end) {
    const size_t i = static_cast<size_t>(next_ - fed_);
    if (const KeyCode* key = LookUpKeyCode(data[i], data[i + 1])) builder_.Apply(*key, next_);
    next_ += kRecordStride;
  }
  if (next_ + 1 == end) {
    split_first_ = data[next_ - fed_];
    split_ = true;
  }
  fed_ = end;
}

}  // namespace murvik
