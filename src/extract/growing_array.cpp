// Where the system allows it (Linux), a large array lives in a mapping of its
// own, grown by mremap, which moves page tables rather than bytes; and it
// asks for huge pages, so that a billion characters written take a few
// hundred page faults, not a quarter of a million. Elsewhere, and for small
// arrays, malloc and realloc serve.
#include "extract/growing_array.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace murvik::memory_internal {
namespace {

#if defined(__linux__)
constexpr size_t kMapFrom = size_t{1} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

bool Mapped(size_t bytes) { return bytes >= kMapFrom; }
size_t MappedSize(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

void* Map(size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  madvise(p, bytes, MADV_HUGEPAGE);  // a hint: no matter if refused
  return p;
}
#else
bool Mapped(size_t) { return false; }
#endif

void* Malloc(size_t bytes) {
  void* p = std::malloc(bytes);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* Allocate(size_t* bytes) {
#if defined(__linux__)
  if (Mapped(*bytes)) return Map(*bytes = MappedSize(*bytes));
#endif
  return Malloc(*bytes);
}

void* Grow(void* p, size_t old_bytes, size_t used, size_t* bytes) {
#if defined(__linux__)
  if (Mapped(*bytes)) {
    *bytes = MappedSize(*bytes);
    if (Mapped(old_bytes)) {
      void* q = mremap(p, old_bytes, *bytes, MREMAP_MAYMOVE);
      if (q == MAP_FAILED) throw std::bad_alloc();
      madvise(q, *bytes, MADV_HUGEPAGE);
      return q;
    }
    void* q = Map(*bytes);  // from malloc's memory, once: at most kMapFrom copied
    std::memcpy(q, p, used);
    std::free(p);
    return q;
  }
#endif
  (void)old_bytes, (void)used;
  void* q = std::realloc(p, *bytes);
  if (q == nullptr) throw std::bad_alloc();
  return q;
}

void Free(void* p, size_t bytes) {
#if defined(__linux__)
  if (Mapped(bytes)) {
    munmap(p, bytes);
    return;
  }
#endif
  (void)bytes;
  std::free(p);
}

}  // namespace murvik::memory_internal
