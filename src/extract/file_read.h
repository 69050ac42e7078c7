// How the core reads a replay's bytes, and the little else it asks of the
// system. A file is opened only when it is a regular file (never blocking on
// a FIFO, never opening a device) and its length is fixed when opened: reads
// take exactly that many bytes and fail, rather than give part of a chat,
// should the file turn out shorter. Reads are binary: every byte as it is in
// the file. The file is closed on every path out.
//
// Declared once here, this has one side per system: file_read_posix.cpp,
// file_read_windows.cpp and file_read_web.cpp (a browser has no files:
// opening and reading fail there), of which the build takes one. A file is known by a
// descriptor on both: on Windows the C runtime's, over the file's handle,
// read through the handle itself, so the runtime's text mode never sees it.
#ifndef MURVIK_EXTRACT_FILE_READ_H_
#define MURVIK_EXTRACT_FILE_READ_H_

#ifndef MURVIK_EXTRACT_INTERNAL
#error "extract/file_read.h is the core's own: outside it, include extract/extract.h"
#endif

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/status.h"
#include "extract/system.h"

namespace murvik {

// The reason of a read that found the file shorter than when it was opened.
inline constexpr char kShrank[] = "file shrank while being read";

// `what`, then the system's message for the errno value `err`.
Status SystemError(const char* what, int err);

// Fails for a path no file can have: empty, or holding a NUL byte.
Status CheckPath(const std::string& path);

// A regular file opened for reading, closed when this goes out of scope.
class ReplayFile {
 public:
  ReplayFile() = default;
  ~ReplayFile();
  ReplayFile(const ReplayFile&) = delete;
  ReplayFile& operator=(const ReplayFile&) = delete;

  // Opens the file at `path` (UTF-8 on Windows), used exactly as given.
  // Fails for an empty path, a missing or unreadable file, anything but a
  // regular file, and an empty file.
  Status Open(const std::string& path);

  int fd() const { return fd_; }
  uint64_t length() const { return length_; }  // its size when opened

 private:
  int fd_ = -1;
  uint64_t length_ = 0;
};

// Reads what is there of up to `size` bytes from where `fd` stands into
// `buf`, setting `got` (0 at end of input). Retries when interrupted, and
// waits on a non-blocking stream.
Status ReadSome(int fd, unsigned char* buf, size_t size, size_t& got);

// Reads exactly `size` bytes at byte `offset` of a regular file; fails with
// kShrank should it end first. Two threads may read one file at once.
Status ReadAt(int fd, unsigned char* buf, size_t size, uint64_t offset);

}  // namespace murvik

#endif  // MURVIK_EXTRACT_FILE_READ_H_
