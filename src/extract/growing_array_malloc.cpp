// A growing array's memory from malloc and realloc, where the system has no
// remapping (growing_array_linux.cpp has the Linux side).
#include <cstdlib>
#include <new>

#include "extract/growing_array.h"

namespace murvik::memory_internal {

void* Allocate(size_t* bytes) {
  void* p = std::malloc(*bytes);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void* Grow(void* p, size_t, size_t, size_t* bytes) {
  void* q = std::realloc(p, *bytes);
  if (q == nullptr) throw std::bad_alloc();
  return q;
}

void Free(void* p, size_t) { std::free(p); }

}  // namespace murvik::memory_internal
