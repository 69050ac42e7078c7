// The chat's characters on a POSIX system: on the heap up to a few
// megabytes, then in a large range of address space reserved at once and
// made usable a step at a time, which the system backs with memory only as
// it is written.
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "chat/chat_lines.h"

namespace murvik {

namespace {

constexpr uint64_t kHeapMost = 8 << 20;      // characters kept on the heap
constexpr uint64_t kReserved = 64ull << 30;  // address space reserved past that
constexpr uint64_t kStep = 8 << 20;          // made usable at a time

}  // namespace

// On the virtual machine the benchmarks run on, a fault costs about 16 us,
// the time it takes to write some fifty pages, so the pages are given their
// memory in one call. (Without the call, as before.)
void ChatLines::Chars::Populate(const void* begin, uint64_t bytes) {
#ifdef MADV_POPULATE_WRITE
  constexpr uintptr_t kPage = 4096;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(begin) + kPage - 1) / kPage * kPage;
  const uintptr_t to = (reinterpret_cast<uintptr_t>(begin) + bytes) / kPage * kPage;
  if (to > from) (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)begin, (void)bytes;
#endif
}

void ChatLines::Chars::Release() {
  if (reserved_ != 0)
    munmap(data_, reserved_);
  else
    std::free(data_);
  data_ = nullptr;
  capacity_ = reserved_ = 0;
}

void ChatLines::Chars::Reserve(uint64_t size, uint64_t held) {
  if (size <= capacity_) return;
  if (reserved_ == 0 && size <= kHeapMost) {
    const uint64_t capacity = std::min(kHeapMost, std::max<uint64_t>({size, capacity_ * 2, 4096}));
    char* grown = static_cast<char*>(std::realloc(data_, capacity));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = grown;
    capacity_ = capacity;
    return;
  }
  if (size > reserved_) {
    // A new range, once from the heap and in the rare chat too large for
    // the range (copied then); where address space is limited, a smaller one.
    uint64_t reserve = std::max(kReserved, size * 2);
    void* range = mmap(nullptr, reserve, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    while (range == MAP_FAILED && reserve / 2 >= size) {
      reserve /= 2;
      range = mmap(nullptr, reserve, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    }
    if (range == MAP_FAILED) throw std::bad_alloc();
    Chars grown;
    grown.data_ = static_cast<char*>(range);
    grown.reserved_ = reserve;
    grown.Reserve(size, 0);
    if (held > 0) std::memcpy(grown.data_, data_, held);
    *this = std::move(grown);
    return;
  }
  const uint64_t capacity = std::min(reserved_, (std::max(size, capacity_ + kStep) + kStep - 1) / kStep * kStep);
  if (mprotect(data_ + capacity_, capacity - capacity_, PROT_READ | PROT_WRITE) != 0) throw std::bad_alloc();
  Populate(data_ + capacity_, capacity - capacity_);
  capacity_ = capacity;
}

}  // namespace murvik
