// Reads a list of replay files a few at a time on worker threads, and hands
// each file's chat to one caller in list order.
#ifndef MURVIK_CLI_BATCH_H_
#define MURVIK_CLI_BATCH_H_

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "extract/extract.h"

namespace murvik {

// Receives, in order and in batches, the sent messages of the file being
// handed over.
using MessageSink = std::function<void(MessageList& sent)>;

class BatchReader {
 public:
  // Most files a worker may be ahead of the file being handed over.
  static constexpr size_t kFilesAhead = 4;
  // Bytes of messages a file's slot holds before its worker waits: for the
  // file's turn when it is read ahead, or for the caller to take them when
  // it is being handed over, so a caller slower than the reading (a slow
  // pipe, say) holds the reading back instead of the chat piling up.
  static constexpr size_t kHoldBytes = 256 << 10;

  // Reads `files` ("-" is standard input) with `workers` threads; with none,
  // each file is read by the caller in Take. Standard input is always read
  // by the caller, in its turn, as it is one stream.
  BatchReader(const std::vector<std::string>& files, unsigned workers);
  // Stops the workers, once each has finished the file it is reading.
  ~BatchReader();
  BatchReader(const BatchReader&) = delete;
  BatchReader& operator=(const BatchReader&) = delete;

  // Hands file `i` over: its sent messages to `sink` as they come, and then
  // its result, which holds the messages not handed over. Files are taken
  // in order, each once.
  ChatResult Take(size_t i, const MessageSink& sink);

  // Workers worth starting for `files` files: one per core this process may
  // run on, at most 4, and none for a single file or a single core.
  static unsigned Workers(size_t files);

 private:
  struct Slot {
    std::vector<MessageList> batches;  // sent, not yet handed over
    size_t held_bytes = 0;             // in batches
    bool done = false;                 // result is final
    ChatResult result;
  };

  void Work();
  ChatResult ReadHere(size_t i, const MessageSink& sink);
  bool CanTake() const { return next_ < files_.size() && next_ < taken_ + kFilesAhead; }

  const std::vector<std::string>& files_;
  std::optional<ReadBuffer> buffer_;  // the caller's, made on first use

  std::mutex mutex_;
  std::condition_variable due_;   // the due file's slot (taken_) changed
  std::condition_variable room_;  // taken_, quit_ or a slot's held_bytes went down
  Slot slots_[kFilesAhead];       // file j uses slots_[j % kFilesAhead]
  size_t next_ = 0;               // the first file no worker considered
  size_t taken_ = 0;              // files handed over
  bool quit_ = false;
  std::vector<std::thread> workers_;  // last: start once everything above exists
};

}  // namespace murvik

#endif  // MURVIK_CLI_BATCH_H_
