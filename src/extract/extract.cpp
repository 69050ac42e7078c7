#include "extract/extract.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "extract/scanner.h"

namespace murvik {
namespace {

ChatResult Failure(Status status) { return ChatResult{std::move(status), {}}; }
ChatResult Failure(std::string reason) { return Failure(Status::Error(std::move(reason))); }

Status SystemError(const char* what, int err) {
  std::string reason = what;
  if (!reason.empty()) reason += ": ";
  return Status::Error(reason + std::strerror(err));
}

const char kShrank[] = "file shrank while being read";

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

// Reads exactly `size` bytes at byte `offset` of a regular file.
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

// Hands the messages sent so far to the caller, if it asked for them.
void HandOverSent(ChatBuilder& builder, const ExtractOptions& options) {
  if (!options.on_sent) return;
  std::vector<Message> sent = builder.TakeFinished();
  if (!sent.empty()) options.on_sent(sent);
}

// Reads `fd` from where it stands through one reused buffer into a scanner,
// until `length` bytes were read or, with no length, until end of input.
ChatResult ScanInOneThread(int fd, const uint64_t* length, const ExtractOptions& options) {
  const size_t chunk = std::max<size_t>(options.chunk_size, 1);
  std::unique_ptr<unsigned char[]> buf(new unsigned char[chunk]);
  ChatScanner scanner;
  for (;;) {
    size_t want = chunk;
    if (length != nullptr) {
      const uint64_t left = *length - scanner.bytes_fed();
      if (left == 0) break;
      want = static_cast<size_t>(std::min<uint64_t>(left, chunk));
    }
    const ssize_t n = ReadSome(fd, buf.get(), want);
    if (n < 0) return Failure(SystemError("read error", errno));
    if (n == 0) {
      if (length != nullptr) return Failure(kShrank);
      break;
    }
    scanner.Feed(buf.get(), static_cast<size_t>(n));
    HandOverSent(scanner.builder(), options);
  }
  if (scanner.bytes_fed() == 0) return Failure("empty input");
  return ChatResult{Status::Ok(), scanner.TakeMessages()};
}

// Scans bytes [begin, end) of a file of `length` bytes into `hits`, reading
// `chunk` bytes at a time into `buf`, which holds chunk + 1: each read takes
// one byte past its chunk, when the file has it, so that a pair starting at
// the chunk's last byte is read whole.
Status ScanStretch(int fd, uint64_t begin, uint64_t end, uint64_t length, size_t chunk,
                   unsigned char* buf, KeyHits& hits) {
  hits.Reset(begin, end);
  for (uint64_t at = begin; at < end;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk, end - at));
    const size_t size = n + (at + n < length ? 1 : 0);
    if (Status s = ReadAt(fd, buf, size, at); !s.ok()) return s;
    ForEachKey(buf, size, at, [&hits](uint64_t offset, uint8_t key) { hits.Add(offset, key); });
    at += n;
  }
  return Status::Ok();
}

// A second thread that scans the stretches handed to it, one at a time.
class StretchWorker {
 public:
  StretchWorker(int fd, uint64_t length, size_t chunk)
      : fd_(fd), length_(length), chunk_(chunk), buf_(new unsigned char[chunk + 1]) {}

  // Waits for the stretch in hand, if any, and ends the thread.
  ~StretchWorker() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  // Starts the thread; false if the system would not give one.
  bool Launch() {
    try {
      thread_ = std::thread([this] { Run(); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  // Hands over bytes [begin, end) to be scanned into `hits`, which the worker
  // owns until Wait returns. Only when no stretch is in hand.
  void Start(uint64_t begin, uint64_t end, KeyHits* hits) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      begin_ = begin;
      end_ = end;
      hits_ = hits;
      busy_ = true;
    }
    wake_.notify_all();
  }

  // Waits until the stretch in hand is scanned; returns how its reading went.
  Status Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    return status_;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return busy_ || quit_; });
      if (busy_) {
        lock.unlock();
        Status s = ScanStretch(fd_, begin_, end_, length_, chunk_, buf_.get(), *hits_);
        lock.lock();
        status_ = std::move(s);
        busy_ = false;
        done_.notify_all();
      } else {
        return;
      }
    }
  }

  const int fd_;
  const uint64_t length_;
  const size_t chunk_;
  std::unique_ptr<unsigned char[]> buf_;

  std::mutex mutex_;
  std::condition_variable wake_;  // a stretch was handed over, or quit_
  std::condition_variable done_;  // the stretch in hand is scanned
  bool busy_ = false;             // a stretch is in hand
  bool quit_ = false;
  uint64_t begin_ = 0, end_ = 0;
  KeyHits* hits_ = nullptr;
  Status status_;
  std::thread thread_;  // last: starts once everything above exists
};

// Reads a regular file of `length` bytes with two threads. The file is cut
// into stretches; this thread scans the even ones and the worker the odd
// ones, each with its own buffer, recording where the table codes are. The
// message rules then run over those codes here, stretch by stretch in file
// order, while the worker already scans its next stretch. Memory stays
// bounded: two buffers and three lists of codes, each for one stretch.
ChatResult ScanInTwoThreads(int fd, uint64_t length, const ExtractOptions& options) {
  const size_t chunk = std::max<size_t>(options.chunk_size, 1);
  // Stretches no longer than half the file, so that both threads get work.
  const uint64_t stretch = std::clamp<uint64_t>(std::min(options.stretch_size, (length + 1) / 2), 1,
                                                KeyHits::kMaxRecords * kRecordStride);
  const uint64_t count = (length + stretch - 1) / stretch;
  const auto begin_of = [stretch](uint64_t i) { return i * stretch; };
  const auto end_of = [stretch, length](uint64_t i) { return std::min(length, (i + 1) * stretch); };

  // Declared before the worker, so that they outlive its thread.
  KeyHits mine, theirs[2];
  StretchWorker worker(fd, length, chunk);
  if (count < 2 || !worker.Launch()) return ScanInOneThread(fd, &length, options);

  std::unique_ptr<unsigned char[]> buf(new unsigned char[chunk + 1]);
  ChatBuilder builder;
  worker.Start(begin_of(1), end_of(1), &theirs[0]);
  for (uint64_t i = 0; i < count; i += 2) {
    // Whatever happens, the worker's destructor waits for its stretch before
    // the file is closed.
    if (Status s = ScanStretch(fd, begin_of(i), end_of(i), length, chunk, buf.get(), mine); !s.ok())
      return Failure(std::move(s));
    mine.ApplyTo(builder);
    if (i + 1 < count) {
      if (Status s = worker.Wait(); !s.ok()) return Failure(std::move(s));
      KeyHits& scanned = theirs[(i / 2) % 2];
      if (i + 3 < count) worker.Start(begin_of(i + 3), end_of(i + 3), &theirs[(i / 2 + 1) % 2]);
      scanned.ApplyTo(builder);
    }
    HandOverSent(builder, options);
  }
  return ChatResult{Status::Ok(), builder.TakeMessages()};
}

}  // namespace

ChatResult ExtractChat(const std::string& path, const ExtractOptions& options) {
  if (path.empty()) return Failure("empty path");
  if (path.find('\0') != std::string::npos) return Failure("path contains a NUL byte");

  // Look at the type first so that a device is never opened; the opened file
  // is checked again below, as the path may have changed in between.
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return Failure(SystemError("", errno));
  if (const char* kind = NonRegularKind(st.st_mode)) return Failure(kind);

  // O_NONBLOCK: should a FIFO take the file's place, opening it cannot block.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Failure(SystemError("", errno));
  FileCloser closer(fd);
  if (fstat(fd, &st) != 0) return Failure(SystemError("", errno));
  if (const char* kind = NonRegularKind(st.st_mode)) return Failure(kind);
  if (st.st_size == 0) return Failure("empty file");

  const uint64_t length = static_cast<uint64_t>(st.st_size);
  if (length >= options.parallel_from && std::thread::hardware_concurrency() != 1)
    return ScanInTwoThreads(fd, length, options);
  return ScanInOneThread(fd, &length, options);
}

ChatResult ExtractChatFromStream(int fd, const ExtractOptions& options) {
  return ScanInOneThread(fd, nullptr, options);
}

}  // namespace murvik
