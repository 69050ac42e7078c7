// The JSON Lines form: an object per message, and one per file that could
// not be read, each naming its file, written as the files are read.
#include <string>

#include "cli/output.h"
#include "extract/keycodes.h"

namespace murvik {
namespace {

// Whether every character a key types stands for itself in a JSON string.
constexpr bool KeysNeedNoEscape() {
  for (const KeyCode& k : kKeyCodes)
    if (k.action == KeyAction::kChar && (k.ch == '"' || k.ch == '\\' || k.ch < 0x20)) return false;
  return true;
}
static_assert(KeysNeedNoEscape(), "the chat's text is written into JSON Lines as it is");

class JsonLinesOutput final : public StreamedOutput {
 public:
  explicit JsonLinesOutput(std::FILE* out) : StreamedOutput(out) {}

  void BeginFile(const std::string& name) override {
    file_json_ = JsonString(name);
    StreamedOutput::BeginFile(name);
  }

 private:
  void Start(const std::string&) override {}

  // The text goes out as it is, which on a chat of many messages is several
  // times quicker than building a JSON string for each.
  void Write(const MessageList& messages) override {
    for (const Message m : messages) {
      if (m.text.size() < kLongText) {
        std::fprintf(out_, "{\"file\": %s, \"text\": \"%.*s\", \"offset\": %llu, \"sent\": %s}\n", file_json_.c_str(),
                     static_cast<int>(m.text.size()), m.text.data(), static_cast<unsigned long long>(m.offset),
                     m.sent ? "true" : "false");
        continue;
      }
      // A precision holds an int only.
      std::fprintf(out_, "{\"file\": %s, \"text\": \"", file_json_.c_str());
      std::fwrite(m.text.data(), 1, m.text.size(), out_);
      std::fprintf(out_, "\", \"offset\": %llu, \"sent\": %s}\n", static_cast<unsigned long long>(m.offset),
                   m.sent ? "true" : "false");
    }
  }

  void Fail(const Status& failure) override {
    std::fprintf(out_, "{\"file\": %s, \"error\": %s}\n", file_json_.c_str(), JsonString(failure.reason()).c_str());
  }

  static constexpr size_t kLongText = 1 << 20;

  std::string file_json_;  // the file's name as a JSON string
};

}  // namespace

std::unique_ptr<ChatOutput> MakeJsonLinesOutput(std::FILE* out) { return std::make_unique<JsonLinesOutput>(out); }

}  // namespace murvik
