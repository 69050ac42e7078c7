#include "cli/output.h"

#include <iterator>
#include <nlohmann/json.hpp>
#include <utility>

namespace murvik {

std::unique_ptr<ChatOutput> MakeOutput(OutputForm form, std::FILE* out, size_t file_count) {
  switch (form) {
    case OutputForm::kJson:
      return MakeJsonOutput(out);
    case OutputForm::kJsonLines:
      return MakeJsonLinesOutput(out);
    case OutputForm::kText:
      break;
  }
  return MakeTextOutput(out, file_count > 1);
}

std::string JsonString(const std::string& s) {
  return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void StreamedOutput::BeginFile(const std::string& name) {
  name_ = name;
  held_.Clear();
  started_ = false;
}

void StreamedOutput::Add(MessageList& messages) {
  if (started_) {
    Write(messages);  // the chat is being written as it comes
    return;
  }
  if (held_.empty()) {
    // Taken whole, not copied; the memory held before goes back to the
    // core, to be filled again.
    held_.swap(messages);
  } else if (held_.bytes() + messages.bytes() > kHoldBytes) {
    // As if copied in and then flushed, without the copy.
    Flush();
    Write(messages);
    return;
  } else {
    held_.Append(messages);
  }
  if (held_.bytes() > kHoldBytes) Flush();
}

void StreamedOutput::EndFile(ChatResult& result) {
  if (result.status.ok()) {
    Add(result.messages);
    Flush();
  } else {
    Fail(result.status);
  }
}

void StreamedOutput::Flush() {
  if (!started_) Start(name_);
  started_ = true;
  Write(held_);
  held_.Clear();
}

}  // namespace murvik
