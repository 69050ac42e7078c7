#include "cli/chat_command.h"

#include <errno.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/batch.h"
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
    "      --jsonl      print JSON Lines as the FILEs are read: one object per\n"
    "                   message, {\"file\": FILE, \"text\": ..., \"offset\": ...,\n"
    "                   \"sent\": ...}, and {\"file\": FILE, \"error\": REASON} for a\n"
    "                   FILE that could not be read; FILE - is named \"-\"\n"
    "      --progress   show files done, bytes read, rate and time left on one\n"
    "                   line of standard error, redrawn in place, when it is a\n"
    "                   terminal\n"
    "  -h, --help       display this help and exit\n"
    "      --version    output version information and exit\n"
    "\n"
    "With several FILEs, each file's chat is preceded by a header giving its name.\n"
    "Several FILEs are read on up to four cores, a few files ahead; the output\n"
    "keeps their order.\n"
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
  bool jsonl = false;
  bool progress = false;
  std::vector<std::string> files;
};

struct FileChat {
  std::string name;
  ChatResult result;
};

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

// A JSON string, with bytes that are not UTF-8 (file names can hold any)
// replaced by U+FFFD.
std::string JsonString(const std::string& s) {
  return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Whether every character a key types stands for itself in a JSON string.
constexpr bool KeysNeedNoEscape() {
  for (const KeyCode& k : kKeyCodes)
    if (k.action == KeyAction::kChar && (k.ch == '"' || k.ch == '\\' || k.ch < 0x20)) return false;
  return true;
}
static_assert(KeysNeedNoEscape(), "the chat's text is written into JSON Lines as it is");

// Writes one JSON Lines object per message; `file` is the file's JSON name.
// The text goes out as it is, which on a chat of many messages is several
// times quicker than building a JSON string for each.
void WriteJsonLines(std::FILE* out, const std::string& file, const std::vector<Message>& messages) {
  for (const Message& m : messages)
    std::fprintf(out, "{\"file\": %s, \"text\": \"%s\", \"offset\": %llu, \"sent\": %s}\n", file.c_str(),
                 m.text.c_str(), static_cast<unsigned long long>(m.offset), m.sent ? "true" : "false");
}

// The text or JSON Lines output of one file. Holds the chat, and writes it
// (after the file's header) when the file was read; a chat whose messages
// take more than kHoldBytes is written as it comes instead, so that memory
// stays bounded whatever the chat's size. A file that fails before then
// prints nothing.
class FileOutput {
 public:
  static constexpr size_t kHoldBytes = 1 << 20;

  // With a `jsonl_file` (the file's JSON name), writes JSON Lines.
  FileOutput(std::FILE* out, bool lowercase, std::string header, std::string jsonl_file)
      : out_(out), lowercase_(lowercase), header_(std::move(header)), jsonl_file_(std::move(jsonl_file)) {}

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
    if (jsonl_file_.empty())
      WriteText(out_, held_);
    else
      WriteJsonLines(out_, jsonl_file_, held_);
    held_.clear();
    held_bytes_ = 0;
  }

  // Whether anything was written.
  bool started() const { return started_; }

 private:
  std::FILE* const out_;
  const bool lowercase_;
  const std::string header_;
  const std::string jsonl_file_;
  std::vector<Message> held_;
  size_t held_bytes_ = 0;
  bool started_ = false;
};

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

// The --progress line on a terminal: files done of all, bytes read, rate
// and time left, redrawn in place at most five times a second.
class Progress {
 public:
  // Shows nothing unless `wanted` and `err` is a terminal.
  Progress(std::FILE* out, std::FILE* err, const std::vector<std::string>& files, bool wanted)
      : out_(out), err_(err), active_(wanted && isatty(fileno(err))), out_is_tty_(isatty(fileno(out))) {
    if (!active_) return;
    for (const std::string& f : files) {
      struct stat st;
      const bool sized = f != "-" && stat(f.c_str(), &st) == 0 && S_ISREG(st.st_mode);
      sizes_.push_back(sized ? static_cast<uint64_t>(st.st_size) : 0);
      total_ += sizes_.back();
    }
  }
  ~Progress() { Erase(); }

  // Counts file `i` as read, and redraws the line when it is time.
  void Done(size_t i) {
    if (!active_) return;
    ++done_;
    bytes_ += sizes_[i];
    const Clock::time_point now = Clock::now();
    if (done_ > 1 && now - drawn_ < std::chrono::milliseconds(200)) return;
    drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(bytes_) / seconds : 0;
    char left[32] = "?";
    if (rate > 0) {
      const auto s = static_cast<unsigned long long>(static_cast<double>(total_ - bytes_) / rate);
      std::snprintf(left, sizeof left, "%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
    }
    if (out_is_tty_) std::fflush(out_);  // the chat above the line
    std::fprintf(err_, "\r%zu/%zu files, %.1f MB, %.1f MB/s, %s left\033[K", done_, sizes_.size(), bytes_ / 1e6,
                 rate / 1e6, left);
    std::fflush(err_);
    shown_ = true;
  }

  // Takes the line away, before anything else goes to `err`.
  void Erase() {
    if (!shown_) return;
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
    shown_ = false;
  }
  // Takes the line away before a file's chat goes to a terminal.
  void BeforeOutput() {
    if (out_is_tty_) Erase();
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* const out_;
  std::FILE* const err_;
  const bool active_, out_is_tty_;
  std::vector<uint64_t> sizes_;  // of each file, 0 when not known
  uint64_t total_ = 0, bytes_ = 0;
  size_t done_ = 0;
  const Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_;
  bool shown_ = false;
};

// Parses the command line into `options`; returns -1 to go on, or the exit
// status to stop with.
int ParseOptions(int argc, char** argv, std::FILE* out, std::FILE* err, Options& options) {
  enum { kJson = 256, kJsonLines, kProgress, kVersionOption };
  static const option kLong[] = {
      {"lowercase", no_argument, nullptr, 'l'},
      {"json", no_argument, nullptr, kJson},
      {"jsonl", no_argument, nullptr, kJsonLines},
      {"progress", no_argument, nullptr, kProgress},
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
      case kJsonLines:
        options.jsonl = true;
        break;
      case kProgress:
        options.progress = true;
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
  const char* wrong = nullptr;
  if (options.json && options.jsonl)
    wrong = "--json and --jsonl cannot be used together";
  else if (options.files.empty())
    wrong = "missing file operand";
  if (wrong != nullptr) {
    std::fprintf(err, "%s: %s\n", kProgram, wrong);
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
  BatchReader reader(options.files, BatchReader::Workers(options.files.size()));
  Progress progress(out, err, options.files, options.progress);
  // Says on `err`, in file order, why a file could not be read.
  auto report_failure = [&](const std::string& name, const Status& failure) {
    progress.Erase();
    std::fprintf(err, "%s: %s: %s\n", kProgram, name.c_str(), failure.reason().c_str());
    status = kExitFailed;
  };
  bool first = true;
  for (size_t i = 0; i < options.files.size(); ++i) {
    const std::string& name = options.files[i];
    progress.BeforeOutput();
    if (options.json) {
      FileChat f{name, {}};
      std::vector<Message> sent;
      f.result = reader.Take(i, [&sent](std::vector<Message>& batch) {
        sent.insert(sent.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
      });
      if (f.result.status.ok())
        f.result.messages.insert(f.result.messages.begin(), std::make_move_iterator(sent.begin()),
                                 std::make_move_iterator(sent.end()));
      if (options.lowercase) Lowercase(f.result.messages);
      if (!f.result.status.ok()) report_failure(name, f.result.status);
      json.Add(f);
      progress.Done(i);
      continue;
    }
    std::string header;
    if (options.files.size() > 1 && !options.jsonl)
      header = std::string(first ? "" : "\n") + "==> " + (name == "-" ? "standard input" : name) + " <==\n";
    const std::string json_name = options.jsonl ? JsonString(name) : "";
    FileOutput output(out, options.lowercase, std::move(header), json_name);
    ChatResult result = reader.Take(i, [&output](std::vector<Message>& sent) { output.Add(sent); });
    if (result.status.ok()) {
      output.Add(result.messages);
      output.Write();
    } else {
      report_failure(name, result.status);
      if (options.jsonl)
        std::fprintf(out, "{\"file\": %s, \"error\": %s}\n", json_name.c_str(),
                     JsonString(result.status.reason()).c_str());
    }
    if (output.started()) first = false;
    progress.Done(i);
  }
  if (options.json) json.Finish();
  progress.Erase();
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "%s: write error: %s\n", kProgram, std::strerror(errno));
    return kExitFailed;
  }
  return status;
}

}  // namespace murvik
