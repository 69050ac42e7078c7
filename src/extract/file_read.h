// How the core reads a replay's bytes. A file is opened only when it is a
// regular file (never blocking on a FIFO, never opening a device) and its
// length is fixed when opened: reads take exactly that many bytes and fail,
// rather than give part of a chat, should the file turn out shorter. Reads
// retry when interrupted, and a non-blocking stream is waited on. The
// descriptor is closed on every path out.
#ifndef MURVIK_EXTRACT_FILE_READ_H_
#define MURVIK_EXTRACT_FILE_READ_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/status.h"

namespace murvik {

// The reason of a read that found the file shorter than when it was opened.
inline constexpr char kShrank[] = "file shrank while being read";

// `what`, then the system's message for `err`.
Status SystemError(const char* what, int err);

// A regular file opened for reading, closed when this goes out of scope.
class ReplayFile {
 public:
  ReplayFile() = default;
  ~ReplayFile();
  ReplayFile(const ReplayFile&) = delete;
  ReplayFile& operator=(const ReplayFile&) = delete;

  // Opens the file at `path`, used exactly as given. Fails for an empty
  // path, a missing or unreadable file, anything but a regular file, and an
  // empty file.
  Status Open(const std::string& path);

  int fd() const { return fd_; }
  uint64_t length() const { return length_; }  // its size when opened

 private:
  int fd_ = -1;
  uint64_t length_ = 0;
};

// read() that retries on EINTR and waits on EAGAIN (a non-blocking stream);
// -1 with errno set on failure.
ssize_t ReadSome(int fd, unsigned char* buf, size_t size);

// Reads exactly `size` bytes at byte `offset` of a regular file; fails with
// kShrank should it end first.
Status ReadAt(int fd, unsigned char* buf, size_t size, uint64_t offset);

}  // namespace murvik

#endif  // MURVIK_EXTRACT_FILE_READ_H_
