// An extraction: open the file (file_read.h), then scan it. A large regular
// file is read by two threads, stretch by stretch, its pieces joined in file
// order (two_threads.h). A small one, a stream, or a file when this process
// may run on one core only is read by this thread alone, chunk by chunk
// through one reused buffer, the message rules applied as it goes. Either
// way sent messages are handed over and progress reported as it goes on.
// The one-thread read feeds a ChatReader (chat_reader.cpp), as a caller
// that has the bytes without a file does.
#include "extract/extract.h"

#include <algorithm>
#include <new>
#include <optional>

#include "extract/file_read.h"
#include "extract/two_threads.h"

namespace murvik {
namespace {

ChatResult Failure(Status status) { return ChatResult{std::move(status), {}}; }

// Whether this process may run on more than one core: not when the machine
// has one, nor when it is held to one, where a second thread would only take
// turns with the first.
bool MayRunOnSeveralCores() { return UsableCores() != 1; }

// Reads `fd` from where it stands through one reused buffer into a
// ChatReader, until `length` bytes were read or, with no length, until end
// of input.
ChatResult ScanInOneThread(int fd, const uint64_t* length, const ExtractOptions& options) {
  const size_t chunk = std::max<size_t>(options.chunk_size, 1);
  std::optional<ReadBuffer> own;
  ReadBuffer* lent = options.buffer;
  ReadBuffer& buf = lent != nullptr && lent->size() >= chunk ? *lent : own.emplace(chunk);
  ChatReader reader(options);
  for (;;) {
    size_t want = chunk;
    if (length != nullptr) {
      const uint64_t left = *length - reader.bytes_fed();
      if (left == 0) break;
      want = static_cast<size_t>(std::min<uint64_t>(left, chunk));
    }
    size_t n = 0;
    if (Status s = ReadSome(fd, buf.get(), want, n); !s.ok()) return Failure(std::move(s));
    if (n == 0) {
      if (length != nullptr) return Failure(Status::Error(kShrank));
      break;
    }
    if (!reader.Feed(buf.get(), n)) break;
  }
  return reader.Finish();
}

}  // namespace

ChatResult ExtractChat(const std::string& path, const ExtractOptions& options) {
  try {
    ReplayFile file;
    if (Status s = file.Open(path); !s.ok()) return Failure(std::move(s));
    const uint64_t length = file.length();
    if (length >= options.parallel_from && MayRunOnSeveralCores()) {
      if (std::optional<ChatResult> result = ExtractInTwoThreads(file.fd(), length, options)) return std::move(*result);
    }
    return ScanInOneThread(file.fd(), &length, options);
  } catch (const std::bad_alloc&) {
    return Failure(Status::Error(kOutOfMemory));
  }
}

ChatResult ExtractChatFromStream(int fd, const ExtractOptions& options) {
  try {
    return ScanInOneThread(fd, nullptr, options);
  } catch (const std::bad_alloc&) {
    return Failure(Status::Error(kOutOfMemory));
  }
}

}  // namespace murvik
