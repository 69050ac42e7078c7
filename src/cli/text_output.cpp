// The text form: a line per message; with several files, each file's chat
// after a header naming it, and a blank line between files.
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
    // One write for them all: a write per message costs more than the
    // message when the chat is dense.
    text_.clear();
    for (const Message m : messages) {
      text_ += m.text;
      // An open message can only be the last; it gets a line break too.
      if (m.sent || !m.text.empty()) text_ += kLineBreak;
    }
    std::fwrite(text_.data(), 1, text_.size(), out_);
  }

  void Fail(const Status&) override {}  // the reason goes to standard error only

  const bool headers_;
  std::string text_;   // what Write writes, kept for its capacity
  bool first_ = true;  // no file's chat was written yet
};

}  // namespace

std::unique_ptr<ChatOutput> MakeTextOutput(std::FILE* out, bool headers) {
  return std::make_unique<TextOutput>(out, headers);
}

}  // namespace murvik
