#include "cli/chat_command.h"

#include <errno.h>
#include <getopt.h>
#include <unistd.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "extract/extract.h"

namespace murvik {
namespace {

constexpr char kProgram[] = "murvik-chat";

constexpr char kHelp[] =
    "Usage: murvik-chat [OPTION]... FILE...\n"
    "Print the chat typed during the games recorded in replay FILEs,\n"
    "one line per message.\n"
    "\n"
    "With FILE -, read standard input.\n"
    "\n"
    "  -l, --lowercase  print letters in lower case\n"
    "      --json       print one JSON array with an object per FILE, holding\n"
    "                   each message's text, the byte offset of the key that\n"
    "                   opened it, and whether it was sent\n"
    "  -h, --help       display this help and exit\n"
    "      --version    output version information and exit\n"
    "\n"
    "With several FILEs, each file's chat is preceded by a header giving its name.\n"
    "A message still open at the end of a replay is printed as a line of its own.\n"
    "\n"
    "Exit status:\n"
    " 0  if every FILE was read,\n"
    " 1  if a FILE could not be read or the output could not be written,\n"
    " 2  if the command line was wrong.\n";

constexpr char kVersion[] =
    "murvik-chat (Murvik) 0.01\n"
    "Copyright (C) 2026 the Murvik developers.\n";

struct Options {
  bool lowercase = false;
  bool json = false;
  std::vector<std::string> files;
};

struct FileChat {
  std::string name;
  ChatResult result;
};

ChatResult Read(const std::string& name, const ExtractOptions& options = {}) {
  return name == "-" ? ExtractChatFromStream(STDIN_FILENO, options) : ExtractChat(name, options);
}

void Lowercase(std::vector<Message>& messages) {
  for (Message& m : messages) m.text = LowercaseLetters(std::move(m.text));
}

void WriteText(std::FILE* out, const std::vector<Message>& messages) {
  for (const Message& m : messages) {
    std::fwrite(m.text.data(), 1, m.text.size(), out);
    // An open message can only be the last; it gets a line break too.
    if (m.sent || !m.text.empty()) std::fputc('\n', out);
  }
}

// The text output of one file. Holds the chat, and writes it (after the
// file's header) when the file was read; a chat whose messages take more than
// kHoldBytes is written as it comes instead, so that memory stays bounded
// whatever the chat's size. A file that fails before then prints nothing.
class TextOutput {
 public:
  static constexpr size_t kHoldBytes = 1 << 20;

  TextOutput(std::FILE* out, bool lowercase, std::string header)
      : out_(out), lowercase_(lowercase), header_(std::move(header)) {}

  // Takes the next messages of the chat, in order.
  void Add(std::vector<Message>& messages) {
    if (lowercase_) Lowercase(messages);
    for (Message& m : messages) {
      held_bytes_ += sizeof m + m.text.size();
      held_.push_back(std::move(m));
    }
    if (held_bytes_ > kHoldBytes) Write();
  }

  // Writes the header, unless written already, and the messages held.
  void Write() {
    if (!started_) std::fputs(header_.c_str(), out_);
    started_ = true;
    WriteText(out_, held_);
    held_.clear();
    held_bytes_ = 0;
  }

  // Whether anything was written.
  bool started() const { return started_; }

 private:
  std::FILE* const out_;
  const bool lowercase_;
  const std::string header_;
  std::vector<Message> held_;
  size_t held_bytes_ = 0;
  bool started_ = false;
};

// A JSON string, with bytes that are not UTF-8 (file names can hold any)
// replaced by U+FFFD.
std::string JsonString(const std::string& s) {
  return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Writes the JSON array one file, and each file's messages one at a time, in
// the layout of a two-space indented dump, so that memory does not grow with
// the output.
class JsonWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}

  void Add(const FileChat& f) {
    std::fputs(first_file_ ? "[\n" : ",\n", out_);
    first_file_ = false;
    std::fprintf(out_, "  {\n    \"file\": %s,\n", JsonString(f.name).c_str());
    if (!f.result.status.ok()) {
      std::fprintf(out_, "    \"ok\": false,\n    \"error\": %s\n  }", JsonString(f.result.status.reason()).c_str());
      return;
    }
    std::fputs("    \"ok\": true,\n    \"messages\": [", out_);
    bool first = true;
    for (const Message& m : f.result.messages) {
      std::fprintf(out_,
                   "%s\n      {\n        \"text\": %s,\n        \"offset\": %llu,\n"
                   "        \"sent\": %s\n      }",
                   first ? "" : ",", JsonString(m.text).c_str(), static_cast<unsigned long long>(m.offset),
                   m.sent ? "true" : "false");
      first = false;
    }
    std::fputs(first ? "]\n  }" : "\n    ]\n  }", out_);
  }

  void Finish() { std::fputs(first_file_ ? "[]\n" : "\n]\n", out_); }

 private:
  std::FILE* out_;
  bool first_file_ = true;
};

void ReportFailure(std::FILE* err, const std::string& name, const Status& status) {
  std::fprintf(err, "%s: %s: %s\n", kProgram, name.c_str(), status.reason().c_str());
}

// Parses the command line into `options`; returns -1 to go on, or the exit
// status to stop with.
int ParseOptions(int argc, char** argv, std::FILE* out, std::FILE* err, Options& options) {
  enum { kJson = 256, kVersionOption };
  static const option kLong[] = {
      {"lowercase", no_argument, nullptr, 'l'},
      {"json", no_argument, nullptr, kJson},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, kVersionOption},
      {nullptr, 0, nullptr, 0},
  };
  optind = 0;  // a fresh scan, also when called more than once
  opterr = 0;  // errors are reported here, on `err`
  for (;;) {
    const int c = getopt_long(argc, argv, "lh", kLong, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'l':
        options.lowercase = true;
        break;
      case kJson:
        options.json = true;
        break;
      case 'h':
        std::fputs(kHelp, out);
        return kExitOk;
      case kVersionOption:
        std::fputs(kVersion, out);
        return kExitOk;
      default:
        if (optopt != 0)
          std::fprintf(err, "%s: invalid option -- '%c'\n", kProgram, optopt);
        else
          std::fprintf(err, "%s: unrecognized option '%s'\n", kProgram, argv[optind - 1]);
        std::fprintf(err, "Try '%s --help' for more information.\n", kProgram);
        return kExitUsage;
    }
  }
  for (int i = optind; i < argc; ++i) options.files.emplace_back(argv[i]);
  if (options.files.empty()) {
    std::fprintf(err, "%s: missing file operand\n", kProgram);
    std::fprintf(err, "Try '%s --help' for more information.\n", kProgram);
    return kExitUsage;
  }
  return -1;
}

}  // namespace

int RunChatCommand(int argc, char** argv, std::FILE* out, std::FILE* err) {
  Options options;
  if (const int status = ParseOptions(argc, argv, out, err, options); status >= 0) return status;

  int status = kExitOk;
  JsonWriter json(out);
  bool first = true;
  for (const std::string& name : options.files) {
    if (options.json) {
      FileChat f{name, Read(name)};
      if (options.lowercase) Lowercase(f.result.messages);
      if (!f.result.status.ok()) {
        ReportFailure(err, name, f.result.status);
        status = kExitFailed;
      }
      json.Add(f);
      continue;
    }
    std::string header;
    if (options.files.size() > 1)
      header = std::string(first ? "" : "\n") + "==> " + (name == "-" ? "standard input" : name) + " <==\n";
    TextOutput text(out, options.lowercase, std::move(header));
    ExtractOptions extract;
    extract.on_sent = [&text](std::vector<Message>& sent) { text.Add(sent); };
    ChatResult result = Read(name, extract);
    if (result.status.ok()) {
      text.Add(result.messages);
      text.Write();
    } else {
      ReportFailure(err, name, result.status);
      status = kExitFailed;
    }
    if (text.started()) first = false;
  }
  if (options.json) json.Finish();
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "%s: write error: %s\n", kProgram, std::strerror(errno));
    return kExitFailed;
  }
  return status;
}

}  // namespace murvik
