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

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
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

// Standard input for a run, from its last argument when that starts with
// '<': "<NAME" a pipe that `writer` writes the file NAME's bytes to in pieces
// that cut pairs and records, with pauses between them (the end read never
// waits; on Windows it is in text mode, but the core reads its handle), or
// the folder NAME itself; "<!" a socket written so, whose other end then
// goes with data unread: a read error after its messages were handed over.
// Without such an argument, an empty pipe.
int StandardInput(const std::string& from, std::jthread& writer) {
  const std::string name = from.substr(1);
  int ends[2];
#ifdef _WIN32
  EXPECT_EQ(_pipe(ends, 1 << 16, _O_TEXT), 0);
  _setmode(ends[1], _O_BINARY);  // the bytes go in as they are
#else
  signal(SIGPIPE, SIG_IGN);  // a run that stops reading ends the writer
  if (fs::is_directory(name)) return open(name.c_str(), O_RDONLY);
  EXPECT_EQ(from == "<!" ? socketpair(AF_UNIX, SOCK_STREAM, 0, ends) : pipe(ends), 0);
  EXPECT_EQ(from == "<!" ? write(ends[0], "x", 1) : 1, 1);  // unread when ends[1] closes
  fcntl(ends[0], F_SETFL, O_NONBLOCK);
#endif
  const std::string bytes = from == "<!" ? ReplayWriter().Keys("~[GL HF][GO][GO][GO]").Take() : Read(name.c_str());
  writer = std::jthread([bytes, w = ends[1]] {
    for (size_t at = 0; at < bytes.size(); at += 7) {
      if (write(w, &bytes[at], static_cast<unsigned>(std::min<size_t>(7, bytes.size() - at))) <= 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    close(w);
  });
  return ends[0];
}

struct ChatRun {
  int status;
  std::string out, err;
};

// murvik-chat with `args`, the last of which may say where standard input
// comes from (see StandardInput).
ChatRun Chat(Args args) {
  const bool piped = !args.empty() && args.back()[0] == '<';
  std::jthread writer;  // joined on return, once standard input is closed
  const int in = StandardInput(piped ? args.back() : "<empty.rep", writer);
  args.resize(args.size() - piped);
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
const std::string kMissing = "No such file or directory", kReset = "read error: Connection reset by peer",
                  kDevice = "is a character device, not a regular file";
// a.rep's chat: start codes in records 5, 15 and 24, the last message open.
const std::string kChatA = "GL HF\nGO, GO.\nLEFT OPEN\n";
// A message in JSON Lines, in a file named `file`; by default b.rep's.
std::string JsonLine(const std::string& file, const std::string& text = "B", int offset = 309, bool sent = true) {
  return "{\"file\": \"" + file + "\", \"text\": \"" + text + "\", \"offset\": " + std::to_string(offset) +
         ", \"sent\": " + (sent ? "true}\n" : "false}\n");
}

// Each test runs in a folder of its own, holding the replays.
class ChatCommand : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_);
    fs::current_path(folder_);
    // a.rep holds bytes that a runtime's text mode would change, in its
    // header and in a record: CR LF (read as LF) and Ctrl+Z (read as the end).
    std::string a = ReplayWriter().Keys("~~~~~[GL HF]~~~[GO, GO.][LEFT OPEN").Take();
    Write("a.rep", a.replace(0, 3, "\r\n\x1A").replace(300, 2, "\r\n"));
    Write("b.rep", ReplayWriter().Keys("~~~[B]~~").Take());
    Write("empties.rep", ReplayWriter().Keys("[A][][]~[").Take());
    Write("blank.rep", ReplayWriter().Keys("[][]~[").Take());
    Write("keys.rep", ReplayWriter().Keys("[ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789/.-;,]").Take());
    Write("open.rep", ReplayWriter().Keys("[OPEN").Take());
    Write("-", ReplayWriter().Keys("[DASH]").Take());  // a file, named as standard input is
    Write("long.rep", ReplayWriter().Keys("[" + std::string(1 << 20, 'A')).Take());
    // 48 MiB of records without a key (a hole of zeros) before its message:
    // a worker is still reading it when its turn comes.
    Write("late.rep", ReplayWriter().Take());
    fs::resize_file("late.rep", 273 + (12 << 22));
    std::ofstream("late.rep", std::ios::binary | std::ios::app) << ReplayWriter().Say("LATE").Take().substr(273);
    Write("quiet.rep", SynthesizedReplay("noise", 5000, 1));
    Write("empty.rep", "");
#ifndef _WIN32
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
  const Case cases[] = {
      {{"a.rep"}, ok, kChatA},
      // Every letter lowered, Z included, and nothing else; options after files.
      {{"keys.rep", "--lowercase"}, ok, "abcdefghijklmnopqrstuvwxyz 0123456789/.-;,\n"},
      {{"quiet.rep"}, ok, ""},
      // An empty message is an empty line, but for an open last one, after
      // text or in a chat of empty messages only.
      {{"empties.rep"}, ok, "A\n\n\n"},
      {{"blank.rep"}, ok, "\n\n"},
      {{"-", "<a.rep"}, ok, kChatA},
      // A header for each file, a blank line between; standard error is no
      // terminal, so no progress line. Standard input is read by the caller
      // in its turn (no worker opens the file named -), the files after it
      // are read ahead by workers; a.rep takes the slot standard input left,
      // late.rep the one the first b.rep left.
      {{"--progress", "-", "b.rep", "a.rep", "b.rep", "a.rep", "late.rep", "<b.rep"},
       ok,
       "==> standard input <==\nB\n\n" + b + "\n" + a + b + "\n" + a + "==> late.rep <==\nLATE\n"},
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
       JsonLine("b.rep") + R"({"file": "missing", "error": "No such file or directory"})" + "\n" + JsonLine("-"),
       Why("missing", kMissing)},
      // A message still open at the end is not sent, short or long.
      {{"--jsonl", "open.rep"}, ok, JsonLine("open.rep", "OPEN", 273, false)},
      {{"--jsonl", "long.rep"}, ok, JsonLine("long.rep", std::string(1 << 20, 'A'), 273, false)},
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
      {{"/dev/zero", "/dev/null"}, failed, "", Why("/dev/zero", kDevice) + Why("/dev/null", kDevice)},
      // A replay that fails part-way, its first messages handed over: none of
      // them show, and the file after it shows its own chat only. (The JSON
      // as it is laid out.)
      {{"-", "b.rep", "<!"}, failed, b, Why("-", kReset)},
      {{"--jsonl", "-", "b.rep", "<!"},
       failed,
       R"({"file": "-", "error": ")" + kReset + "\"}\n" + JsonLine("b.rep"),
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
    const ChatRun run = Chat(c.args);
    const std::string form = c.args.empty() ? "" : c.args[0];
    const bool json = form == "--json", jsonl = form == "--jsonl";
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(json && c.out.find('\n') == std::string::npos ? Squeezed(run.out) : run.out,
              json || jsonl ? c.out : WithLineBreaks(c.out));
    EXPECT_EQ(run.err, c.err);
  }
  // --help names every option and --version the program; both end their
  // lines as the text does.
  const ChatRun help = Chat({"--help"}), version = Chat({"--version"});
  EXPECT_EQ(help.status + version.status, kExitOk);
  EXPECT_EQ(help.out.substr(0, help.out.find(kLineBreak)), "Usage: murvik-chat [OPTION]... FILE...");
  for (const char* option :
       {" -l, ", " --lowercase ", " --json ", " --jsonl ", " --progress ", " -h, ", " --help ", " --version "})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  EXPECT_EQ(version.out.rfind("murvik-chat (Murvik) ", 0), 0u);
  std::string lf = help.out + version.out;
  std::erase(lf, '\r');
  EXPECT_EQ(WithLineBreaks(lf), help.out + version.out);
}

}  // namespace
}  // namespace murvik
