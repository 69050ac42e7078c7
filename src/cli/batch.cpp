#include "cli/batch.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "extract/system.h"

namespace murvik {

unsigned BatchReader::Workers(size_t files) {
  const unsigned cores = UsableCores();
  return files < 2 || cores < 2 ? 0 : std::min(cores, 4u);
}

BatchReader::BatchReader(const std::vector<std::string>& files, unsigned workers) : files_(files) {
  for (unsigned w = 0; w < workers; ++w) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // fewer workers, or none: the caller reads what is left
    }
  }
}

BatchReader::~BatchReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  room_.notify_all();
  for (std::thread& t : workers_) t.join();
}

// Each worker takes the next file nobody has taken, within kFilesAhead of
// the one being handed over, reads it with its own buffer and leaves its
// chat in the file's slot. Its worker waits while the slot holds more than
// kHoldBytes, until the caller takes them, so memory stays bounded.
void BatchReader::Work() {
  ReadBuffer buffer(ExtractOptions().chunk_size);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    room_.wait(lock, [this] { return quit_ || next_ >= files_.size() || CanTake(); });
    if (quit_ || next_ >= files_.size()) return;
    const size_t j = next_++;
    if (files_[j] == "-") continue;
    Slot& slot = slots_[j % kFilesAhead];
    lock.unlock();
    ExtractOptions options;
    options.buffer = &buffer;
    options.on_sent = [this, j, &slot](MessageList& sent) {
      std::unique_lock<std::mutex> held(mutex_);
      slot.held_bytes += sent.bytes();
      slot.batches.push_back(std::move(sent));
      if (taken_ == j) due_.notify_one();
      room_.wait(held, [&] { return quit_ || slot.held_bytes <= kHoldBytes; });
    };
    ChatResult result = ExtractChat(files_[j], options);
    lock.lock();
    slot.result = std::move(result);
    slot.done = true;
    if (taken_ == j) due_.notify_one();
  }
}

ChatResult BatchReader::ReadHere(size_t i, const MessageSink& sink) {
  if (!buffer_) buffer_.emplace(ExtractOptions().chunk_size);
  ExtractOptions options;
  options.buffer = &*buffer_;
  options.on_sent = sink;
  return files_[i] == "-" ? ExtractChatFromStream(0, options) : ExtractChat(files_[i], options);
}

ChatResult BatchReader::Take(size_t i, const MessageSink& sink) {
  ChatResult result;
  std::unique_lock<std::mutex> lock(mutex_);
  if (workers_.empty() || files_[i] == "-") {
    lock.unlock();
    result = ReadHere(i, sink);
    lock.lock();
  } else {
    Slot& slot = slots_[i % kFilesAhead];
    for (;;) {
      due_.wait(lock, [&] { return slot.done || !slot.batches.empty(); });
      if (slot.batches.empty()) break;
      std::vector<MessageList> batches;
      batches.swap(slot.batches);
      slot.held_bytes = 0;
      room_.notify_all();
      lock.unlock();
      for (MessageList& batch : batches) sink(batch);
      lock.lock();
    }
    result = std::move(slot.result);
    slot = Slot{};
  }
  taken_ = i + 1;
  room_.notify_all();
  return result;
}

}  // namespace murvik
