// The JSON form: one array with an object per file. Written a file at a time
// and each file's messages one at a time, in the layout of a two-space
// indented dump, so that memory grows with the largest file's chat, not with
// the output.
#include <iterator>
#include <string>
#include <vector>

#include "cli/output.h"

namespace murvik {
namespace {

class JsonOutput final : public ChatOutput {
 public:
  explicit JsonOutput(std::FILE* out) : out_(out) {}

  void BeginFile(const std::string& name) override {
    name_ = name;
    held_.clear();
  }

  // A file's messages are held until it was read: one that fails shows no
  // messages, only its error.
  void Add(MessageList& messages) override {
    // Many messages are copied into one list; a large batch is kept whole,
    // so that a long message is never copied.
    if (held_.empty() || messages.bytes() >= kKeepWhole) {
      held_.emplace_back().swap(messages);
    } else {
      held_.back().Append(messages);
    }
  }

  void EndFile(ChatResult& result) override {
    std::fputs(first_file_ ? "[\n" : ",\n", out_);
    first_file_ = false;
    std::fprintf(out_, "  {\n    \"file\": %s,\n", JsonString(name_).c_str());
    if (!result.status.ok()) {
      std::fprintf(out_, "    \"ok\": false,\n    \"error\": %s\n  }", JsonString(result.status.reason()).c_str());
      held_.clear();
      return;
    }
    std::fputs("    \"ok\": true,\n    \"messages\": [", out_);
    first_message_ = true;
    for (const MessageList& messages : held_) Write(messages);
    Write(result.messages);
    std::fputs(first_message_ ? "]\n  }" : "\n    ]\n  }", out_);
    held_.clear();
  }

  void Finish() override { std::fputs(first_file_ ? "[]\n" : "\n]\n", out_); }

 private:
  void Write(const MessageList& messages) {
    for (const Message m : messages) {
      // The text as it is: no character a key types needs escaping (see
      // jsonl_output.cpp), and a copy of a long message would double it.
      std::fprintf(out_, "%s\n      {\n        \"text\": \"", first_message_ ? "" : ",");
      std::fwrite(m.text.data(), 1, m.text.size(), out_);
      std::fprintf(out_, "\",\n        \"offset\": %llu,\n        \"sent\": %s\n      }",
                   static_cast<unsigned long long>(m.offset), m.sent ? "true" : "false");
      first_message_ = false;
    }
  }

  std::FILE* const out_;
  std::string name_;
  static constexpr size_t kKeepWhole = 1 << 20;

  std::vector<MessageList> held_;  // the file's sent messages so far
  bool first_file_ = true;
  bool first_message_ = true;
};

}  // namespace

std::unique_ptr<ChatOutput> MakeJsonOutput(std::FILE* out) { return std::make_unique<JsonOutput>(out); }

}  // namespace murvik
