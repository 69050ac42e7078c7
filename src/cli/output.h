// The forms murvik-chat writes chat in (text, JSON, JSON Lines), behind one
// interface that the driver calls the same way for every form.
#ifndef MURVIK_CLI_OUTPUT_H_
#define MURVIK_CLI_OUTPUT_H_

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "extract/extract.h"

namespace murvik {

enum class OutputForm { kText, kJson, kJsonLines };

// Writes the chat of the files read, one file after the other.
class ChatOutput {
 public:
  virtual ~ChatOutput() = default;
  // Starts the chat of the file named `name` on the command line.
  virtual void BeginFile(const std::string& name) = 0;
  // Takes the file's next sent messages, in order, as the file is read.
  virtual void Add(MessageList& messages) = 0;
  // Ends the file with its result: the messages not added yet, or why the
  // file could not be read.
  virtual void EndFile(ChatResult& result) = 0;
  // Ends the output, after the last file.
  virtual void Finish() {}
};

// The output in `form` to `out` of the chat of `file_count` files.
std::unique_ptr<ChatOutput> MakeOutput(OutputForm form, std::FILE* out, size_t file_count);

// The forms, for MakeOutput. Text shows a header before each file's chat
// when `headers`.
std::unique_ptr<ChatOutput> MakeTextOutput(std::FILE* out, bool headers);
std::unique_ptr<ChatOutput> MakeJsonOutput(std::FILE* out);
std::unique_ptr<ChatOutput> MakeJsonLinesOutput(std::FILE* out);

// A JSON string, with bytes that are not UTF-8 (file names can hold any)
// replaced by U+FFFD.
std::string JsonString(const std::string& s);

// A form that writes a file's chat as it is read. It holds the chat and
// writes it (after Start) once the file was read; a chat whose messages take
// more than kHoldBytes is written as it comes instead, from then on batch by
// batch, so that memory stays bounded whatever the chat's size. A file that
// fails before then writes nothing but what Fail writes.
class StreamedOutput : public ChatOutput {
 public:
  static constexpr size_t kHoldBytes = 1 << 20;

  void BeginFile(const std::string& name) override;
  void Add(MessageList& messages) override;
  void EndFile(ChatResult& result) override;

 protected:
  explicit StreamedOutput(std::FILE* out) : out_(out) {}
  // Writes what goes before the file's first message.
  virtual void Start(const std::string& name) = 0;
  virtual void Write(const MessageList& messages) = 0;
  // Writes what says that the file could not be read.
  virtual void Fail(const Status& failure) = 0;

  std::FILE* const out_;

 private:
  void Flush();

  std::string name_;
  MessageList held_;
  bool started_ = false;  // Start was called for this file
};

}  // namespace murvik

#endif  // MURVIK_CLI_OUTPUT_H_
