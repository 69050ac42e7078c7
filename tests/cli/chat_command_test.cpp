// murvik-chat run in this process through RunChatCommand, its chat and
// messages caught in files: the command line, the forms, the batch and the
// failures, on every system. What needs a process of its own (peak memory, a
// FIFO, /dev/full, a terminal, other programs reading the output) is in the
// scripts beside this file.
#include "cli/chat_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cli/platform.h"
#include "replay_writer.h"

namespace murvik {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

void Write(const std::string& name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }
void MoveDescriptor(int from, int to) { dup2(from, to), close(from); }

std::string Read(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Standard input for a run: "<NAME" the file NAME; "<!" a socket holding a
// few messages, whose other end went with data unread: a read error after
// the messages were handed over.
int StandardInput(const std::string& from) {
#ifndef _WIN32
  if (from == "<!") {
    const std::string replay = ReplayWriter().Keys("~[GL HF][GO][GO][GO]").Take();
    int ends[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    EXPECT_EQ(write(ends[1], "x", 1) + write(ends[0], replay.data(), replay.size()), 1 + ssize_t(replay.size()));
    close(ends[0]);
    return ends[1];
  }
#endif
  return open(from.c_str() + 1, O_RDONLY);  // read as it is: the core reads the file's handle
}

struct ChatRun {
  int status;
  std::string out, err;
};

// murvik-chat with `args`, standard input from `in` (a descriptor it takes).
ChatRun Chat(Args args, int in = StandardInput("<empty.rep")) {
  args.insert(args.begin(), "murvik-chat");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int saved = dup(0);
  MoveDescriptor(in, 0);
  std::FILE *out = std::fopen("out", "wb"), *err = std::fopen("err", "wb");
  const int status = RunChatCommand(static_cast<int>(args.size()), argv.data(), out, err);
  MoveDescriptor(saved, 0);
  std::fclose(out), std::fclose(err);
  return {status, Read("out"), Read("err")};
}

// JSON without the line breaks and indents of its layout.
std::string Squeezed(std::string json) {
  for (size_t at; (at = json.find('\n')) != std::string::npos;)
    json.erase(at, json.find_first_not_of(' ', at + 1) - at);
  return json;
}

std::string Why(const std::string& file, const std::string& why) { return "murvik-chat: " + file + ": " + why + "\n"; }
std::string Usage(const std::string& what) {
  return "murvik-chat: " + what + "\nTry 'murvik-chat --help' for more information.\n";
}
const std::string kMissing = "No such file or directory", kReset = "read error: Connection reset by peer";
// a.rep's chat: start codes in records 5, 15 and 24, the last message open.
const std::string kChatA = "GL HF\nGO, GO.\nLEFT OPEN\n", kLowerA = "gl hf\ngo, go.\nleft open\n";
// b.rep's chat in JSON Lines, named `file`.
std::string JsonLinesB(const std::string& file) {
  return "{\"file\": \"" + file + "\", \"text\": \"B\", \"offset\": 309, \"sent\": true}\n";
}

// Each test runs in a folder of its own, holding the replays.
class ChatCommand : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_);
    fs::current_path(folder_);
    Write("a.rep", ReplayWriter().Keys("~~~~~[GL HF]~~~[GO, GO.][LEFT OPEN").Take());
    Write("b.rep", ReplayWriter().Keys("~~~[B]~~").Take());
    Write("empties.rep", ReplayWriter().Keys("[A][][]~[").Take());
    Write("blanks.rep", ReplayWriter().Keys("[][][").Take());
    Write("quiet.rep", SynthesizedReplay("noise", 5000, 1));
    Write("empty.rep", "");
#ifndef _WIN32
    // Names are used as given: the trimmed twins hold other chat.
    for (const char* name : {"leading", "trailing", "both"}) Write(name, ReplayWriter().Keys("[TRIMMED]").Take());
    for (const char* name : {" leading", "trailing ", "\tboth\t", "new\nline", "100%s%n", "bad \xc3\x28 \xff"})
      Write(name, ReplayWriter().Keys("[ODD]").Take());
    Write("q\"\\\n\t\xff.rep", ReplayWriter().Keys("[ODD]").Take());
    fs::create_symlink("a.rep", "link");
    fs::create_symlink("nowhere", "dangling");
#endif
  }
  void TearDown() override {
    fs::current_path(home_);
    fs::remove_all(folder_);
  }

  const fs::path home_ = fs::current_path(),
                 folder_ = fs::temp_directory_path() / ("murvik-chat-test-" + std::to_string(std::random_device()()));
};

// A run of murvik-chat: its arguments, the last of which may say where
// standard input comes from (see StandardInput), and what it gives: text with
// its line breaks as on Linux, JSON on one line without its layout.
struct Case {
  Args args;
  int status;
  std::string out, err = "";
};

TEST_F(ChatCommand, PrintsTheChatOrSaysWhyNot) {
  const int ok = kExitOk, failed = kExitFailed, usage = kExitUsage;
  const std::string a = "==> a.rep <==\n" + kChatA + "\n", b = "==> b.rep <==\nB\n";
  const std::string device = "is a character device, not a regular file";
  const Case cases[] = {
      {{"a.rep"}, ok, kChatA},
      {{"--lowercase", "a.rep"}, ok, kLowerA},
      {{"a.rep", "-l"}, ok, kLowerA},
      {{"quiet.rep"}, ok, ""},
      // An empty message is an empty line, but for an open last one.
      {{"empties.rep"}, ok, "A\n\n\n"},
      {{"blanks.rep"}, ok, "\n\n"},
      {{"-", "<a.rep"}, ok, kChatA},
      // A header for each file, a blank line between; standard error is no
      // terminal, so no progress line.
      {{"--progress", "a.rep", "b.rep"}, ok, a + b},
      {{"-"}, failed, "", Why("-", "empty input")},
      {{""}, failed, "", Why("", "empty path")},
      {{"empty.rep"}, failed, "", Why("empty.rep", "empty file")},
      {{"."}, failed, "", Why(".", "is a directory")},
      {{"--", "-l"}, failed, "", Why("-l", kMissing)},
      {{}, usage, "", Usage("missing file operand")},
      {{"--bogus", "a.rep"}, usage, "", Usage("unrecognized option '--bogus'")},
      {{"-q", "a.rep"}, usage, "", Usage("invalid option -- 'q'")},
      {{"--jsonl", "--json", "a.rep"}, usage, "", Usage("--json and --jsonl cannot be used together")},
      // JSON: every field; a name's bytes that are no UTF-8 replaced, a
      // backslash escaped; the array closed after a failed last file.
      {{"--json", "-l", "a.rep", "missing \xff\\x.rep"},
       failed,
       R"([{"file": "a.rep","ok": true,"messages": [{"text": "gl hf","offset": 333,"sent": true},)"
       R"({"text": "go, go.","offset": 453,"sent": true},{"text": "left open","offset": 561,"sent": false}]},)"
       R"({"file": "missing �\\x.rep","ok": false,"error": "No such file or directory"}])",
       Why("missing \xff\\x.rep", kMissing)},
      {{"--json", "quiet.rep"}, ok, R"([{"file": "quiet.rep","ok": true,"messages": []}])"},
      {{"--jsonl", "b.rep", "missing", "-", "<b.rep"},
       failed,
       JsonLinesB("b.rep") + R"({"file": "missing", "error": "No such file or directory"})" + "\n" + JsonLinesB("-"),
       Why("missing", kMissing)},
#ifndef _WIN32
      {{" leading", "trailing ", "\tboth\t", "new\nline", "100%s%n", "bad \xc3\x28 \xff"},
       ok,
       "==>  leading <==\nODD\n\n==> trailing  <==\nODD\n\n==> \tboth\t <==\nODD\n\n==> new\nline <==\nODD\n\n"
       "==> 100%s%n <==\nODD\n\n==> bad \xc3\x28 \xff <==\nODD\n"},
      {{"--jsonl", "q\"\\\n\t\xff.rep"},
       ok,
       R"({"file": "q\"\\\n\t�.rep", "text": "ODD", "offset": 273, "sent": true})" + std::string("\n")},
      {{"link"}, ok, kChatA},
      {{"dangling"}, failed, "", Why("dangling", kMissing)},
      {{"-", "<."}, failed, "", Why("-", "read error: Is a directory")},
      {{"/dev/zero", "/dev/null"}, failed, "", Why("/dev/zero", device) + Why("/dev/null", device)},
      // A replay that fails part-way, its first messages handed over: none of
      // them show, and the file after it shows its own chat only. (The JSON
      // as it is laid out.)
      {{"-", "b.rep", "<!"}, failed, b, Why("-", kReset)},
      {{"--jsonl", "-", "b.rep", "<!"},
       failed,
       R"({"file": "-", "error": ")" + kReset + "\"}\n" + JsonLinesB("b.rep"),
       Why("-", kReset)},
      {{"--json", "-", "b.rep", "<!"},
       failed,
       "[\n  {\n    \"file\": \"-\",\n    \"ok\": false,\n    \"error\": \"" + kReset +
           "\"\n  },\n  {\n    \"file\": "
           "\"b.rep\",\n    \"ok\": true,\n    \"messages\": [\n      {\n        \"text\": \"B\",\n        \"offset\": "
           "309,\n        \"sent\": true\n      }\n    ]\n  }\n]\n",
       Why("-", kReset)},
#endif
  };
  for (const Case& c : cases) {
    std::string line = "murvik-chat";
    for (const std::string& arg : c.args) line += " " + arg;
    SCOPED_TRACE(line);
    const bool piped = !c.args.empty() && c.args.back()[0] == '<';
    const Args args(c.args.begin(), c.args.end() - piped);
    const ChatRun run = Chat(args, StandardInput(piped ? c.args.back() : "<empty.rep"));
    const bool json = !args.empty() && args[0] == "--json", jsonl = !args.empty() && args[0] == "--jsonl";
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(json && c.out.find('\n') == std::string::npos ? Squeezed(run.out) : run.out,
              json || jsonl ? c.out : WithLineBreaks(c.out));
    EXPECT_EQ(run.err, c.err);
  }
}

// --help names every option and --version the program; both end their lines
// as the text does.
TEST_F(ChatCommand, TellsItsOptionsAndVersion) {
  const ChatRun help = Chat({"--help"}), version = Chat({"--version"});
  EXPECT_EQ(help.status + version.status, kExitOk);
  EXPECT_EQ(help.out.substr(0, help.out.find(kLineBreak)), "Usage: murvik-chat [OPTION]... FILE...");
  EXPECT_NE(help.out.find(" --version "), std::string::npos);
  for (const char* option : {" -l, ", " --lowercase ", " --json ", " --jsonl ", " --progress ", " -h, ", " --help "})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  EXPECT_EQ(version.out.rfind("murvik-chat (Murvik) ", 0), 0u);
  std::string lf = help.out + version.out;
  std::erase(lf, '\r');
  EXPECT_EQ(WithLineBreaks(lf), help.out + version.out);
}

// Many files at once, read a few ahead on threads, give what the same files
// give one at a time, joined, in every form: two chats of over a MiB stream
// while others are read ahead; a missing and an empty file and standard input
// are among them.
TEST_F(ChatCommand, GivesABatchAsItsFilesOneAtATime) {
  Args files = {"missing.rep", "g1.rep", "c1.rep", "c2.rep", "g2.rep", "-", "empty.rep"};
  for (uint32_t i = 1; i <= 30; ++i) {
    Write("g" + std::to_string(i) + ".rep", SynthesizedReplay("game", 2000 + i * 7919 % 300000, i));
    if (i > 2) files.push_back("g" + std::to_string(i) + ".rep");
  }
  for (uint32_t i = 1; i <= 2; ++i) Write("c" + std::to_string(i) + ".rep", SynthesizedReplay("chat", 9000000, i));
  for (const Args& form : std::vector<Args>{{}, {"--json"}, {"--jsonl", "-l"}}) {
    const bool json = form.size() == 1;
    ChatRun joined{kExitOk, json ? "[\n" : "", ""};
    for (const std::string& file : files) {
      Args args = form;
      args.push_back(file);
      const ChatRun one = Chat(args, StandardInput("<a.rep"));
      joined.status = std::max(joined.status, one.status);
      joined.err += one.err;
      if (form.empty() && one.status == kExitOk) {
        joined.out += joined.out.empty() ? "" : std::string(kLineBreak);
        joined.out += "==> " + (file == "-" ? "standard input" : file) + " <==" + std::string(kLineBreak) + one.out;
      } else {
        joined.out += json ? (joined.out.size() > 2 ? ",\n" : "") + one.out.substr(2, one.out.size() - 5) : one.out;
      }
    }
    joined.out += json ? "\n]\n" : "";
    Args args = form;
    args.insert(args.end(), files.begin(), files.end());
    const ChatRun batch = Chat(args, StandardInput("<a.rep"));
    EXPECT_EQ(batch.status, joined.status);
    EXPECT_EQ(batch.out, joined.out);
    EXPECT_EQ(batch.err, joined.err);
  }
}

}  // namespace
}  // namespace murvik
