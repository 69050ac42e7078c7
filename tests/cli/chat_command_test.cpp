// murvik-chat as scripts see it: what it prints and the status it ends with,
// for each kind of input, name, command line and output; and against hostile
// input, huge and changing files among them. Nothing may crash it, hang it,
// make it hold a whole file, or make it claim success.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>
#include <tuple>

#include "chat_run.h"

namespace murvik::testing {
namespace {

const std::string kChat = "GL HF\nGO, GO.\nLEFT OPEN\n";
std::string Replay() {
  return ReplayWriter().Noise(5).Say("GL HF").Noise(3).Say("Go, go.").Start().Type("Left open").Take();
}
std::string Failed(std::string path, const std::string& why) { return "murvik-chat: " + path + ": " + why + "\n"; }
std::string Usage(const std::string& why) {
  return "murvik-chat: " + why + "\nTry 'murvik-chat --help' for more information.\n";
}

TEST_F(ChatTest, PrintsTheChatOrSaysWhyNot) {
  const std::string a = Write("a.rep", Replay()), b = Write("b.rep", Saying("B")), missing = dir_ + "/missing";
  const std::string quiet = Write("quiet.rep", ReplayWriter().Noise(9).Take()), empty = Write("empty", "");
  const std::string fifo = dir_ + "/fifo", sock = dir_ + "/sock", link = dir_ + "/link", dangling = dir_ + "/dl";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // no writer: opening it to read would block
  sockaddr_un addr{AF_UNIX, {}};
  sock.copy(addr.sun_path, sizeof addr.sun_path - 1);
  const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(s);  // the socket's file stays
  std::filesystem::create_symlink("a.rep", link);
  std::filesystem::create_symlink("nowhere", dangling);
  // Names are used as given: the trimmed twins hold other chat.
  for (const char* twin : {"leading", "trailing", "both"}) Write(twin, Saying("TRIMMED"));
  std::vector<std::string> odd;
  std::string odd_out, devices;
  for (const char* name : {" leading", "trailing ", "\tboth\t", "new\nline", "100%s%n", "bad \xC3\x28 \xFF"}) {
    odd.push_back(Write(name, Saying("ODD")));
    odd_out += (odd_out.empty() ? "==> " : "\n==> ") + odd.back() + " <==\nODD\n";
  }
  for (const char* dev : {"/dev/zero", "/dev/null", "/dev/urandom"})
    devices += Failed(dev, "is a character device, not a regular file");
  ReplayWriter large;
  for (int i = 0; i < 20000; ++i) large.Say("GG WP");
  const std::string full = "murvik-chat: write error: No space left on device\n";
  const std::string heads = "==> " + a + " <==\n" + kChat + "\n==> standard input <==\nB\n\n==> " + b + " <==\nB\n";
  struct Row {
    std::vector<std::string> args;
    std::string in;  // standard input's path; none: /dev/null
    int status;
    std::string out, err;
    int to = -1;  // standard output's fd; none: captured
  };
  const Row rows[] = {
      {{a}, "", 0, kChat, ""},
      {{"--lowercase", a}, "", 0, "gl hf\ngo, go.\nleft open\n", ""},
      {{a, "-l"}, "", 0, "gl hf\ngo, go.\nleft open\n", ""},
      {{quiet}, "", 0, "", ""},
      {{link}, "", 0, kChat, ""},
      {{"-"}, a, 0, kChat, ""},
      {{a, missing, "-", b}, b, 1, heads, Failed(missing, "No such file or directory")},
      {odd, "", 0, odd_out, ""},
      {{"-"}, "", 1, "", Failed("-", "empty input")},
      {{"-"}, dir_, 1, "", Failed("-", "read error: Is a directory")},
      {{dangling}, "", 1, "", Failed(dangling, "No such file or directory")},
      {{""}, "", 1, "", Failed("", "empty path")},
      {{empty}, "", 1, "", Failed(empty, "empty file")},
      {{dir_}, "", 1, "", Failed(dir_, "is a directory")},
      {{fifo}, "", 1, "", Failed(fifo, "is a FIFO, not a regular file")},
      {{sock}, "", 1, "", Failed(sock, "is a socket, not a regular file")},
      {{"/dev/zero", "/dev/null", "/dev/urandom"}, "", 1, "", devices},
      {{"--", "-l"}, "", 1, "", Failed("-l", "No such file or directory")},
      {{a}, "", 1, "", full, Open("/dev/full", O_WRONLY)},
      {{"--json", "-", a}, Write("large.rep", large.Take()), 1, "", full, Open("/dev/full", O_WRONLY)},
      {{}, "", 2, "", Usage("missing file operand")},
      {{"--bogus", a}, "", 2, "", Usage("unrecognized option '--bogus'")},
      {{"-q", a}, "", 2, "", Usage("invalid option -- 'q'")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args) + " < " + row.in);
    const Ran r = Chat(row.args, {.in = row.in.empty() ? -1 : Open(row.in), .out = row.to});
    EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tie(row.status, row.out, row.err));
  }
  const Ran help = Chat({"--help"}), version = Chat({"--version"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: murvik-chat [OPTION]... FILE...\n", 0), 0u) << help.out;
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "murvik-chat (Murvik) 0.01");
}

// Bytes of a name that are not UTF-8 are replaced in JSON.
TEST_F(ChatTest, WritesJsonThatParsesBack) {
  const std::string a = Write("a.rep", Replay()), odd = Write("bad \xC3\x28 \xFF", Replay());
  const std::string missing = dir_ + "/missing";
  const Ran r = Chat({"--json", "-l", a, missing, odd});
  EXPECT_EQ(r.status, 1);
  const nlohmann::json j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 3u);
  // Each message's offset is that of the record holding its start code.
  const auto message = [](const char* text, int record, bool sent) {
    return nlohmann::json({{"text", text}, {"offset", 273 + 12 * record}, {"sent", sent}});
  };
  const nlohmann::json messages = {message("gl hf", 5, true), message("go, go.", 15, true),
                                   message("left open", 24, false)};
  EXPECT_EQ(j[0], nlohmann::json({{"file", a}, {"ok", true}, {"messages", messages}}));
  EXPECT_EQ(j[1], nlohmann::json({{"file", missing}, {"ok", false}, {"error", "No such file or directory"}}));
  EXPECT_EQ(j[2]["file"], dir_ + "/bad \xEF\xBF\xBD( \xEF\xBF\xBD");
  EXPECT_EQ(j[2]["messages"], messages);
}

// Waits until `pid` has read more than `bytes` (starting up reads far less);
// false if it ended first.
bool ReadingPast(pid_t pid, long long bytes) {
  for (const std::string proc = "/proc/" + std::to_string(pid);;) {
    std::ifstream io(proc + "/io"), stat(proc + "/stat");
    std::string key, skip, state;
    long long read = 0;
    while (io >> key >> read && key != "rchar:") continue;
    if (!(stat >> skip >> skip >> state) || state == "Z") return false;
    if (read > bytes) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

TEST_F(ChatTest, ReadsAHugeSparseFileInBoundedMemory) {
  // 5 GiB, nearly all a hole: a message in the first records, and one in the
  // last whole records, whose last pair ends one byte before the end.
  constexpr uint64_t kLength = 5ull << 30;
  const std::string path = Write("huge.rep", Saying("FIRST"));
  const int fd = Open(path, O_WRONLY);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kLength)), 0);
  const std::string last = ReplayWriter().Say("LAST").Take().substr(273);
  const uint64_t at = 273 + (kLength - 2 - 273) / 12 * 12 - (last.size() - 12);
  ASSERT_EQ(pwrite(fd, last.data(), last.size() - 10, static_cast<off_t>(at)), ssize_t(last.size() - 10));
  const Ran r = Chat({path}, {.prefix = measured_});  // GNU time: scripts/install-deps test installs it
  EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(0, "FIRST\nLAST\n", ""));
  // Generous: the reader holds one fixed buffer; a sanitizer adds tens of MiB.
  EXPECT_GT(r.peak_kib, 0);
  EXPECT_LT(r.peak_kib, 64 * 1024);
}

// 32 MiB of short messages. Text is written as it is read, from a file or
// standard input alike. JSON holds one file's messages, as the window does,
// but never a document of them, which would take several times as much.
TEST_F(ChatTest, HoldsNeitherStandardInputNorJson) {
#ifdef MURVIK_SANITIZE
  GTEST_SKIP() << "AddressSanitizer keeps freed memory, so peak memory says little";
#endif
  constexpr long kFileKib = 32 << 10;
  ReplayWriter w;
  while (w.size() < kFileKib * 1024) w.Say("GG");
  const std::string path = Write("dense.rep", w.Take());
  const Ran text = Chat({path}, {.prefix = measured_});
  ASSERT_EQ(text.status, 0) << text.err;
  const Ran from_stdin = Chat({"-"}, {.in = Open(path), .prefix = measured_});
  const Ran json = Chat({"--json", path}, {.prefix = measured_});
  EXPECT_EQ(std::tie(from_stdin.status, json.status), std::tuple(0, 0));
  EXPECT_LT(from_stdin.peak_kib, text.peak_kib + 16 * 1024);
  EXPECT_LT(json.peak_kib, text.peak_kib + 2 * kFileKib);
}

TEST_F(ChatTest, WritesAChatLargerThanItHoldsTheSame) {
  // About 1.5 MB of chat, which murvik-chat writes as it reads rather than
  // holding it whole, from a file (read by two threads) and from a pipe.
  ReplayWriter w(4);
  std::string lines;
  for (int i = 0; i < 50000; ++i) {
    const std::string line = "Message " + std::to_string(i) + ", all in order.";
    w.Noise(i % 3).Say(line);
    lines += line + "\n";
  }
  w.Start().Type("still typing");
  lines += "still typing\n";
  const std::string big = Write("big.rep", w.Take()), small = Write("small.rep", Saying("B"));
  std::string upper = lines, lower = lines;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const Ran r = Chat({small, big, "-", small}, {.in = Open(big)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "==> " + small + " <==\nB\n\n==> " + big + " <==\n" + upper + "\n==> standard input <==\n" + upper +
                       "\n==> " + small + " <==\nB\n");
  EXPECT_EQ(Chat({"-l", big}).out, lower);
}

TEST_F(ChatTest, ReadsTheLengthItOpenedOrFailsWhenItShrinks) {
  // Long enough to be still in reading when the test acts, however slowly.
  const std::string shrinks = Write("shrinks.rep", Saying("FIRST")), grows = Write("grows.rep", Saying("BEFORE"));
  ASSERT_EQ(truncate(shrinks.c_str(), 8ll << 30), 0);
  ASSERT_EQ(truncate(grows.c_str(), 273 + (2ll << 30) / 12 * 12), 0);
  pid_t pid = Start({shrinks});
  ASSERT_TRUE(ReadingPast(pid, 64 << 20)) << "murvik-chat ended before it was caught reading";
  ASSERT_EQ(truncate(shrinks.c_str(), 1000), 0);
  Ran r = Finish(pid);
  EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(1, "", Failed(shrinks, "file shrank while being read")));

  pid = Start({grows});
  ASSERT_TRUE(ReadingPast(pid, 64 << 20)) << "murvik-chat ended before it was caught reading";
  const std::string after = ReplayWriter().Say("AFTER").Take().substr(273);
  ASSERT_EQ(write(Open(grows, O_WRONLY | O_APPEND), after.data(), after.size()), ssize_t(after.size()));
  r = Finish(pid);
  EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(0, "BEFORE\n", ""));
}

// Standard input from a non-blocking pipe, in pieces that cut pairs and
// records, with pauses between them.
TEST_F(ChatTest, ReadsStandardInputAsItArrives) {
  const std::string replay = ReplayWriter(9).Noise(2).Say("SLOW, BUT").Noise(5).Say("ALL THERE").Take();
  int p[2];
  ASSERT_EQ(pipe2(p, O_CLOEXEC | O_NONBLOCK), 0);
  fds_.push_back(p[0]);
  const pid_t pid = Start({"-"}, {.in = p[0]});
  for (size_t at = 0; at < replay.size(); at += 7) {
    ASSERT_GT(write(p[1], replay.data() + at, std::min<size_t>(7, replay.size() - at)), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  close(p[1]);
  const Ran r = Finish(pid);
  EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(0, "SLOW, BUT\nALL THERE\n", ""));
}

// A regular file whose read() fails, root or not: sysfs's autosuspend delay
// gives EIO on devices without runtime power management.
TEST_F(ChatTest, ReportsAReadErrorWithItsReason) {
  for (const char* path :
       {"/sys/devices/system/cpu/cpu0/power/autosuspend_delay_ms", "/sys/devices/platform/power/autosuspend_delay_ms",
        "/sys/devices/system/cpu/power/autosuspend_delay_ms"}) {
    struct stat st;
    char buf[64];
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0 || read(Open(path), buf, 64) >= 0) continue;
    const std::string reason = std::strerror(errno);
    const Ran r = Chat({path});
    EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(1, "", Failed(path, "read error: " + reason)));
    return;
  }
  GTEST_SKIP() << "no regular file here whose read() fails (sysfs autosuspend_delay_ms)";
}

}  // namespace
}  // namespace murvik::testing
