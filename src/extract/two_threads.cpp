#include "extract/two_threads.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "extract/file_read.h"
#include "extract/scanner.h"

namespace murvik {
namespace {

// Scans bytes [begin, end) of a file of `length` bytes into `builder`,
// reading `chunk` bytes at a time into `buf`, which holds chunk + 1: each
// read takes one byte past its chunk, when the file has it, so that a pair
// starting at the chunk's last byte is read whole.
Status ScanStretch(int fd, uint64_t begin, uint64_t end, uint64_t length, size_t chunk, unsigned char* buf,
                   ChatBuilder& builder) {
  for (uint64_t at = begin; at < end;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk, end - at));
    const size_t size = n + (at + n < length ? 1 : 0);
    if (Status s = ReadAt(fd, buf, size, at); !s.ok()) return s;
    ApplyKeys(buf, size, at, builder);
    at += n;
  }
  return Status::Ok();
}

// Scans the stretches of a file on two threads, this one and a worker, and
// hands their pieces over in file order. Either thread takes the next
// stretch nobody has taken yet, so when the system holds one thread back
// (the cores are shared) the other scans on; a thread can get at most kSlots
// stretches ahead of the one whose piece is due, which bounds the memory.
class StretchQueue {
 public:
  static constexpr uint64_t kSlots = 8;

  StretchQueue(int fd, uint64_t length, uint64_t stretch, size_t chunk)
      : fd_(fd),
        length_(length),
        stretch_(stretch),
        chunk_(chunk),
        count_((length + stretch - 1) / stretch),
        caller_{ReadBuffer(chunk + 1), ChatBuilder(ChatBuilder::Before::kUnknown), {}},
        worker_{ReadBuffer(chunk + 1), ChatBuilder(ChatBuilder::Before::kUnknown), {}} {}

  // Waits for the stretch the worker is scanning, if any, and ends it.
  ~StretchQueue() {
    if (!worker_thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    room_.notify_all();
    worker_thread_.join();
  }

  // Starts the worker; false if the system would not give a thread.
  bool Launch() {
    try {
      worker_thread_ = std::thread([this] { Work(); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  uint64_t count() const { return count_; }

  // Waits until stretch `i` is scanned, scanning stretches on this thread
  // meanwhile, and returns how its reading went; on success `*piece` holds
  // its piece until Release(i). Stretches are awaited in order, each once.
  Status Await(uint64_t i, ChatPiece** piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& slot = slots_[i % kSlots];
    while (next_ <= i || !slot.done) {
      if (CanTake())
        TakeAndScan(lock, caller_);
      else
        scanned_.wait(lock);
    }
    *piece = &slot.piece;
    return slot.status;
  }

  // Frees stretch `i`'s slot for a stretch further on.
  void Release(uint64_t i) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = i + 1;
      spares_.push_back(std::move(slots_[i % kSlots].piece));
    }
    room_.notify_one();
  }

 private:
  struct Slot {
    ChatPiece piece;
    Status status;
    bool done = false;  // piece and status are those of the stretch taken
  };
  // What a thread scans with.
  struct Scanning {
    ReadBuffer buf;
    ChatBuilder builder;
    ChatPiece piece;  // what the builder hands its piece over in
  };

  // Whether a stretch is left to take and has a free slot. Under mutex_.
  bool CanTake() const { return next_ < count_ && next_ < released_ + kSlots; }

  // Takes the next stretch and scans it, not holding `lock` meanwhile.
  // Called and returns with `lock` held.
  void TakeAndScan(std::unique_lock<std::mutex>& lock, Scanning& tools) {
    const uint64_t j = next_++;
    Slot& slot = slots_[j % kSlots];
    slot.done = false;
    lock.unlock();
    const uint64_t begin = j * stretch_, end = std::min(length_, begin + stretch_);
    Status status;
    try {
      status = ScanStretch(fd_, begin, end, length_, chunk_, tools.buf.get(), tools.builder);
      tools.builder.TakePiece(tools.piece);
    } catch (const std::bad_alloc&) {
      // Handed to the joining thread as the stretch's failure: nothing
      // thrown may leave a thread.
      status = Status::Error(kOutOfMemory);
      tools.builder.Restart(ChatBuilder::Before::kUnknown);
    }
    lock.lock();
    slot.piece = std::move(tools.piece);
    if (!spares_.empty()) {
      tools.piece = std::move(spares_.back());
      spares_.pop_back();
    }
    slot.status = std::move(status);
    slot.done = true;
    scanned_.notify_one();
  }

  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      room_.wait(lock, [this] { return quit_ || next_ >= count_ || CanTake(); });
      if (quit_ || next_ >= count_) return;
      TakeAndScan(lock, worker_);
    }
  }

  const int fd_;
  const uint64_t length_, stretch_;
  const size_t chunk_;
  const uint64_t count_;  // stretches in the file
  Scanning caller_, worker_;

  std::mutex mutex_;
  std::condition_variable scanned_;  // a stretch was scanned
  std::condition_variable room_;     // a slot was freed, or quit_
  Slot slots_[kSlots];               // stretch j uses slots_[j % kSlots]
  // Pieces joined, whose memory is used again, the last joined first: so
  // only as many pieces' memory is in use as are in flight.
  std::vector<ChatPiece> spares_;
  uint64_t next_ = 0;      // the first stretch not yet taken
  uint64_t released_ = 0;  // stretches whose pieces were joined
  bool quit_ = false;
  std::thread worker_thread_;  // last: starts once everything above exists
};

}  // namespace

std::optional<ChatResult> ExtractInTwoThreads(int fd, uint64_t length, const ExtractOptions& options) {
  const size_t chunk = std::max<size_t>(options.chunk_size, 1);
  // At least four stretches, so that the work can be shared out evenly.
  const uint64_t stretch = std::max<uint64_t>(std::min(options.stretch_size, (length + 3) / 4), 1);
  StretchQueue queue(fd, length, stretch, chunk);
  if (queue.count() < 2 || !queue.Launch()) return std::nullopt;

  ChatJoin chat;
  MessageList kept;  // the messages, when the caller takes them only at the end
  const ChatJoin::Sink sink = options.on_sent ? options.on_sent : [&kept](MessageList& m) { kept.Append(m); };
  for (uint64_t i = 0; i < queue.count(); ++i) {
    // On a failure the queue's destructor waits for the worker, before the
    // file is closed.
    ChatPiece* piece = nullptr;
    if (Status s = queue.Await(i, &piece); !s.ok()) return ChatResult{std::move(s), {}};
    chat.Add(*piece, sink);
    queue.Release(i);
    if (!ReportProgress(options, std::min(length, (i + 1) * stretch))) return ChatResult{Status::Error(kCancelled), {}};
  }
  MessageList open = chat.TakeOpen();
  if (kept.empty()) return ChatResult{Status::Ok(), std::move(open)};
  kept.Append(open);
  return ChatResult{Status::Ok(), std::move(kept)};
}

}  // namespace murvik
