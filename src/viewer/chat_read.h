// Reading a replay's chat for the window, on a thread of its own.
#ifndef MURVIK_VIEWER_CHAT_READ_H_
#define MURVIK_VIEWER_CHAT_READ_H_

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "chat/chat_lines.h"
#include "extract/extract.h"

class QObject;

namespace murvik {

// One replay read with ExtractChat on a thread of its own, into the lines
// the window shows, so that the window answers throughout. Dropping the
// read (a new Go, Cancel, the window closing) stops the extraction at its
// next chunk and leaves the thread to end by itself: nothing waits for it,
// and it calls nobody any more.
class ChatRead {
 public:
  struct Outcome {
    Status status;
    std::shared_ptr<const ChatLines> chat;  // the whole chat, on success only
  };

  // Starts reading `path` with `options`, whose on_progress, if any, is
  // called too (and may stop the read). When the read ends, `on_done` runs
  // on `receiver`'s thread, unless the read has been dropped by then.
  ChatRead(std::string path, ExtractOptions options, QObject* receiver, std::function<void()> on_done);
  ~ChatRead();
  ChatRead(const ChatRead&) = delete;
  ChatRead& operator=(const ChatRead&) = delete;

  // Waits up to `timeout` for the read to end; true when it has.
  bool WaitFor(std::chrono::milliseconds timeout);
  // The outcome, once the read has ended; once.
  Outcome Take();
  // The share of the file read so far, from 0 to 1.
  double Share() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_CHAT_READ_H_
