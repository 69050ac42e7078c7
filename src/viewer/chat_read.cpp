#include "viewer/chat_read.h"

#include <sys/stat.h>

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace murvik {

struct ChatRead::State {
  std::mutex mutex;
  std::condition_variable ended_changed;
  bool ended = false;  // under mutex, as the three below
  Outcome outcome;
  QObject* receiver;  // null once the read is dropped
  std::function<void()> on_done;
  std::atomic<bool> dropped{false};
  std::atomic<uint64_t> bytes_done{0}, length{0};
};

namespace {

ChatRead::Outcome Read(const std::string& path, ExtractOptions options, std::atomic<uint64_t>& bytes_done,
                       std::atomic<uint64_t>& length, const std::atomic<bool>& dropped) {
  try {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) length = uint64_t(st.st_size);
    // Sent messages go into the lines as they come, so the chat is held
    // once, not as messages and then as lines.
    auto chat = std::make_shared<ChatLines>();
    options.on_sent = [&](MessageList& sent) { chat->Append(sent); };
    options.on_progress = [&, also = std::move(options.on_progress)](uint64_t done) {
      bytes_done = done;
      return !dropped && (!also || also(done));
    };
    ChatResult result = ExtractChat(path, options);
    if (!result.status.ok()) return {std::move(result.status), nullptr};
    chat->Append(std::move(result.messages));
    return {Status::Ok(), std::move(chat)};
  } catch (const std::bad_alloc&) {
    return {Status::Error(kOutOfMemory), nullptr};
  }
}

}  // namespace

ChatRead::ChatRead(std::string path, ExtractOptions options, QObject* receiver, std::function<void()> on_done)
    : state_(std::make_shared<State>()) {
  state_->receiver = receiver;
  state_->on_done = std::move(on_done);
  try {
    std::thread([state = state_, path = std::move(path), options = std::move(options)]() mutable {
      Outcome outcome = Read(path, std::move(options), state->bytes_done, state->length, state->dropped);
      std::lock_guard<std::mutex> lock(state->mutex);
      state->outcome = std::move(outcome);
      state->ended = true;
      state->ended_changed.notify_all();
      if (state->receiver != nullptr) QMetaObject::invokeMethod(state->receiver, state->on_done, Qt::QueuedConnection);
    }).detach();
  } catch (const std::system_error& e) {
    state_->outcome.status = Status::Error(e.what());
    state_->ended = true;  // WaitFor finds it ended at once
  }
}

ChatRead::~ChatRead() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->receiver = nullptr;
  state_->dropped = true;
}

bool ChatRead::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->ended_changed.wait_for(lock, timeout, [this] { return state_->ended; });
}

ChatRead::Outcome ChatRead::Take() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return std::move(state_->outcome);
}

double ChatRead::Share() const {
  const uint64_t length = state_->length;
  return length == 0 ? 0 : std::min(1.0, double(state_->bytes_done) / double(length));
}

}  // namespace murvik
