#include "extract/scanner.h"

namespace murvik {

void ChatScanner::Feed(const unsigned char* data, size_t size) {
  if (size == 0) return;
  if (split_) {
    // The pair began at the last byte of the previous chunk.
    const unsigned char pair[2] = {split_first_, data[0]};
    ApplyKeys(pair, 2, fed_ - 1, builder_);
    split_ = false;
  }
  ApplyKeys(data, size, fed_, builder_);
  fed_ += size;
  // A pair that starts at this chunk's last byte is finished by the next.
  if (FirstPairAtOrAfter(fed_ - 1) == fed_ - 1) {
    split_first_ = data[size - 1];
    split_ = true;
  }
}

}  // namespace murvik
