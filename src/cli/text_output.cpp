// The text form: a line per message; with several files, each file's chat
// after a header naming it, and a blank line between files.
#include <algorithm>
#include <cstring>
#include <string>

#include "cli/output.h"
#include "cli/platform.h"

namespace murvik {
namespace {

class TextOutput final : public StreamedOutput {
 public:
  TextOutput(std::FILE* out, bool headers) : StreamedOutput(out), headers_(headers) {}

 private:
  void Start(const std::string& name) override {
    if (headers_) {
      std::string header = first_ ? "" : std::string(kLineBreak);
      header += "==> " + (name == "-" ? "standard input" : name) + " <==";
      header += kLineBreak;
      std::fwrite(header.data(), 1, header.size(), out_);
    }
    first_ = false;
  }

  void Write(const MessageList& messages) override {
    // Many short messages are gathered into one write: a write per message
    // costs more than the message when the chat is dense. A long one is
    // written straight from the list, not copied.
    constexpr size_t kBreak = kLineBreak.size();
    // Only as much room as the messages need, up to kBuffer: memory first
    // touched costs more than a typical chat's writing.
    const size_t room = std::min(kBuffer, messages.text().size() + messages.size() * kBreak);
    if (buffer_.size() < room) buffer_.resize(room);
    char* const buffer = buffer_.data();
    if (messages.text().empty()) {
      // Empty messages only: a line break each, but for an open last one.
      size_t breaks = messages.size() - (messages.empty() || messages.back().sent ? 0 : 1);
      const size_t most = room / kBreak;
      for (size_t i = 0; i < std::min(breaks, most); ++i) std::memcpy(buffer + i * kBreak, kLineBreak.data(), kBreak);
      for (size_t n; breaks > 0; breaks -= n) std::fwrite(buffer, kBreak, n = std::min(breaks, most), out_);
      return;
    }
    char* at = buffer;
    for (const Message m : messages) {
      if (m.text.size() + kBreak > room - static_cast<size_t>(at - buffer)) {
        std::fwrite(buffer, 1, static_cast<size_t>(at - buffer), out_);
        at = buffer;
      }
      if (m.text.size() >= room - kBreak) {
        std::fwrite(m.text.data(), 1, m.text.size(), out_);
      } else if (!m.text.empty()) {
        std::memcpy(at, m.text.data(), m.text.size());
        at += m.text.size();
      }
      // An open message can only be the last; it gets a line break too.
      if (m.sent || !m.text.empty()) {
        std::memcpy(at, kLineBreak.data(), kBreak);
        at += kBreak;
      }
    }
    std::fwrite(buffer, 1, static_cast<size_t>(at - buffer), out_);
  }

  void Fail(const Status&) override {}  // the reason goes to standard error only

  static constexpr size_t kBuffer = 64 << 10;

  const bool headers_;
  std::string buffer_;  // what Write gathers
  bool first_ = true;   // no file's chat was written yet
};

}  // namespace

std::unique_ptr<ChatOutput> MakeTextOutput(std::FILE* out, bool headers) {
  return std::make_unique<TextOutput>(out, headers);
}

}  // namespace murvik
