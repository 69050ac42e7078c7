// Reading a large regular file with two threads. The file is cut into
// stretches, which both threads scan, each turning a stretch's key codes into
// a ChatPiece: what they do, whatever came before. The pieces are joined
// here in file order, cheaply, while the threads scan on. The result is
// exactly what applying every key in file order gives, sent messages are
// handed over and progress reported after each stretch joined, in file
// order, and memory stays bounded: two read buffers and the pieces of a few
// stretches.
#ifndef MURVIK_EXTRACT_TWO_THREADS_H_
#define MURVIK_EXTRACT_TWO_THREADS_H_

#ifndef MURVIK_EXTRACT_INTERNAL
#error "extract/two_threads.h is the core's own: outside it, include extract/extract.h"
#endif

#include <cstdint>
#include <optional>
#include <vector>

#include "extract/extract.h"

namespace murvik {

// Reads all `length` bytes of the regular file `fd` with two threads.
// Returns nothing, having read nothing, when the file makes fewer than two
// stretches or no second thread can be had.
std::optional<ChatResult> ExtractInTwoThreads(int fd, uint64_t length, const ExtractOptions& options);

// Reports to the caller, if it asked, how far the extraction got, on either
// path; false when the caller asks to stop.
inline bool ReportProgress(const ExtractOptions& options, uint64_t bytes_done) {
  return !options.on_progress || options.on_progress(bytes_done);
}

}  // namespace murvik

#endif  // MURVIK_EXTRACT_TWO_THREADS_H_
