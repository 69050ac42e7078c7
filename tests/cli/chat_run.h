// murvik-chat run as a process, as the command-line tests run it: arguments,
// standard streams, exit status, what it wrote, and its peak memory if asked.
#ifndef MURVIK_TESTS_CLI_CHAT_RUN_H_
#define MURVIK_TESTS_CLI_CHAT_RUN_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "replay_writer.h"
#include "temp_dir_test.h"

namespace murvik::testing {

struct Ran {
  int status = -1;    // exit status, or 128 + the signal that ended it, as a shell says
  long peak_kib = 0;  // peak memory, when run under GNU time
  std::string out, err;
};

// How a run departs from the plain one: fds for standard input (else
// /dev/null) and output (else captured), and a program to run it through.
struct How {
  int in = -1, out = -1;
  std::vector<std::string> prefix = {};
};

// A replay holding the one message `text`.
inline std::string Saying(const std::string& text, uint32_t seed = 1) {
  return ReplayWriter(seed).Noise(3).Say(text).Noise(2).Take();
}

class ChatTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    measured_ = {"/usr/bin/time", "-f", "%M", "-o", dir_ + "/.rss"};
  }
  void TearDown() override {
    for (int fd : fds_) close(fd);
    TempDirTest::TearDown();
  }

  // Close-on-exec, so that no run inherits it unasked; closed after the test.
  int Open(const std::string& path, int flags = O_RDONLY) {
    fds_.push_back(open(path.c_str(), flags | O_CLOEXEC, 0600));
    EXPECT_GE(fds_.back(), 0) << path << ": " << std::strerror(errno);
    return fds_.back();
  }

  pid_t Start(const std::vector<std::string>& args, How how = {}) {
    std::vector<std::string> all = how.prefix;
    all.push_back(MURVIK_CHAT);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int write = O_WRONLY | O_CREAT | O_TRUNC;
    const int fds[3] = {how.in < 0 ? Open("/dev/null") : how.in, how.out < 0 ? Open(dir_ + "/.out", write) : how.out,
                        Open(dir_ + "/.err", write)};
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (int i = 0; i < 3; ++i) dup2(fds[i], i);  // in the child, of a single-threaded test
    execv(argv[0], argv.data());
    _exit(127);
  }

  Ran Finish(pid_t pid) {
    int wstatus = 0;
    EXPECT_EQ(waitpid(pid, &wstatus, 0), pid);
    Ran r{WIFSIGNALED(wstatus) ? 128 + WTERMSIG(wstatus) : WEXITSTATUS(wstatus), 0, Take("/.out"), Take("/.err")};
    // GNU time writes the peak last, after a line on a failing status.
    std::istringstream rss(Take("/.rss"));
    for (std::string line; std::getline(rss, line);) r.peak_kib = std::atol(line.c_str());
    return r;
  }
  // What a file of the run holds; the file is gone after.
  std::string Take(const std::string& name) {
    std::stringstream s;
    s << std::ifstream(dir_ + name, std::ios::binary).rdbuf();
    std::filesystem::remove(dir_ + name);
    return s.str();
  }

  Ran Chat(const std::vector<std::string>& args, How how = {}) { return Finish(Start(args, how)); }

  std::vector<std::string> measured_;  // a prefix that measures peak memory
  std::vector<int> fds_;
};

}  // namespace murvik::testing

#endif  // MURVIK_TESTS_CLI_CHAT_RUN_H_
