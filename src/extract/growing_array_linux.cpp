// A growing array's memory on Linux. Small arrays come from malloc and
// realloc. An array of 64 KiB or more lies in a range of address space held
// for it at once and made usable a step at a time, so that it grows in place:
// never copied, never twice its size, never moved. Only an array that
// outgrows its range (64 GiB, or what a process held to less address space
// gets) is copied into a larger one.
//
// What each choice buys on the machines the benchmarks run on (1 GiB
// replays, least of 7 in turn with cat; docs/performance.md, "One way to
// hold growing memory"): arrays and read buffers of their own pages rather
// than malloc's, 10-13% of murvik-chat's time on one core; a range held
// rather than a mapping moved by mremap, the window's chat shown 15% sooner
// (pages the system moves fault again when next read). Huge pages were
// tried and left out: 5-15% quicker for one message of millions of
// characters, but the window showed a chat of 33 million characters 40%
// later (a huge page's fault clears 2 MiB on the thread that reads).
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "extract/growing_array.h"

namespace murvik::memory_internal {
namespace {

constexpr size_t kMapFrom = size_t{64} << 10;
constexpr size_t kPage = size_t{4} << 10;
// The address space held for an array: far more than any chat, and little
// beside the 128 TiB a process has.
constexpr size_t kRange = size_t{64} << 30;
constexpr size_t kPopulateBelow = size_t{512} << 10;

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

// Inaccessible address space of `*bytes`, or of less down to `least` where
// the system gives less (set into `*bytes`); nullptr if not even that.
char* HoldRange(size_t* bytes, size_t least) {
  for (size_t want = *bytes; want >= least; want /= 2) {
    void* p = mmap(nullptr, want, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) continue;
    *bytes = want;
    return static_cast<char*>(p);
  }
  return nullptr;
}

}  // namespace

void Grow(Region& r, size_t used, size_t bytes) {
  if (bytes <= r.bytes) return;
  if (r.reserved == 0 && bytes < kMapFrom) {
    void* grown = std::realloc(r.data, bytes);
    if (grown == nullptr) throw std::bad_alloc();
    r.data = grown;
    r.bytes = bytes;
    return;
  }
  const size_t usable = RoundUp(bytes, kPage);
  if (usable < bytes) throw std::bad_alloc();
  Region grown = r;
  if (usable > r.reserved) {
    // A range of its own: once, leaving malloc's memory (at most kMapFrom
    // copied), and again only should the array outgrow it.
    grown.reserved = std::max(kRange, usable * 2);
    grown.data = HoldRange(&grown.reserved, usable);
    if (grown.data == nullptr) throw std::bad_alloc();
    grown.bytes = 0;
  }
  char* const data = static_cast<char*>(grown.data);
  if (mprotect(data + grown.bytes, usable - grown.bytes, PROT_READ | PROT_WRITE) != 0) {
    if (grown.data != r.data) munmap(grown.data, grown.reserved);
    throw std::bad_alloc();
  }
  // A small step's pages are made now, in one call (see Populate); a large
  // step's as they are first written, as the array may never fill them.
  if (usable - grown.bytes < kPopulateBelow) Populate(data + grown.bytes, usable - grown.bytes);
  grown.bytes = usable;
  if (grown.data != r.data) {
    if (r.bytes > 0) std::memcpy(data, r.data, std::min(used, r.bytes));
    Free(r);
  }
  r = grown;
}

// On the virtual machines the benchmarks run on a page fault costs about as
// much as writing a few dozen pages.
void Populate(void* p, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const uintptr_t from = RoundUp(reinterpret_cast<uintptr_t>(p), kPage);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + bytes) / kPage * kPage;
  if (to > from)
    madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);  // a hint: no matter if refused
#else
  (void)p, (void)bytes;
#endif
}

void Free(Region& r) {
  if (r.reserved != 0)
    munmap(r.data, r.reserved);
  else
    std::free(r.data);
  r = Region();
}

}  // namespace murvik::memory_internal
