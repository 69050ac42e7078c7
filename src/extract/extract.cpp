#include "extract/extract.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
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

// Tells the caller how far the extraction got; false when it asks to stop.
bool GoOn(const ExtractOptions& options, uint64_t bytes_done) {
  return !options.on_progress || options.on_progress(bytes_done);
}

// Reads `fd` from where it stands through one reused buffer into a scanner,
// until `length` bytes were read or, with no length, until end of input.
ChatResult ScanInOneThread(int fd, const uint64_t* length, const ExtractOptions& options) {
  const size_t chunk = std::max<size_t>(options.chunk_size, 1);
  std::optional<ReadBuffer> own;
  ReadBuffer* lent = options.buffer;
  ReadBuffer& buf = lent != nullptr && lent->size() >= chunk ? *lent : own.emplace(chunk);
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
    if (!GoOn(options, scanner.bytes_fed())) return Failure(kCancelled);
  }
  if (scanner.bytes_fed() == 0) return Failure("empty input");
  return ChatResult{Status::Ok(), scanner.TakeMessages()};
}

// Scans bytes [begin, end) of a file of `length` bytes into `hits`, reading
// `chunk` bytes at a time into `buf`, which holds chunk + 1: each read takes
// one byte past its chunk, when the file has it, so that a pair starting at
// the chunk's last byte is read whole.
Status ScanStretch(int fd, uint64_t begin, uint64_t end, uint64_t length, size_t chunk, unsigned char* buf,
                   KeyHits& hits) {
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

// Scans the stretches of a file on two threads, this one and a worker, and
// hands their key codes over in file order. Either thread takes the next
// stretch nobody has taken yet, so when the system holds one thread back
// (the cores are shared) the other scans on; a thread can get at most kSlots
// stretches ahead of the one whose codes are due, which bounds the memory.
class StretchQueue {
 public:
  static constexpr uint64_t kSlots = 8;

  StretchQueue(int fd, uint64_t length, uint64_t stretch, size_t chunk)
      : fd_(fd),
        length_(length),
        stretch_(stretch),
        chunk_(chunk),
        count_((length + stretch - 1) / stretch),
        own_buf_(chunk + 1),
        worker_buf_(chunk + 1) {}

  // Waits for the stretch the worker is scanning, if any, and ends it.
  ~StretchQueue() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    room_.notify_all();
    worker_.join();
  }

  // Starts the worker; false if the system would not give a thread.
  bool Launch() {
    try {
      worker_ = std::thread([this] { Work(); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  uint64_t count() const { return count_; }

  // Waits until stretch `i` is scanned, scanning stretches on this thread
  // meanwhile, and returns how its reading went; on success `*hits` holds its
  // codes until Release(i). Stretches are awaited in order, each once.
  Status Await(uint64_t i, const KeyHits** hits) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& slot = slots_[i % kSlots];
    while (next_ <= i || !slot.done) {
      if (CanTake())
        TakeAndScan(lock, own_buf_.get());
      else
        scanned_.wait(lock);
    }
    *hits = &slot.hits;
    return slot.status;
  }

  // Frees stretch `i`'s slot for a stretch further on.
  void Release(uint64_t i) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = i + 1;
    }
    room_.notify_one();
  }

 private:
  struct Slot {
    KeyHits hits;
    Status status;
    bool done = false;  // hits and status are those of the stretch taken
  };

  // Whether a stretch is left to take and has a free slot. Under mutex_.
  bool CanTake() const { return next_ < count_ && next_ < released_ + kSlots; }

  // Takes the next stretch and scans it with `buf`, not holding `lock`
  // meanwhile. Called and returns with `lock` held.
  void TakeAndScan(std::unique_lock<std::mutex>& lock, unsigned char* buf) {
    const uint64_t j = next_++;
    Slot& slot = slots_[j % kSlots];
    slot.done = false;
    lock.unlock();
    const uint64_t begin = j * stretch_, end = std::min(length_, begin + stretch_);
    Status status = ScanStretch(fd_, begin, end, length_, chunk_, buf, slot.hits);
    lock.lock();
    slot.status = std::move(status);
    slot.done = true;
    scanned_.notify_one();
  }

  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      room_.wait(lock, [this] { return quit_ || next_ >= count_ || CanTake(); });
      if (quit_ || next_ >= count_) return;
      TakeAndScan(lock, worker_buf_.get());
    }
  }

  const int fd_;
  const uint64_t length_, stretch_;
  const size_t chunk_;
  const uint64_t count_;  // stretches in the file
  ReadBuffer own_buf_, worker_buf_;

  std::mutex mutex_;
  std::condition_variable scanned_;  // a stretch was scanned
  std::condition_variable room_;     // a slot was freed, or quit_
  Slot slots_[kSlots];               // stretch j uses slots_[j % kSlots]
  uint64_t next_ = 0;                // the first stretch not yet taken
  uint64_t released_ = 0;            // stretches whose codes were used
  bool quit_ = false;
  std::thread worker_;  // last: starts once everything above exists
};

// Reads a regular file of `length` bytes with two threads. The file is cut
// into stretches, which both threads scan, each with its own buffer,
// recording where the table codes are; the message rules then run over
// those codes here, stretch by stretch in file order, while the worker scans
// on. Memory stays bounded: two buffers and kSlots lists of codes.
ChatResult ScanInTwoThreads(int fd, uint64_t length, const ExtractOptions& options) {
  const size_t chunk = std::max<size_t>(options.chunk_size, 1);
  // At least four stretches, so that the work can be shared out evenly.
  const uint64_t stretch =
      std::clamp<uint64_t>(std::min(options.stretch_size, (length + 3) / 4), 1, KeyHits::kMaxRecords * kRecordStride);
  StretchQueue queue(fd, length, stretch, chunk);
  if (queue.count() < 2 || !queue.Launch()) return ScanInOneThread(fd, &length, options);

  ChatBuilder builder;
  for (uint64_t i = 0; i < queue.count(); ++i) {
    // On a failure the queue's destructor waits for the worker, before the
    // file is closed.
    const KeyHits* hits = nullptr;
    if (Status s = queue.Await(i, &hits); !s.ok()) return Failure(std::move(s));
    hits->ApplyTo(builder);
    queue.Release(i);
    HandOverSent(builder, options);
    if (!GoOn(options, std::min(length, (i + 1) * stretch))) return Failure(kCancelled);
  }
  return ChatResult{Status::Ok(), builder.TakeMessages()};
}

}  // namespace

ReadBuffer::ReadBuffer(size_t size) : size_(size) {
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<unsigned char*>(p);
}

ReadBuffer::~ReadBuffer() { munmap(data_, size_); }

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
