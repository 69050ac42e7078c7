// murvik-chat run as a process against hostile inputs and outputs: paths that
// are not replays, odd names, huge and changing files, awkward standard input,
// and output that cannot be written. None may crash it, hang it, or make it
// report success for what it could not do.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "extract/keycodes.h"
#include "replay_writer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A run that takes longer than this is taken to hang; it is killed and fails.
constexpr auto kHangLimit = std::chrono::seconds(120);
// Stands for a standard stream the child starts with closed.
constexpr int kClosed = -1;
// Stands for the test's output file, as the child's standard output.
constexpr int kOutFile = -2;

// Whether this build, murvik-chat with it, runs under AddressSanitizer, which
// keeps freed memory in quarantine: its peak memory says little then.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

struct Ran {
  int status = -1;  // exit status, or -1 when killed by a signal
  int signal = 0;   // the signal that killed it, or 0
  bool hung = false;
  long max_rss_kib = 0;  // peak memory, when measured (see PeakMemoryOf)
  double seconds = 0;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Starts the program `args[0]` in a process group of its own; `fds` become its
// standard input, output and error (kClosed: left closed). SIGPIPE is ignored
// in it when asked, else it has the default action. With `uid` >= 0 it runs
// as that user and group.
pid_t Spawn(std::vector<std::string> args, std::array<int, 3> fds, bool ignore_sigpipe = false, int uid = -1) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // The child: move the fds out of the way first, as one may sit on 0-2.
  // (The test is single-threaded, so the child may do this after fork.)
  setpgid(0, 0);
  std::array<int, 3> moved{};
  for (int i = 0; i < 3; ++i) moved[i] = fds[i] == kClosed ? kClosed : fcntl(fds[i], F_DUPFD_CLOEXEC, 10);
  for (int i = 0; i < 3; ++i) {
    if (moved[i] == kClosed)
      close(i);
    else
      dup2(moved[i], i);
  }
  signal(SIGPIPE, ignore_sigpipe ? SIG_IGN : SIG_DFL);
  if (uid >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(uid)) != 0 ||
                   setuid(static_cast<uid_t>(uid)) != 0))
    _exit(126);
  execv(argv[0], argv.data());
  _exit(127);
}

// Waits for `pid` to end, killing its process group once it has run for
// kHangLimit.
Ran Wait(pid_t pid, Clock::time_point start = Clock::now()) {
  Ran r;
  int wstatus = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(pid, &wstatus, WNOHANG, &usage);
    if (done == pid) break;
    if (done < 0) {
      ADD_FAILURE() << "wait4: " << std::strerror(errno);
      return r;
    }
    if (Clock::now() - start > kHangLimit) {
      kill(-pid, SIGKILL);
      wait4(pid, &wstatus, 0, &usage);
      r.hung = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) r.signal = WTERMSIG(wstatus);
  return r;
}

// Waits until `pid` has `path` open and has read some of it; false if it
// ended or took kHangLimit first.
bool WaitUntilReading(pid_t pid, const std::string& path) {
  const std::string fd_dir = "/proc/" + std::to_string(pid) + "/fd";
  const auto start = Clock::now();
  while (Clock::now() - start < kHangLimit) {
    if (DIR* dir = opendir(fd_dir.c_str())) {
      bool any = false;
      while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        any = true;
        char target[4096];
        const ssize_t n = readlink((fd_dir + "/" + e->d_name).c_str(), target, sizeof target - 1);
        if (n <= 0 || std::string(target, static_cast<size_t>(n)) != path) continue;
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + e->d_name);
        std::string key;
        long long pos = 0;
        if (info >> key >> pos && key == "pos:" && pos > 0) {
          closedir(dir);
          return true;
        }
      }
      closedir(dir);
      if (!any) return false;  // ended: a zombie has no open fds
    } else {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

// The peak memory of a process is taken by GNU time, not from wait4 here: a
// child's ru_maxrss also counts the memory of the test process it was forked
// from, which under AddressSanitizer holds hundreds of MiB.
constexpr char kTime[] = "/usr/bin/time";

// The peak RSS that `time -f %M -o path` wrote, in KiB (0 if none).
long PeakMemoryOf(const std::string& path) {
  std::ifstream in(path);
  std::string line, last;
  while (std::getline(in, line))
    if (!line.empty()) last = line;  // after a "Command exited with ..." line
  return last.empty() ? 0 : std::stol(last);
}

std::string ReplaySaying(const std::string& text, uint32_t seed = 1) {
  murvik::ReplayWriter w(seed);
  w.Noise(3).Say(text).Noise(2);
  return w.Take();
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/murvik-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    for (int fd : fds_) close(fd);
    fs::remove_all(dir_);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // An fd closed at the end of the test, opened close-on-exec so that no
  // child inherits it by accident.
  int Keep(int fd) {
    EXPECT_GE(fd, 0) << std::strerror(errno);
    fds_.push_back(fd);
    return fd;
  }
  int Open(const std::string& path, int flags) { return Keep(open(path.c_str(), flags | O_CLOEXEC, 0600)); }

  // Starts murvik-chat with its output and errors going to files of the test.
  pid_t Start(std::vector<std::string> args, int in, int out = kOutFile, bool ignore_sigpipe = false) {
    args.insert(args.begin(), MURVIK_CHAT);
    if (out == kOutFile) out = Open(dir_ + "/.out", O_WRONLY | O_CREAT | O_TRUNC);
    return Spawn(args, {in, out, Open(dir_ + "/.err", O_WRONLY | O_CREAT | O_TRUNC)}, ignore_sigpipe);
  }
  Ran Finish(pid_t pid, Clock::time_point start = Clock::now()) {
    Ran r = Wait(pid, start);
    r.out = Slurp(dir_ + "/.out");
    r.err = Slurp(dir_ + "/.err");
    return r;
  }
  // Runs murvik-chat on `args` with standard input from /dev/null.
  Ran Chat(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    return Finish(Start(args, Open("/dev/null", O_RDONLY)), start);
  }
  // The same, measuring its peak memory.
  Ran ChatMeasured(std::vector<std::string> args) {
    if (access(kTime, X_OK) != 0) {
      ADD_FAILURE() << kTime << " is missing: scripts/install-deps test installs it";
      return Ran{};
    }
    args.insert(args.begin(), {kTime, "-f", "%M", "-o", dir_ + "/.rss", MURVIK_CHAT});
    const int out = Open(dir_ + "/.out", O_WRONLY | O_CREAT | O_TRUNC);
    const int err = Open(dir_ + "/.err", O_WRONLY | O_CREAT | O_TRUNC);
    const auto start = Clock::now();
    Ran r = Finish(Spawn(args, {Open("/dev/null", O_RDONLY), out, err}), start);
    r.max_rss_kib = PeakMemoryOf(dir_ + "/.rss");
    return r;
  }

  std::string dir_;
  std::vector<int> fds_;
};

TEST_F(HostileTest, RefusesAtOnceWhatIsNotARegularFile) {
  // A FIFO with a writer attached, so that opening it for reading would not
  // block: it must be refused all the same, not read.
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Open(fifo, O_RDWR);
  const std::string sock = dir_ + "/sock";
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  sock.copy(addr.sun_path, sizeof addr.sun_path - 1);
  const int s = Keep(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(s, 1), 0);
  fs::create_symlink("/dev/zero", dir_ + "/zero.rep");
  fs::create_symlink(dir_ + "/nowhere", dir_ + "/dangling.rep");
  fs::create_symlink(dir_ + "/loop-b", dir_ + "/loop-a");
  fs::create_symlink(dir_ + "/loop-a", dir_ + "/loop-b");

  struct Case {
    std::string path, reason;
  };
  const Case cases[] = {
      {fifo, "is a FIFO, not a regular file"},
      {sock, "is a socket, not a regular file"},
      {"/dev/zero", "is a character device, not a regular file"},
      {"/dev/null", "is a character device, not a regular file"},
      {"/dev/urandom", "is a character device, not a regular file"},
      {dir_ + "/zero.rep", "is a character device, not a regular file"},
      {dir_ + "/dangling.rep", "No such file or directory"},
      {dir_ + "/loop-a", "Too many levels of symbolic links"},
  };
  std::vector<std::string> all;
  std::string all_err;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Ran r = Chat({c.path});
    EXPECT_FALSE(r.hung);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "murvik-chat: " + c.path + ": " + c.reason + "\n");
    all.push_back(c.path);
    all_err += "murvik-chat: " + c.path + ": " + c.reason + "\n";
  }
  // All of them at once, then a replay: each refused, the replay still read.
  all.push_back(Write("good.rep", ReplaySaying("STILL READ")));
  const Ran r = Chat(all);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "==> " + all.back() + " <==\nSTILL READ\n");
  EXPECT_EQ(r.err, all_err);
}

TEST_F(HostileTest, FollowsSymbolicLinksToAReplay) {
  Write("real.rep", ReplaySaying("LINKED"));
  fs::create_symlink("real.rep", dir_ + "/relative.rep");
  fs::create_symlink(dir_ + "/relative.rep", dir_ + "/link-to-link.rep");
  for (const char* name : {"relative.rep", "link-to-link.rep"}) {
    SCOPED_TRACE(name);
    const Ran r = Chat({dir_ + "/" + name});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "LINKED\n");
  }
}

TEST_F(HostileTest, UsesEveryNameExactlyAsGiven) {
  struct Name {
    std::string name;
    std::string in_json;  // how the name reads in JSON, where it is not UTF-8
  };
  const Name names[] = {
      {" leading blank.rep", ""},
      {"trailing blank.rep ", ""},
      {"\tboth ends\t", ""},
      {"line\nbreak.rep", ""},
      {"not utf-8 \xC3\x28 \xFF.rep", "not utf-8 \xEF\xBF\xBD( \xEF\xBF\xBD.rep"},
      {"100%s%n%x.rep", ""},
      {"-", ""},
  };
  // Each trimmed twin holds other chat, so reading a trimmed name shows.
  Write("leading blank.rep", ReplaySaying("TRIMMED"));
  Write("trailing blank.rep", ReplaySaying("TRIMMED"));
  Write("both ends", ReplaySaying("TRIMMED"));
  std::vector<std::string> paths;
  std::string text;
  for (size_t i = 0; i < std::size(names); ++i) {
    paths.push_back(Write(names[i].name, ReplaySaying("FILE " + std::to_string(i), static_cast<uint32_t>(i))));
    text += (i ? "\n==> " : "==> ") + paths.back() + " <==\nFILE " + std::to_string(i) + "\n";
  }
  const Ran r = Chat(paths);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, text);

  const Ran json = Chat([&] {
    std::vector<std::string> args = paths;
    args.insert(args.begin(), "--json");
    return args;
  }());
  EXPECT_EQ(json.status, 0) << json.err;
  const nlohmann::json j = nlohmann::json::parse(json.out);
  ASSERT_EQ(j.size(), std::size(names));
  for (size_t i = 0; i < std::size(names); ++i) {
    SCOPED_TRACE(names[i].name);
    const std::string& in_json = names[i].in_json.empty() ? names[i].name : names[i].in_json;
    EXPECT_EQ(j[i]["file"], dir_ + "/" + in_json);
    EXPECT_EQ(j[i]["messages"][0]["text"], "FILE " + std::to_string(i));
  }

  // The same names, missing: each reported as given.
  std::vector<std::string> missing;
  std::string err;
  for (const Name& n : names) {
    missing.push_back(dir_ + "/gone/" + n.name);
    err += "murvik-chat: " + missing.back() + ": No such file or directory\n";
  }
  const Ran gone = Chat(missing);
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, err);
}

TEST_F(HostileTest, ReadsAHugeSparseFileInBoundedMemory) {
  // 5 GiB, nearly all a hole: a message in the first records and one in the
  // last whole records.
  constexpr uint64_t kLength = 5ull << 30;
  const std::string path = Write("huge.rep", ReplaySaying("FIRST"));
  const int fd = Open(path, O_WRONLY);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kLength)), 0);
  murvik::ReplayWriter w;
  w.Say("LAST");
  const std::string records = w.Take().substr(273);
  const uint64_t last_pair = 273 + (kLength - 2 - 273) / 12 * 12;
  const uint64_t at = last_pair - (records.size() - 12);
  ASSERT_EQ(pwrite(fd, records.data(), records.size() - 10, static_cast<off_t>(at)),
            static_cast<ssize_t>(records.size() - 10));

  const Ran r = ChatMeasured({path});
  EXPECT_FALSE(r.hung);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "FIRST\nLAST\n");
  EXPECT_GT(r.max_rss_kib, 0);
  // Generous: the reader holds one fixed-size buffer; a sanitizer build adds
  // its own tens of MiB.
  EXPECT_LT(r.max_rss_kib, 64 * 1024);
  std::printf("5 GiB sparse file: %.2f s, peak RSS %ld KiB\n", r.seconds, r.max_rss_kib);
  RecordProperty("seconds", std::to_string(r.seconds));
  RecordProperty("max_rss_kib", std::to_string(r.max_rss_kib));
}

TEST_F(HostileTest, WritesJsonWithoutHoldingItAllInMemory) {
  // 64 MiB with a key code in every record: millions of messages. The JSON
  // takes no more memory than the text, whose messages the core holds anyway.
  const std::string path = dir_ + "/dense.rep";
  {
    std::ofstream out(path, std::ios::binary);
    murvik::ReplayWriter w(11);
    std::mt19937 rng(11);
    while (w.size() < (64u << 20)) {
      for (int i = 0; i < 4096; ++i) {
        const murvik::KeyCode& k = murvik::kKeyCodes[rng() % murvik::kKeyCodes.size()];
        w.Pair(k.first, k.second);
      }
      out << w.Take();
    }
  }
  const Ran text = ChatMeasured({path});
  const Ran json = ChatMeasured({"--json", path});
  ASSERT_EQ(text.status, 0) << text.err;
  ASSERT_EQ(json.status, 0) << json.err;
  ASSERT_GT(text.max_rss_kib, 0);
  std::printf("64 MiB of key codes: peak RSS %ld KiB as text, %ld KiB as JSON\n", text.max_rss_kib,
              json.max_rss_kib);
  if (kAddressSanitizer) GTEST_SKIP() << "peak memory is not comparable under AddressSanitizer";
  EXPECT_LT(json.max_rss_kib, text.max_rss_kib + 16 * 1024);
}

TEST_F(HostileTest, StreamsEndlessStandardInputInBoundedMemory) {
  const pid_t pid = Start({"-"}, Open("/dev/zero", O_RDONLY));
  std::this_thread::sleep_for(std::chrono::seconds(1));
  // Still reading, as /dev/zero has no end: its peak memory so far.
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  long peak_kib = 0;
  for (std::string key; status >> key;)
    if (key == "VmHWM:") status >> peak_kib;
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  const Ran r = Finish(pid);
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_GT(peak_kib, 0);
  EXPECT_LT(peak_kib, 64 * 1024);
}

TEST_F(HostileTest, FailsCleanlyWhenTheFileShrinksWhileRead) {
  // 8 GiB, so that it is still being read however slow the test is to act;
  // once cut short, it is not read further.
  const std::string path = Write("shrinks.rep", ReplaySaying("FIRST"));
  ASSERT_EQ(truncate(path.c_str(), 8ll << 30), 0);
  const pid_t pid = Start({path}, Open("/dev/null", O_RDONLY));
  ASSERT_TRUE(WaitUntilReading(pid, path)) << "murvik-chat ended before it was caught reading";
  ASSERT_EQ(truncate(path.c_str(), 1000), 0);
  const Ran r = Finish(pid);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "murvik-chat: " + path + ": file shrank while being read\n");
}

TEST_F(HostileTest, ReadsTheLengthItOpenedWhenTheFileGrows) {
  const std::string path = Write("grows.rep", ReplaySaying("BEFORE"));
  const uint64_t length = 273 + (2ull << 30) / 12 * 12;  // whole records
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(length)), 0);
  const pid_t pid = Start({path}, Open("/dev/null", O_RDONLY));
  ASSERT_TRUE(WaitUntilReading(pid, path)) << "murvik-chat ended before it was caught reading";
  murvik::ReplayWriter w;
  w.Say("AFTER");
  const std::string records = w.Take().substr(273);
  const int fd = Open(path, O_WRONLY | O_APPEND);
  ASSERT_EQ(write(fd, records.data(), records.size()), static_cast<ssize_t>(records.size()));
  const Ran r = Finish(pid);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "BEFORE\n");
}

TEST_F(HostileTest, ReadsStandardInputHoweverItArrives) {
  murvik::ReplayWriter w(9);
  w.Noise(2).Say("SLOW, BUT").Noise(5).Say("ALL THERE").Start().Type("OPEN");
  const std::string replay = w.Take();
  for (const bool nonblocking : {false, true}) {
    SCOPED_TRACE(nonblocking ? "non-blocking pipe" : "pipe");
    int p[2];
    ASSERT_EQ(pipe2(p, O_CLOEXEC), 0);
    Keep(p[0]);
    if (nonblocking) {
      ASSERT_EQ(fcntl(p[0], F_SETFL, O_NONBLOCK), 0);
    }
    const pid_t pid = Start({"-"}, p[0]);
    // Pieces that cut pairs and records, with pauses between them.
    const size_t sizes[] = {1, 7, 12, 100, 274, 3};
    for (size_t at = 0, i = 0; at < replay.size(); ++i) {
      const size_t n = std::min(sizes[i % std::size(sizes)], replay.size() - at);
      ASSERT_EQ(write(p[1], replay.data() + at, n), static_cast<ssize_t>(n));
      at += n;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(p[1]);
    const Ran r = Finish(pid);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "SLOW, BUT\nALL THERE\nOPEN\n");
  }

  int empty[2];
  ASSERT_EQ(pipe2(empty, O_CLOEXEC), 0);
  Keep(empty[0]);
  close(empty[1]);
  struct Case {
    const char* what;
    int in;
    std::string err;
  };
  const Case cases[] = {
      {"an empty pipe", empty[0], "empty input"},
      {"closed", kClosed, "read error: Bad file descriptor"},
      {"a directory", Open(dir_, O_RDONLY | O_DIRECTORY), "read error: Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Ran r = Finish(Start({"-"}, c.in));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "murvik-chat: -: " + c.err + "\n");
  }
}

TEST_F(HostileTest, ReportsAReadErrorWithItsReason) {
  // Regular sysfs files with a size whose read() fails: runtime power
  // management's autosuspend delay gives EIO on devices that do not use it.
  // No permission trick makes reading fail for root, and these are real read
  // errors of real files.
  const char* const kCandidates[] = {
      "/sys/devices/system/cpu/cpu0/power/autosuspend_delay_ms",
      "/sys/devices/platform/power/autosuspend_delay_ms",
      "/sys/devices/system/cpu/power/autosuspend_delay_ms",
  };
  for (const char* path : kCandidates) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) continue;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    char buf[64];
    const bool fails = read(fd, buf, sizeof buf) < 0;
    const int error = errno;
    close(fd);
    if (!fails) continue;
    const Ran r = Chat({path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string("murvik-chat: ") + path + ": read error: " + std::strerror(error) + "\n");
    return;
  }
  GTEST_SKIP() << "no regular file here whose read() fails (sysfs autosuspend_delay_ms)";
}

TEST_F(HostileTest, ReportsAFileItMayNotOpen) {
  // Root may open any file, so as root murvik-chat runs as nobody here.
  const int uid = geteuid() == 0 ? 65534 : -1;
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  const std::string path = Write("secret.rep", ReplaySaying("SECRET"));
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  const int out = Open(dir_ + "/.out", O_WRONLY | O_CREAT | O_TRUNC);
  const int err = Open(dir_ + "/.err", O_WRONLY | O_CREAT | O_TRUNC);
  const Ran r = Finish(Spawn({MURVIK_CHAT, path}, {Open("/dev/null", O_RDONLY), out, err}, false, uid));
  if (r.status == 126 || r.status == 127)
    GTEST_SKIP() << "murvik-chat cannot be run as user " << uid << " from " << MURVIK_CHAT;
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "murvik-chat: " + path + ": Permission denied\n");
}

TEST_F(HostileTest, ReportsOutputThatCannotBeWritten) {
  const std::string small = Write("small.rep", ReplaySaying("GG"));
  murvik::ReplayWriter w;
  w.Start();
  for (int i = 0; i < 20000; ++i) w.Type("GG WP ");
  const std::string large = Write("large.rep", w.End().Take());

  int closed_pipe[2];
  ASSERT_EQ(pipe2(closed_pipe, O_CLOEXEC), 0);
  close(closed_pipe[0]);
  Keep(closed_pipe[1]);
  const int full = Open("/dev/full", O_WRONLY);
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int out;
    std::string reason;
  };
  const Case cases[] = {
      {"/dev/full", {small}, full, "No space left on device"},
      {"/dev/full, much text", {large, small}, full, "No space left on device"},
      {"/dev/full, JSON", {"--json", large}, full, "No space left on device"},
      {"closed", {small}, kClosed, "Bad file descriptor"},
      {"a pipe nobody reads, SIGPIPE ignored", {large}, closed_pipe[1], "Broken pipe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Ran r = Finish(Start(c.args, Open("/dev/null", O_RDONLY), c.out, /*ignore_sigpipe=*/true));
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "murvik-chat: write error: " + c.reason + "\n");
  }

  // With SIGPIPE's default action, as a filter in a shell pipeline runs, a
  // closed pipe ends it quietly by that signal, as it does cat or grep.
  const Ran r = Finish(Start({large}, Open("/dev/null", O_RDONLY), closed_pipe[1]));
  EXPECT_EQ(r.signal, SIGPIPE);
  EXPECT_EQ(r.err, "");
}

}  // namespace
