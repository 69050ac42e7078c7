#include "extract/extract.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "extract/scanner.h"

namespace murvik {
namespace {

constexpr size_t kChunkSize = 256 * 1024;

ChatResult Failure(std::string reason) { return ChatResult{Status::Error(std::move(reason)), {}}; }

ChatResult SystemFailure(const char* what, int err) {
  std::string reason = what;
  if (!reason.empty()) reason += ": ";
  return Failure(reason + std::strerror(err));
}

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

// Closes a descriptor when it goes out of scope.
class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { close(fd_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

// read() that retries on EINTR and waits on EAGAIN (a non-blocking stream).
ssize_t ReadSome(int fd, unsigned char* buf, size_t size) {
  for (;;) {
    const ssize_t n = read(fd, buf, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return -1;
  }
}

}  // namespace

ChatResult ExtractChat(const std::string& path) {
  if (path.empty()) return Failure("empty path");
  if (path.find('\0') != std::string::npos) return Failure("path contains a NUL byte");

  // Look at the type first so that a device is never opened; the opened file
  // is checked again below, as the path may have changed in between.
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return SystemFailure("", errno);
  if (const char* kind = NonRegularKind(st.st_mode)) return Failure(kind);

  // O_NONBLOCK: should a FIFO take the file's place, opening it cannot block.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return SystemFailure("", errno);
  FileCloser closer(fd);
  if (fstat(fd, &st) != 0) return SystemFailure("", errno);
  if (const char* kind = NonRegularKind(st.st_mode)) return Failure(kind);
  if (st.st_size == 0) return Failure("empty file");

  const uint64_t length = static_cast<uint64_t>(st.st_size);
  std::unique_ptr<unsigned char[]> buf(new unsigned char[kChunkSize]);
  ChatScanner scanner;
  while (scanner.bytes_fed() < length) {
    const uint64_t left = length - scanner.bytes_fed();
    const size_t want = left < kChunkSize ? static_cast<size_t>(left) : kChunkSize;
    const ssize_t n = ReadSome(fd, buf.get(), want);
    if (n < 0) return SystemFailure("read error", errno);
    if (n == 0) return Failure("file shrank while being read");
    scanner.Feed(buf.get(), static_cast<size_t>(n));
  }
  return ChatResult{Status::Ok(), scanner.TakeMessages()};
}

ChatResult ExtractChatFromStream(int fd) {
  std::unique_ptr<unsigned char[]> buf(new unsigned char[kChunkSize]);
  ChatScanner scanner;
  for (;;) {
    const ssize_t n = ReadSome(fd, buf.get(), kChunkSize);
    if (n < 0) return SystemFailure("read error", errno);
    if (n == 0) break;
    scanner.Feed(buf.get(), static_cast<size_t>(n));
  }
  if (scanner.bytes_fed() == 0) return Failure("empty input");
  return ChatResult{Status::Ok(), scanner.TakeMessages()};
}

}  // namespace murvik
