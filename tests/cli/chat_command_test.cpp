// murvik-chat run as a process: what scripts see of it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "replay_writer.h"

namespace {

namespace fs = std::filesystem;

struct Ran {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ChatCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/murvik-cli-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Runs murvik-chat with `args`, standard input read from `stdin_path`.
  Ran Chat(std::vector<std::string> args, const std::string& stdin_path = "/dev/null") {
    args.insert(args.begin(), MURVIK_CHAT);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out = dir_ + "/.out", err = dir_ + "/.err";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, stdin_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid;
    Ran r;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
  }

  std::string Replay() {
    murvik::ReplayWriter w;
    w.Noise(5).Say("GL HF").Noise(3).Say("Go, go.").Start().Type("Left open");
    return w.Take();
  }

  std::string dir_;
};

TEST_F(ChatCommandTest, PrintsOneLinePerMessage) {
  const Ran r = Chat({Write("a.rep", Replay())});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "GL HF\nGO, GO.\nLEFT OPEN\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Chat({"--lowercase", dir_ + "/a.rep"}).out, "gl hf\ngo, go.\nleft open\n");
  EXPECT_EQ(Chat({dir_ + "/a.rep", "-l"}).out, "gl hf\ngo, go.\nleft open\n");
  murvik::ReplayWriter none;
  EXPECT_EQ(Chat({Write("none.rep", none.Noise(9).Take())}).out, "");
}

TEST_F(ChatCommandTest, ReadsStandardInput) {
  const Ran r = Chat({"-"}, Write("a.rep", Replay()));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "GL HF\nGO, GO.\nLEFT OPEN\n");
  const Ran empty = Chat({"-"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "murvik-chat: -: empty input\n");
}

TEST_F(ChatCommandTest, HeadsEachFileAndGoesOnPastFailures) {
  murvik::ReplayWriter w(2);
  const std::string b = Write("b.rep", w.Say("B").Take());
  const std::string a = Write("a.rep", Replay());
  const std::string missing = dir_ + "/missing.rep";
  const Ran r = Chat({a, missing, "-", b}, b);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "==> " + a + " <==\nGL HF\nGO, GO.\nLEFT OPEN\n\n==> standard input <==\nB\n\n==> " +
                       b + " <==\nB\n");
  EXPECT_EQ(r.err, "murvik-chat: " + missing + ": No such file or directory\n");
}

TEST_F(ChatCommandTest, WritesAChatLargerThanItHoldsTheSame) {
  // About 1.5 MB of chat, which murvik-chat writes as it reads rather than
  // holding it whole, from a file (read by two threads) and from a pipe.
  murvik::ReplayWriter w(4);
  std::string lines;
  for (int i = 0; i < 50000; ++i) {
    const std::string line = "Message " + std::to_string(i) + ", all in order.";
    w.Noise(i % 3).Say(line);
    lines += line + "\n";
  }
  w.Start().Type("still typing");
  lines += "still typing\n";
  const std::string big = Write("big.rep", w.Take());
  murvik::ReplayWriter s(5);
  const std::string small = Write("small.rep", s.Say("B").Take());

  std::string upper = lines;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const Ran r = Chat({small, big, "-", small}, big);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "==> " + small + " <==\nB\n\n==> " + big + " <==\n" + upper +
                       "\n==> standard input <==\n" + upper + "\n==> " + small + " <==\nB\n");
  std::string lower = lines;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(Chat({"-l", big}).out, lower);
}

TEST_F(ChatCommandTest, ReportsEachKindOfFailure) {
  mkfifo((dir_ + "/fifo").c_str(), 0600);
  Write("empty.rep", "");
  struct Case {
    std::string path, err;
  };
  const Case cases[] = {
      {dir_, "is a directory"},
      {dir_ + "/fifo", "is a FIFO, not a regular file"},
      {dir_ + "/empty.rep", "empty file"},
      {dir_ + "/nope", "No such file or directory"},
      {"", "empty path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Ran r = Chat({c.path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "murvik-chat: " + c.path + ": " + c.err + "\n");
  }
}

TEST_F(ChatCommandTest, WritesJsonThatParsesBack) {
  const std::string a = Write("a.rep", Replay());
  const std::string odd = Write("not utf-8 \xff\xfe.rep", Replay());
  const Ran r = Chat({"--json", "-l", a, dir_ + "/nope", odd});
  EXPECT_EQ(r.status, 1);
  const nlohmann::json j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[0]["file"], a);
  EXPECT_EQ(j[0]["ok"], true);
  const nlohmann::json& m = j[0]["messages"];
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0]["text"], "gl hf");
  EXPECT_EQ(m[0]["offset"], 273 + 5 * 12);
  EXPECT_EQ(m[0]["sent"], true);
  EXPECT_EQ(m[2]["text"], "left open");
  EXPECT_EQ(m[2]["sent"], false);
  EXPECT_EQ(j[1]["ok"], false);
  EXPECT_EQ(j[1]["error"], "No such file or directory");
  EXPECT_FALSE(j[1].contains("messages"));
  EXPECT_EQ(j[2]["ok"], true);
  EXPECT_EQ(j[2]["file"], dir_ + "/not utf-8 \xEF\xBF\xBD\xEF\xBF\xBD.rep");
}

TEST_F(ChatCommandTest, AnswersHelpVersionAndUsageErrors) {
  const Ran help = Chat({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: murvik-chat [OPTION]... FILE...\n", 0), 0u);
  const Ran version = Chat({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "murvik-chat (Murvik) 0.01");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-l"}, {"--bogus", "x"}, {"-q", "x"}}) {
    const Ran r = Chat(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Try 'murvik-chat --help'"), std::string::npos) << r.err;
  }
  // After "--", a name that starts with a dash is a file.
  const Ran dash = Chat({"--", "-l"});
  EXPECT_EQ(dash.status, 1);
  EXPECT_EQ(dash.err, "murvik-chat: -l: No such file or directory\n");
}

}  // namespace
