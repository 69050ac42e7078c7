// A growing array's memory from malloc and realloc, where address space
// cannot be held ahead (growing_array_linux.cpp has the Linux side): a
// WebAssembly memory is one heap that only grows.
#include <cstdlib>
#include <new>

#include "extract/growing_array.h"

namespace murvik::memory_internal {

void Grow(Region& r, size_t, size_t bytes) {
  if (bytes <= r.bytes) return;
  void* grown = std::realloc(r.data, bytes);
  if (grown == nullptr) throw std::bad_alloc();
  r.data = grown;
  r.bytes = bytes;
}

void Populate(void*, size_t) {}

void Free(Region& r) {
  std::free(r.data);
  r = Region();
}

}  // namespace murvik::memory_internal
