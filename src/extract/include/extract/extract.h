// Reading a replay file's chat.
#ifndef MURVIK_EXTRACT_EXTRACT_H_
#define MURVIK_EXTRACT_EXTRACT_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "extract/message_list.h"
#include "extract/status.h"
#include "extract/system.h"

namespace murvik {

// What an extraction gives: on success the messages in file order (the last
// may be unsent); on failure a reason and no messages.
struct ChatResult {
  Status status;
  MessageList messages;
};

// How an extraction reads. The defaults suit every caller; tests shrink the
// sizes so that small files cross every boundary.
struct ExtractOptions {
  // Bytes read at a time, by each thread. At least 1.
  size_t chunk_size = 256 * 1024;
  // A regular file of at least this many bytes is read by two threads, each
  // scanning stretches of the file; smaller files and streams are read by one
  // thread, which is quicker for them: a second thread takes up to a few
  // milliseconds to get going on a machine whose other core was idle.
  uint64_t parallel_from = 32 * 1024 * 1024;
  // Most bytes in one stretch (at least 1). Bounds the memory a stretch's
  // key codes take before the message rules run over them.
  uint64_t stretch_size = 512 * 1024;
  // When set, receives, in file order and in batches, the messages that have
  // been sent as the extraction goes on; they are then left out of the
  // result, which holds only what was not handed over. Lets a caller write
  // out a chat larger than it wants to hold. Should the extraction fail
  // later, what was handed over stands and the result holds the failure.
  std::function<void(MessageList& sent)> on_sent;
  // When set, a read by one thread uses this buffer, if it holds at least
  // chunk_size bytes, instead of mapping one of its own. Not shared between
  // extractions running at the same time.
  ReadBuffer* buffer = nullptr;
  // When set, called on the reading thread as the extraction goes on with the
  // bytes read so far whose key codes have been applied (after each chunk, or
  // each stretch with two threads), at most `length` in all. Returning false
  // stops the extraction, which then fails with the reason kCancelled.
  std::function<bool(uint64_t bytes_done)> on_progress;
};

// The reason of an extraction stopped by on_progress.
inline constexpr char kCancelled[] = "cancelled";
// The reason of an extraction whose chat did not fit in the memory the
// system would give.
inline constexpr char kOutOfMemory[] = "out of memory";

// Reads the replay at `path`, used exactly as given, and returns its chat.
// Fails for an empty path, a missing or unreadable file, anything but a
// regular file (without blocking on a FIFO or opening a device), an empty
// file, and a file that turns out shorter than its length when opened.
// Reads exactly as many bytes as the opened file holds when opened, in
// bounded memory, and closes it on every path out. Fails with kOutOfMemory,
// on any thread, rather than throw.
ChatResult ExtractChat(const std::string& path, const ExtractOptions& options = {});

// Reads a replay from `fd` until end of input and returns its chat; fails on
// a read error, empty input or kOutOfMemory. Reads with one thread. Does not
// close `fd`.
ChatResult ExtractChatFromStream(int fd, const ExtractOptions& options = {});

// Reads a replay whose bytes come in pieces, as they arrive (from a socket,
// a browser's file reader, ...), on the caller's thread: no threads, no
// files. Its options' on_sent and on_progress act as in ExtractChat, after
// each piece fed; their sizes and buffer are not used. The bytes are not
// kept: memory is what the chat takes.
class ChatReader {
 public:
  explicit ChatReader(const ExtractOptions& options = {});
  ~ChatReader();
  ChatReader(ChatReader&&) noexcept;
  ChatReader& operator=(ChatReader&&) noexcept;
  ChatReader(const ChatReader&) = delete;
  ChatReader& operator=(const ChatReader&) = delete;

  // Scans the next `size` bytes of the replay, in file order; a piece may
  // have any size, 0 included. Returns false once on_progress has asked to
  // stop: the bytes of that piece were scanned, later pieces are ignored.
  // Throws std::bad_alloc when the chat outgrows the memory to be had.
  bool Feed(const unsigned char* data, size_t size);
  // The bytes scanned so far.
  uint64_t bytes_fed() const;
  // The chat of everything fed, less what on_sent took; fails with
  // kCancelled once stopped, and with "empty input" when nothing was fed.
  // The reader is spent afterwards.
  ChatResult Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_EXTRACT_H_
