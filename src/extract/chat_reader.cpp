// A read fed with bytes as they come: a scanner over the pieces, the sent
// messages handed over and progress reported after each. Reading a stream or
// a file on one thread (extract.cpp) feeds one of these too.
#include "extract/extract.h"
#include "extract/scanner.h"
#include "extract/two_threads.h"

namespace murvik {

struct ChatReader::State {
  explicit State(const ExtractOptions& o) : options(o) {}
  ExtractOptions options;
  ChatScanner scanner;
  MessageList sent;  // kept from piece to piece, so that its memory is used again
  bool cancelled = false;
};

ChatReader::ChatReader(const ExtractOptions& options) : state_(std::make_unique<State>(options)) {}
ChatReader::~ChatReader() = default;
ChatReader::ChatReader(ChatReader&&) noexcept = default;
ChatReader& ChatReader::operator=(ChatReader&&) noexcept = default;

bool ChatReader::Feed(const unsigned char* data, size_t size) {
  State& s = *state_;
  if (s.cancelled) return false;
  if (size == 0) return true;
  s.scanner.Feed(data, size);
  if (s.options.on_sent) {
    s.scanner.builder().TakeFinished(s.sent);
    if (!s.sent.empty()) s.options.on_sent(s.sent);
  }
  s.cancelled = !ReportProgress(s.options, s.scanner.bytes_fed());
  return !s.cancelled;
}

uint64_t ChatReader::bytes_fed() const { return state_->scanner.bytes_fed(); }

ChatResult ChatReader::Finish() {
  State& s = *state_;
  if (s.cancelled) return ChatResult{Status::Error(kCancelled), {}};
  if (s.scanner.bytes_fed() == 0) return ChatResult{Status::Error("empty input"), {}};
  return ChatResult{Status::Ok(), s.scanner.TakeMessages()};
}

}  // namespace murvik
