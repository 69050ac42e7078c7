// The file-reading layer on POSIX systems: descriptors, stat, read, pread
// and poll.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "extract/file_read.h"

namespace murvik {
namespace {

// Says why a file of this type is not read, or nullptr for a regular file.
const char* NonRegularKind(mode_t mode) {
  if (S_ISREG(mode)) return nullptr;
  if (S_ISDIR(mode)) return "is a directory";
  if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  if (S_ISCHR(mode)) return "is a character device, not a regular file";
  if (S_ISBLK(mode)) return "is a block device, not a regular file";
  return "is not a regular file";
}

}  // namespace

ReplayFile::~ReplayFile() {
  if (fd_ >= 0) close(fd_);
}

Status ReplayFile::Open(const std::string& path) {
  if (Status s = CheckPath(path); !s.ok()) return s;

  // Look at the type first so that a device is never opened; the opened file
  // is checked again below, as the path may have changed in between.
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return SystemError("", errno);
  if (const char* kind = NonRegularKind(st.st_mode)) return Status::Error(kind);

  // O_NONBLOCK: should a FIFO take the file's place, opening it cannot block.
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return SystemError("", errno);
  if (fstat(fd_, &st) != 0) return SystemError("", errno);
  if (const char* kind = NonRegularKind(st.st_mode)) return Status::Error(kind);
  if (st.st_size == 0) return Status::Error("empty file");
  length_ = static_cast<uint64_t>(st.st_size);
  return Status::Ok();
}

Status ReadSome(int fd, unsigned char* buf, size_t size, size_t& got) {
  for (;;) {
    const ssize_t n = read(fd, buf, size);
    if (n >= 0) {
      got = static_cast<size_t>(n);
      return Status::Ok();
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return SystemError("read error", errno);
  }
}

Status ReadAt(int fd, unsigned char* buf, size_t size, uint64_t offset) {
  while (size > 0) {
    const ssize_t n = pread(fd, buf, size, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return SystemError("read error", errno);
    }
    if (n == 0) return Status::Error(kShrank);
    buf += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return Status::Ok();
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

unsigned UsableCores() {
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) return static_cast<unsigned>(CPU_COUNT(&cpus));
  return std::thread::hardware_concurrency();
}

}  // namespace murvik
