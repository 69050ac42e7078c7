// A growing array's memory on Linux: an array of 64 KiB or more lives in a
// mapping of its own, grown by mremap, which moves page tables rather than
// bytes, and never handed back to the system by malloc's trimming only to be
// faulted in again (a first touch of a page costs far more than a write to
// it). A very large one asks for huge pages, so that a billion characters
// take a few hundred page faults, not a quarter of a million. Smaller arrays
// come from malloc and realloc.
#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "extract/growing_array.h"

namespace murvik::memory_internal {
namespace {

constexpr size_t kMapFrom = size_t{64} << 10;
// Huge pages only for very large arrays: a huge page is cleared whole when
// first touched, which costs more than it saves for an array of a few.
constexpr size_t kHugeFrom = size_t{4} << 20;

bool Mapped(size_t bytes) { return bytes >= kMapFrom; }
size_t MappedSize(size_t bytes) { return (bytes + kMapFrom - 1) / kMapFrom * kMapFrom; }
// Arrays up to this size have their pages made when they grow.
constexpr size_t kPopulateBelow = size_t{512} << 10;

// Readies an array of `bytes` at `p` whose first `old_bytes` were in use:
// a large one asks for huge pages (for the whole of it, so that it stays one
// mapping, which mremap needs); a small one has its new pages made now, in
// one call, rather than at a fault for each as they are first written,
// which costs about twice as much (the room it does not use yet is little).
// Hints both: no matter if refused.
void Ready(char* p, size_t old_bytes, size_t bytes) {
  if (bytes >= kHugeFrom) {
    madvise(p, bytes, MADV_HUGEPAGE);
  } else if (bytes < kPopulateBelow) {
#ifdef MADV_POPULATE_WRITE
    madvise(p + old_bytes, bytes - old_bytes, MADV_POPULATE_WRITE);
#endif
  }
}

void* Map(size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  Ready(static_cast<char*>(p), 0, bytes);
  return p;
}

void* Malloc(size_t bytes) {
  void* p = std::malloc(bytes);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* Allocate(size_t* bytes) {
  if (Mapped(*bytes)) return Map(*bytes = MappedSize(*bytes));
  return Malloc(*bytes);
}

void* Grow(void* p, size_t old_bytes, size_t used, size_t* bytes) {
  if (Mapped(*bytes)) {
    *bytes = MappedSize(*bytes);
    if (Mapped(old_bytes)) {
      void* q = mremap(p, old_bytes, *bytes, MREMAP_MAYMOVE);
      if (q == MAP_FAILED) throw std::bad_alloc();
      Ready(static_cast<char*>(q), old_bytes, *bytes);
      return q;
    }
    void* q = Map(*bytes);  // from malloc's memory, once: at most kMapFrom copied
    std::memcpy(q, p, used);
    std::free(p);
    return q;
  }
  void* q = std::realloc(p, *bytes);
  if (q == nullptr) throw std::bad_alloc();
  return q;
}

void Free(void* p, size_t bytes) {
  if (Mapped(bytes)) {
    munmap(p, bytes);
    return;
  }
  std::free(p);
}

}  // namespace murvik::memory_internal
