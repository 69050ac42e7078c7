// The chat's characters where address space cannot be reserved ahead
// (WebAssembly, whose memory is one heap that only grows; Windows): on the
// heap, doubled as they grow, so that a chat grown a message at a time is
// copied a few times at most; a caller that knows the chat's size reserves
// it at once and copies nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "chat/chat_lines.h"

namespace murvik {

void ChatLines::Chars::Populate(const void*, uint64_t) {}

void ChatLines::Chars::Release() {
  std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
}

void ChatLines::Chars::Reserve(uint64_t size, uint64_t) {
  if (size <= capacity_) return;
  if (size > SIZE_MAX) throw std::bad_alloc();
  // Doubled; where that does not fit, the size asked for may still.
  uint64_t capacity = std::min<uint64_t>(SIZE_MAX, std::max<uint64_t>({size, capacity_ * 2, 4096}));
  char* grown = static_cast<char*>(std::realloc(data_, size_t(capacity)));
  if (grown == nullptr && capacity > size) {
    capacity = size;
    grown = static_cast<char*>(std::realloc(data_, size_t(capacity)));
  }
  if (grown == nullptr) throw std::bad_alloc();
  data_ = grown;
  capacity_ = capacity;
}

}  // namespace murvik
