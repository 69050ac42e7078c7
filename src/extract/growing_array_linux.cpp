// A growing array's memory on Linux. Small arrays come from malloc and
// realloc. An array of 64 KiB or more lies in a mapping of its own, grown by
// mremap, which moves page tables rather than bytes: never copied, never
// twice its size, and no address space held beyond what it uses (a range
// held ahead for every array ran a process held to a few hundred megabytes
// of address space, `ulimit -v`, out of it).
//
// What each choice buys on the machines the benchmarks run on (1 GiB
// replays, in turn with cat; docs/performance.md, "One way to hold growing
// memory"): arrays and read buffers of their own pages rather than
// malloc's, 8-14% of murvik-chat's time on one core; a small step's pages
// made at once, the 5 MiB replay 0.95x cat rather than 1.14x. Huge pages
// were tried and left out: 5-15% quicker for one message of millions of
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
constexpr size_t kPopulateBelow = size_t{512} << 10;

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

}  // namespace

void Grow(Region& r, size_t used, size_t bytes) {
  if (bytes <= r.bytes) return;
  if (!r.mapped && bytes < kMapFrom) {
    void* grown = std::realloc(r.data, bytes);
    if (grown == nullptr) throw std::bad_alloc();
    r.data = grown;
    r.bytes = bytes;
    return;
  }
  const size_t mapped = RoundUp(bytes, kPage);
  if (mapped < bytes) throw std::bad_alloc();
  void* grown = r.mapped ? mremap(r.data, r.bytes, mapped, MREMAP_MAYMOVE)
                         : mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (grown == MAP_FAILED) throw std::bad_alloc();
  const size_t from = r.mapped ? r.bytes : 0;
  // A small step's pages are made now, in one call (see Populate); a large
  // step's as they are first written, as the array may never fill them.
  if (mapped - from < kPopulateBelow) Populate(static_cast<char*>(grown) + from, mapped - from);
  if (!r.mapped) {
    // Once, from malloc's memory: at most kMapFrom copied.
    if (r.bytes > 0) std::memcpy(grown, r.data, std::min(used, r.bytes));
    std::free(r.data);
  }
  r = Region{grown, mapped, true};
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
  if (r.mapped)
    munmap(r.data, r.bytes);
  else
    std::free(r.data);
  r = Region();
}

}  // namespace murvik::memory_internal
